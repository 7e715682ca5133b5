// restore: the backups put back over the DLLs; the backups stay.
#include <cstdio>

#include "cli/commands.h"
#include "exchange/restore.h"
#include "tables/data_files.h"

int RunRestore(DllPatcher& patcher) {
  if (!FolderIsSet(patcher)) return kExitFailed;
  RestoreReport report = RestoreBoth(patcher, versionList, classList);
  std::fputs(report.undone.c_str(), stderr);
  std::fputs(report.text.c_str(), stdout);
  if (report.restored == 0 && report.failed == 0) {
    std::fprintf(stderr, "orvanel-cli restore: no backup to restore\n");
    return kExitFailed;
  }
  return report.failed == 0 ? kExitSuccess : kExitFailed;
}
