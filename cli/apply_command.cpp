// apply: a swap set file (as status prints it) made the DLLs' content, or
// with --dry-run what that would change, unwritten.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "sets/set_apply.h"
#include "tables/data_files.h"
#include "tables/swap_set.h"

int RunApply(DllPatcher& patcher, const std::string& setFile, bool dryRun) {
  std::string text;
  FileError unread = ReadSwapSetFile(setFile.c_str(), &text);
  if (unread.Failed()) {
    std::fprintf(stderr, "orvanel-cli apply: %s\n", UserReason(unread).c_str());
    return kExitFailed;
  }
  if (!FolderIsSet(patcher)) return kExitFailed;
  SetApplyOutcome outcome = ApplySwapSet(patcher, versionList, classList, text, dryRun);
  std::fputs(outcome.undone.c_str(), stderr);
  std::fputs(outcome.text.c_str(), stdout);
  return outcome.done ? kExitSuccess : kExitFailed;
}
