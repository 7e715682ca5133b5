// What an exchange will move, worked out from the tables alone: the selected
// skills, the ranges of each ticked aspect, and every range the tables name
// in a DLL. Nothing here reads a file.
#ifndef ORVANEL_TABLES_EXCHANGE_PLAN_H_
#define ORVANEL_TABLES_EXCHANGE_PLAN_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tables/aspects.h"
#include "tables/data_files.h"
#include "tables/record_list.h"

// Positions as the combo boxes report them (-1: nothing selected).
struct SkillSelection {
  int32_t version = -1;
  int32_t firstClass = -1;
  int32_t secondClass = -1;
  int32_t firstSkill = -1;
  int32_t secondSkill = -1;
  bool ticked[kAspectCount] = {};  // by index of kAspects

  bool Ticked(int aspect) const;
  bool AnyTicked() const;
};

// One range exchange of a ticked aspect, in processing order.
struct PlannedSwap {
  int fileNumber;
  int32_t length;
  const char* firstOffset;   // offset text in the first skill's record
  const char* secondOffset;  // offset text in the second skill's record
  const char* aspectName;    // "Effects", "Graphics" or "Descriptions"
  const char* resultLine;    // e.g. "   Effects\n"
};

struct ExchangePlan {
  const SkillRecord* firstSkill = nullptr;
  const SkillRecord* secondSkill = nullptr;
  PlannedSwap swaps[kAspectCount] = {};
  int swapCount = 0;
};

// The files the version at position keeps its skills in: its files= (the
// default ones for a position without a version line).
const VersionFiles& FilesOfVersion(RecordList versions, int32_t position);

// Looks the two skills up in classes and lists the ticked aspects' swaps,
// each in the file of the version's files that keeps its aspect. Returns 0
// when a lookup finds no record or the version has no skill data.
int PlanExchange(RecordList versions, RecordList classes, const SkillSelection& selection,
                 ExchangePlan* plan);
// The swaps of the aspects selection ticks, in files, between two skills
// already found (selection's positions are not looked at).
void PlanSwaps(const SkillRecord* first, const SkillRecord* second, const SkillSelection& selection,
               const VersionFiles& files, ExchangePlan* plan);

// The bytes [start, start + length) of a DLL.
struct ByteRange {
  uint32_t start;
  uint32_t length;
};
// The ranges of one DLL that the tables name: the only bytes in which the
// DLL may differ from its original.
using ByteRanges = std::vector<ByteRange>;

// One range the tables name: a skill's offset for an aspect in the table of
// a version position, in file fileNumber of that version's files.
struct SkillRange {
  const ClassRecord* classRecord;
  size_t classIndex;  // the class's place in the classes list
  int32_t version;    // the version position
  const SkillRecord* skill;
  size_t skillIndex;  // the skill's place in its table
  const Aspect* aspect;
  int fileNumber;
  uint32_t start;
};

// Calls visit for every range whose offset is an offset text (IsOffsetText),
// in table order: class, version position, skill, aspect. The one walk over
// the tables' ranges: the range checks, the changeable ranges and the status
// all take theirs from it.
void ForEachSkillRange(RecordList versions, RecordList classes,
                       const std::function<void(const SkillRange&)>& visit);

// Every range the tables of any version name in the file fileName (letter
// case aside): the aspects each version keeps in a file of that name.
ByteRanges ChangeableRanges(RecordList versions, RecordList classes, const std::string& fileName);

#endif  // ORVANEL_TABLES_EXCHANGE_PLAN_H_
