#include "patch/status.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/backup.h"
#include "patch/exchange.h"
#include "tables/data_files.h"

namespace {

struct Bytes {
  std::unique_ptr<uint8_t[]> data;
  int32_t size = 0;
};

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

// Each skill's range of every aspect, in table order; a range the tables
// name twice counts once, under its first skill.
std::vector<SkillRange> RangesOf(RecordList classes, int32_t version, int aspect) {
  std::vector<SkillRange> ranges;
  for (RecordNode* c = classes; c != nullptr; c = c->next) {
    int32_t count = 0;
    for (RecordNode* k = static_cast<ClassRecord*>(c)->skillLists[version]; k != nullptr;
         k = k->next) {
      SkillSelection selection;
      selection.version = version;
      selection.firstClass = selection.secondClass = c->position;
      selection.firstSkill = selection.secondSkill = count++;
      selection.effects = aspect == 0;
      selection.graphics = aspect == 1;
      selection.descriptions = aspect == 2;
      ExchangePlan plan;
      if (!PlanExchange(classes, selection, &plan) || !IsOffsetText(plan.swaps[0].firstOffset)) {
        continue;
      }
      uint32_t start = 0;
      HexToNumber(&start, plan.swaps[0].firstOffset);
      bool seen = false;
      for (const SkillRange& range : ranges) seen = seen || range.start == start;
      if (!seen) ranges.push_back({k->name, start});
    }
  }
  return ranges;
}

bool Equal(const Bytes& a, uint32_t atA, const Bytes& b, uint32_t atB, uint32_t length) {
  return std::memcmp(a.data.get() + atA, b.data.get() + atB, length) == 0;
}

}  // namespace

int DescribeChanges(const DllPatcher& patcher, RecordList classes, int32_t version,
                    std::vector<std::string>* lines) {
  if (version < 0 || version >= kVersionCount) version = 0;
  static const char* const kNames[] = {"Effects", "Graphics", "Descriptions"};
  static const int kFiles[] = {kGameDll, kClientDll, kClientDll};
  static const uint32_t kLengths[] = {12, 20, 16};

  Bytes current[2];
  Bytes backup[2];
  bool backed[2] = {false, false};
  for (int fileNumber : {kGameDll, kClientDll}) {
    const char* path = patcher.dllPaths[fileNumber];
    std::string backupPath = BackupPath(path);
    std::error_code error;
    backed[fileNumber] =
        path[0] != '\0' && std::filesystem::exists(NativePath(backupPath.c_str()), error);
    if (!backed[fileNumber]) continue;
    if (!ReadWholeFile(path, &current[fileNumber].data, &current[fileNumber].size)) {
      lines->push_back(std::string(path) + " cannot be read: check the game folder");
      return 0;
    }
    if (!ReadWholeFile(backupPath.c_str(), &backup[fileNumber].data, &backup[fileNumber].size)) {
      lines->push_back(backupPath + " cannot be read");
      return 0;
    }
  }
  if (!backed[kGameDll] && !backed[kClientDll]) {
    lines->push_back("no backup: nothing has been changed");
    return 1;
  }

  std::vector<Pair> pairs;
  std::vector<std::string> others;
  for (int aspect = 0; aspect < 3; ++aspect) {
    int fileNumber = kFiles[aspect];
    if (!backed[fileNumber]) continue;
    const Bytes& now = current[fileNumber];
    const Bytes& was = backup[fileNumber];
    uint32_t length = kLengths[aspect];
    uint32_t size = static_cast<uint32_t>(std::min(now.size, was.size));
    std::vector<SkillRange> ranges = RangesOf(classes, version, aspect);
    auto fits = [&](const SkillRange& r) {
      return static_cast<uint64_t>(r.start) + length <= size;
    };
    for (size_t k = 0; k < ranges.size(); ++k) {
      if (!fits(ranges[k]) || Equal(now, ranges[k].start, was, ranges[k].start, length)) continue;
      size_t j = 0;
      while (j < ranges.size() && (j == k || !fits(ranges[j]) ||
                                   !Equal(now, ranges[k].start, was, ranges[j].start, length))) {
        ++j;
      }
      if (j == ranges.size()) {
        others.push_back(ranges[k].name + ": " + kNames[aspect] + " changed by something else");
      } else if (!Equal(now, ranges[j].start, was, ranges[k].start, length)) {
        others.push_back(ranges[k].name + ": " + kNames[aspect] + " of " + ranges[j].name);
      } else if (k < j) {
        Pair* pair = nullptr;
        for (Pair& p : pairs) {
          if (p.first == ranges[k].name && p.second == ranges[j].name) pair = &p;
        }
        if (pair == nullptr) {
          pairs.push_back({ranges[k].name, ranges[j].name, ""});
          pair = &pairs.back();
        }
        pair->aspects += (pair->aspects.empty() ? "" : ", ") + std::string(kNames[aspect]);
      }
    }
  }
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!backed[fileNumber]) continue;
    std::string mismatch = BackupMismatch(
        BackupPath(patcher.dllPaths[fileNumber]), current[fileNumber].data.get(),
        static_cast<size_t>(current[fileNumber].size), ChangeableRanges(classes, fileNumber));
    if (!mismatch.empty()) {
      others.push_back(std::string(patcher.dllPaths[fileNumber]) + ": its backup " + mismatch);
    }
  }
  for (const Pair& pair : pairs)
    lines->push_back(pair.first + " <-> " + pair.second + ": " + pair.aspects);
  lines->insert(lines->end(), others.begin(), others.end());
  if (lines->empty()) lines->push_back("no changes");
  return 1;
}
