// The tables of a crash test, built in memory from its pairs: class 0 holds
// the first skill of each pair, class 1 the second, at the pair's position;
// only version position 0 has skills. The caller frees the list.
#ifndef ORVANEL_TESTS_CRASH_CRASH_CLASSES_H_
#define ORVANEL_TESTS_CRASH_CRASH_CLASSES_H_

#include <cstdio>

#include "tables/data_files.h"
#include "tests/crash/crash_pairs.h"

inline RecordList BuildCrashClasses(const CrashPair* pairs, int count) {
  RecordList classes = nullptr;
  for (int side = 0; side < 2; ++side) {
    auto* record = new ClassRecord;
    std::snprintf(record->name, sizeof record->name, "Class %d", side);
    record->AddToList(&classes);
    for (int pair = 0; pair < count; ++pair) {
      auto* skill = new SkillRecord;
      std::snprintf(skill->name, sizeof skill->name, "Skill %d.%d", side, pair);
      std::snprintf(skill->effectsOffset, 6, "%s", pairs[pair].effects[side]);
      std::snprintf(skill->graphicsOffset, 6, "%s", pairs[pair].graphics[side]);
      std::snprintf(skill->descriptionsOffset, 6, "%s", pairs[pair].descriptions[side]);
      skill->AddToList(&record->skillLists[0]);
    }
  }
  return classes;
}

#endif  // ORVANEL_TESTS_CRASH_CRASH_CLASSES_H_
