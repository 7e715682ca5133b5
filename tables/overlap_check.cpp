#include "tables/overlap_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tables/aspects.h"
#include "tables/data_files.h"

namespace {

// One range the exchange would move, with the table line it is read from.
struct TableRange {
  const std::string* path;
  int line;
  const ClassRecord* classRecord;
  const SkillRecord* skill;
  int version;
  int fileNumber;
  const char* aspect;
  uint64_t start;
  uint64_t end;  // one past the last byte
};

// The files of the version at position; the default ones when there is none.
VersionFiles FilesOf(RecordList versions, size_t position) {
  auto* version =
      static_cast<const VersionRecord*>(AtPosition(versions, static_cast<int32_t>(position)));
  return version != nullptr ? version->files : VersionFiles();
}

// Every range of every skill, in table order. Offsets that are no offsets at
// all are findings of their own. The lists are walked alongside the lines,
// never searched.
std::vector<TableRange> RangesOf(RecordList versions, RecordList classes, const TableLines& lines) {
  std::vector<TableRange> ranges;
  size_t c = 0;
  for (RecordNode* node = classes; node != nullptr && c < lines.size(); node = node->next, ++c) {
    const auto* classRecord = static_cast<const ClassRecord*>(node);
    for (size_t version = 0; version < lines[c].size(); ++version) {
      const SkillTableLines& table = lines[c][version];
      VersionFiles files = FilesOf(versions, version);
      size_t k = 0;
      for (RecordNode* skill = classRecord->SkillsOf(static_cast<int32_t>(version));
           skill != nullptr && k < table.skillLines.size(); skill = skill->next, ++k) {
        const auto* record = static_cast<const SkillRecord*>(skill);
        for (const Aspect& aspect : kAspects) {
          uint32_t start = 0;
          // Any offset fits a file of the largest size: only its value is wanted.
          if (!RangeInside(record->*aspect.offsets, aspect.length, UINT64_MAX, &start)) {
            continue;
          }
          ranges.push_back({&table.path, table.skillLines[k], classRecord, record,
                            static_cast<int>(version), files.FileOf(aspect.dll), aspect.name, start,
                            static_cast<uint64_t>(start) + static_cast<uint64_t>(aspect.length)});
        }
      }
    }
  }
  return ranges;
}

// "Effects range 0x1A2B0..0x1A2BB of "Jab"".
std::string Describe(const TableRange& range) {
  return std::string(range.aspect) + " range " + HexRange(range.start, range.end - 1) + " of \"" +
         range.skill->name + "\"";
}

// The same skill listed twice is the table check's finding already; two
// aspects of one skill in one file are not.
bool SameRangeListedTwice(const TableRange& a, const TableRange& b) {
  return a.classRecord == b.classRecord && a.aspect == b.aspect &&
         std::strcmp(a.skill->name, b.skill->name) == 0;
}

}  // namespace

int CheckOverlaps(RecordList classes, const TableLines& lines, std::vector<std::string>* findings,
                  RecordList versions) {
  std::vector<TableRange> ranges = RangesOf(versions, classes, lines);
  // Ranges of one DLL and version side by side, by where they start.
  std::stable_sort(ranges.begin(), ranges.end(), [](const TableRange& a, const TableRange& b) {
    if (a.version != b.version) return a.version < b.version;
    if (a.fileNumber != b.fileNumber) return a.fileNumber < b.fileNumber;
    return a.start < b.start;
  });
  int found = 0;
  const TableRange* reach = nullptr;  // the range reaching furthest so far
  for (const TableRange& range : ranges) {
    if (reach != nullptr &&
        (reach->version != range.version || reach->fileNumber != range.fileNumber)) {
      reach = nullptr;
    }
    if (reach != nullptr && range.start < reach->end && !SameRangeListedTwice(*reach, range)) {
      findings->push_back(*range.path + ":" + std::to_string(range.line) + ": " + Describe(range) +
                          " overlaps " + Describe(*reach) + " at " + *reach->path + ":" +
                          std::to_string(reach->line) +
                          ": exchanging one would change the other; correct the offset that "
                          "is wrong");
      ++found;
    }
    if (reach == nullptr || range.end > reach->end) reach = &range;
  }
  return found;
}
