// apply: a swap set file (as status prints it) made the DLLs' content, or
// with --dry-run what that would change, unwritten.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/commands.h"
#include "sets/set_apply.h"
#include "tables/data_files.h"

int RunApply(DllPatcher& patcher, const std::string& setFile, bool dryRun) {
  std::ifstream file(setFile, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "orvanel-cli apply: the swap set %s cannot be read\n", setFile.c_str());
    return kExitUsage;
  }
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!FolderIsSet(patcher)) return kExitFailed;
  SetApplyOutcome outcome = ApplySwapSet(patcher, versionList, classList, text, dryRun);
  std::fputs(outcome.undone.c_str(), stderr);
  std::fputs(outcome.text.c_str(), stdout);
  return outcome.done ? kExitSuccess : kExitFailed;
}
