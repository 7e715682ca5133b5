#include "tables/overlap_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tables/aspects.h"
#include "tables/data_files.h"
#include "tables/exchange_plan.h"

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

// Every range of every skill the check saw, in table order. Offsets that
// are no offsets at all are findings of their own.
std::vector<TableRange> RangesOf(RecordList versions, RecordList classes, const TableLines& lines) {
  std::vector<TableRange> ranges;
  ForEachSkillRange(versions, classes, [&](const SkillRange& range) {
    const SkillTableLines* seen =
        SeenTable(lines, range.classIndex, range.version, range.skillIndex);
    if (seen == nullptr) return;
    const SkillTableLines& table = *seen;
    ranges.push_back(
        {&table.path, table.skillLines[range.skillIndex], range.classRecord, range.skill,
         range.version, range.fileNumber, range.aspect->name, range.start,
         static_cast<uint64_t>(range.start) + static_cast<uint64_t>(range.aspect->length)});
  });
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
