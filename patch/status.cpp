#include "patch/status.h"

#include <algorithm>
#include <cstring>

#include "io/file_paths.h"
#include "patch/backup.h"
#include "patch/fingerprint.h"
#include "patch/transaction.h"
#include "tables/aspects.h"
#include "tables/data_files.h"

namespace {

// One skill's range of one aspect.
struct SkillRange {
  std::string name;
  uint32_t start;
};

// A pair found so far and the aspects it has exchanged.
struct Pair {
  std::string first;
  std::string second;
  std::string aspects;
};

// Each skill's range of an aspect that lies inside a file of size bytes, in
// table order; a range the tables name twice counts once, under its first
// skill.
std::vector<SkillRange> RangesOf(RecordList classes, int32_t version, const Aspect& aspect,
                                 uint64_t size) {
  std::vector<SkillRange> ranges;
  for (RecordNode* c = classes; c != nullptr; c = c->next) {
    for (RecordNode* k = static_cast<ClassRecord*>(c)->SkillsOf(version); k != nullptr;
         k = k->next) {
      uint32_t start = 0;
      if (!RangeInside(static_cast<SkillRecord*>(k)->*aspect.offsets, aspect.length, size,
                       &start)) {
        continue;
      }
      bool seen = false;
      for (const SkillRange& range : ranges) seen = seen || range.start == start;
      if (!seen) ranges.push_back({k->name, start});
    }
  }
  return ranges;
}

bool Equal(const ByteBuffer& a, uint32_t atA, const ByteBuffer& b, uint32_t atB, int32_t length) {
  return std::memcmp(a.data.get() + atA, b.data.get() + atB, static_cast<size_t>(length)) == 0;
}

}  // namespace

int DescribeChanges(const DllPatcher& patcher, RecordList versions, RecordList classes,
                    int32_t version, std::vector<std::string>* lines) {
  if (version < 0 || version >= VersionPositions(versions)) version = 0;
  // A change stopped half way is told first; status changes nothing.
  std::string pending = PendingChangeLine(patcher);
  if (!pending.empty()) lines->push_back(pending);
  size_t told = lines->size();
  DllAndBackup files[2];
  for (int fileNumber : {kGameDll, kClientDll}) {
    files[fileNumber] = ReadDllFiles(patcher, versions, classes, fileNumber);
    if (!files[fileNumber].DllRead()) {
      lines->push_back(UserReason(files[fileNumber].dllError));
      return 0;
    }
    if (files[fileNumber].backupThere && !files[fileNumber].BackupUsable()) {
      lines->push_back(UserReason(files[fileNumber].BackupError()));
      return 0;
    }
  }
  if (!files[kGameDll].backupThere && !files[kClientDll].backupThere) {
    lines->push_back("no backup: nothing has been changed");
    return 1;
  }

  std::vector<Pair> pairs;
  std::vector<std::string> others;
  for (const Aspect& aspect : kAspects) {
    const DllAndBackup& dll = files[aspect.dll];
    if (!dll.backupThere) continue;
    const ByteBuffer& now = dll.dll;
    const ByteBuffer& was = dll.backup;
    uint64_t size = static_cast<uint64_t>(std::min(now.size, was.size));
    std::vector<SkillRange> ranges = RangesOf(classes, version, aspect, size);
    int32_t length = aspect.length;
    for (size_t k = 0; k < ranges.size(); ++k) {
      if (Equal(now, ranges[k].start, was, ranges[k].start, length)) continue;
      size_t j = 0;
      while (j < ranges.size() &&
             (j == k || !Equal(now, ranges[k].start, was, ranges[j].start, length))) {
        ++j;
      }
      if (j == ranges.size()) {
        others.push_back(ranges[k].name + ": " + aspect.name + " changed by something else");
      } else if (!Equal(now, ranges[j].start, was, ranges[k].start, length)) {
        others.push_back(ranges[k].name + ": " + aspect.name + " of " + ranges[j].name);
      } else if (k < j) {
        Pair* pair = nullptr;
        for (Pair& p : pairs) {
          if (p.first == ranges[k].name && p.second == ranges[j].name) pair = &p;
        }
        if (pair == nullptr) {
          pairs.push_back({ranges[k].name, ranges[j].name, ""});
          pair = &pairs.back();
        }
        pair->aspects += (pair->aspects.empty() ? "" : ", ") + std::string(aspect.name);
      }
    }
  }
  for (const Pair& pair : pairs)
    lines->push_back(pair.first + " <-> " + pair.second + ": " + pair.aspects);
  lines->insert(lines->end(), others.begin(), others.end());
  if (lines->size() == told) lines->push_back("no changes");
  return 1;
}
