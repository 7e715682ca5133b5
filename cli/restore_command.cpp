// restore: the backups put back over the DLLs; the backups stay.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "patch/backup.h"
#include "patch/exchange.h"
#include "patch/restore.h"
#include "tables/file_paths.h"

int RunRestore(DllPatcher& patcher) {
  if (!FolderIsSet(patcher)) return kExitFailed;
  int restored = 0;
  int failed = 0;
  for (int fileNumber : {kGameDll, kClientDll}) {
    std::string dll = NativePath(patcher.dllPaths[fileNumber]);
    std::string backup = NativePath(BackupPath(patcher.dllPaths[fileNumber]).c_str());
    switch (RestoreBackup(patcher, fileNumber, ChangeableRanges(classList, fileNumber))) {
      case RestoreOutcome::kRestored:
        std::printf("Restored %s from %s\n", dll.c_str(), backup.c_str());
        ++restored;
        break;
      case RestoreOutcome::kNoBackup:
        std::printf("No backup of %s (never changed)\n", dll.c_str());
        break;
      case RestoreOutcome::kBusy:
        std::printf("Another Orvanel is changing these files: %s not restored\n", dll.c_str());
        ++failed;
        break;
      case RestoreOutcome::kFailed:
        std::printf("Could not restore %s\n", dll.c_str());
        ++failed;
        break;
    }
  }
  if (restored == 0 && failed == 0) {
    std::fprintf(stderr, "orvanel-cli restore: no backup to restore\n");
    return kExitFailed;
  }
  return failed == 0 ? kExitSuccess : kExitFailed;
}
