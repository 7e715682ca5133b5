// The process the crash test kills and races: it exchanges one skill pair of
// tests/crash/crash_pairs.h (all three aspects) in FOLDER/d2game.dll and
// FOLDER/d2client.dll through the program's own exchange, lock and backups,
// either once or over and over until it is killed. Each exchange turns each
// DLL into the other of its two states for that pair.
//   crash_saver FOLDER once|loop [PAIR]
// PAIR is 0 (the default) or 1. "once" exits 0 when the exchange succeeded,
// else prints its result text to stderr and exits 1.
#include <cstdio>
#include <cstring>
#include <string>

#include "patch/dll_patcher.h"
#include "patch/exchange.h"
#include "patch/logger.h"
#include "tests/crash/crash_pairs.h"

Logger logger;

namespace {

// Class 0 holds the first skill of each pair, class 1 the second, at the
// pair's position; only version position 0 has skills.
RecordList BuildClasses() {
  RecordList classes = nullptr;
  for (int side = 0; side < 2; ++side) {
    auto* record = new ClassRecord;
    std::snprintf(record->name, sizeof record->name, "Class %d", side);
    record->AddToList(&classes);
    for (int pair = 0; pair < kCrashPairCount; ++pair) {
      const CrashPair& offsets = kCrashPairs[pair];
      auto* skill = new SkillRecord;
      std::snprintf(skill->name, sizeof skill->name, "Skill %d.%d", side, pair);
      std::snprintf(skill->effectsOffset[0], 6, "%s", offsets.effects[side]);
      std::snprintf(skill->graphicsOffset[0], 6, "%s", offsets.graphics[side]);
      std::snprintf(skill->descriptionsOffset[0], 6, "%s", offsets.descriptions[side]);
      skill->AddToList(&record->skillLists[0]);
    }
  }
  return classes;
}

bool ExchangeOnce(DllPatcher& patcher, RecordList classes, int pair) {
  SkillSelection selection;
  selection.version = 0;
  selection.firstClass = 0;
  selection.firstSkill = pair;
  selection.secondClass = 1;
  selection.secondSkill = pair;
  selection.effects = selection.graphics = selection.descriptions = true;
  std::string result;
  if (ExchangeSkills(patcher, versionList, classes, selection, &result)) return true;
  std::fputs(result.c_str(), stderr);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  bool once = argc >= 3 && std::strcmp(argv[2], "once") == 0;
  bool loop = argc >= 3 && std::strcmp(argv[2], "loop") == 0;
  int pair = argc == 4 ? argv[3][0] - '0' : 0;
  if (argc < 3 || argc > 4 || (!once && !loop) || pair < 0 || pair >= kCrashPairCount ||
      (argc == 4 && argv[3][1] != '\0')) {
    std::fprintf(stderr, "usage: crash_saver FOLDER once|loop [0|1]\n");
    return 2;
  }
  DllPatcher patcher;
  if (!patcher.UseFolder(argv[1])) {
    std::fprintf(stderr, "crash_saver: expected a folder under %d characters, found %s\n",
                 kMaxFolderLength, argv[1]);
    return 2;
  }
  RecordList classes = BuildClasses();
  bool saved = ExchangeOnce(patcher, classes, pair);
  while (saved && loop) saved = ExchangeOnce(patcher, classes, pair);
  FreeList<ClassRecord>(&classes);
  return saved ? 0 : 1;
}
