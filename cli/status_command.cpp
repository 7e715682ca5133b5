// status: what the program has changed in the DLLs, from their backups.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/names.h"
#include "sets/status.h"
#include "tables/data_files.h"

int RunStatus(const DllPatcher& patcher, const std::string& versionText) {
  int32_t version = -1;  // the one the DLLs' fingerprints match, else the first
  if (!versionText.empty()) {
    std::string error;
    version = FindVersion(versionList, versionText, &error);
    if (version < 0) {
      std::fprintf(stderr, "orvanel-cli status: %s\n", error.c_str());
      return kExitUsage;
    }
  }
  if (!FolderIsSet(patcher)) return kExitFailed;
  std::vector<std::string> lines;
  int32_t used = version;
  bool fingerprinted = false;
  int read =
      DescribeChanges(patcher, versionList, classList, version, &lines, &used, &fingerprinted);
  if (versionText.empty()) {
    RecordNode* shown = AtPosition(versionList, used >= 0 ? used : 0);
    std::fprintf(stderr,
                 "(the ranges of version %s's tables%s; choose another with --game-version)\n",
                 shown != nullptr ? shown->name : "0",
                 fingerprinted ? ", whose fingerprints the DLLs match"
                 : used >= 0   ? ", which explain the differences from the backups"
                               : "");
  }
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  return read ? kExitSuccess : kExitFailed;
}
