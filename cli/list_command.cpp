// list: what the window's boxes offer, with the positions the other commands
// accept in place of names, and the version the game folder's DLLs are.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/names.h"
#include "config/game_files.h"
#include "files/fingerprint.h"
#include "tables/data_files.h"
#include "tables/record_list.h"

int RunList(const DllPatcher& patcher) {
  int32_t detected = DetectVersion(
      versionList,
      UntouchedFingerprints(NamedFilePaths(patcher, versionList), versionList, classList));
  std::printf("Versions:\n");
  for (RecordNode* version = versionList; version != nullptr; version = version->next) {
    std::printf("  %d  %s%s\n", version->position, version->name,
                version->position == detected ? "  (the DLLs in the game folder)" : "");
  }
  std::printf("Classes and skills:\n");
  for (RecordNode* node = classList; node != nullptr; node = node->next) {
    std::printf("  %d  %s\n", node->position, node->name);
    // The skill boxes show the names of the first version's tables.
    auto* record = static_cast<ClassRecord*>(node);
    std::string empty = NoSkillsYet(versionList, *record);
    if (!empty.empty()) std::printf("      %s\n", empty.c_str());
    for (RecordNode* skill = record->skillLists[0]; skill != nullptr; skill = skill->next) {
      std::printf("      %d  %s\n", skill->position, skill->name);
    }
  }
  return kExitSuccess;
}
