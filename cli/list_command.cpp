// list: what the window's boxes offer, with the positions the other commands
// accept in place of names.
#include <cstdio>

#include "cli/commands.h"
#include "tables/data_files.h"
#include "tables/record_list.h"

int RunList() {
  std::printf("Versions:\n");
  for (RecordNode* version = versionList; version != nullptr; version = version->next) {
    std::printf("  %d  %s\n", version->position, version->name);
  }
  std::printf("Classes and skills:\n");
  for (RecordNode* node = classList; node != nullptr; node = node->next) {
    std::printf("  %d  %s\n", node->position, node->name);
    // The skill boxes show the names of the first version's tables.
    auto* record = static_cast<ClassRecord*>(node);
    for (RecordNode* skill = record->skillLists[0]; skill != nullptr; skill = skill->next) {
      std::printf("      %d  %s\n", skill->position, skill->name);
    }
  }
  return kExitSuccess;
}
