// status: what the program has changed in the DLLs, from their backups.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/names.h"
#include "patch/fingerprint.h"
#include "patch/status.h"
#include "tables/data_files.h"

int RunStatus(const DllPatcher& patcher, const std::string& versionText) {
  int32_t version = 0;
  if (!versionText.empty()) {
    std::string error;
    version = FindVersion(versionList, versionText, &error);
    if (version < 0) {
      std::fprintf(stderr, "orvanel-cli status: %s\n", error.c_str());
      return kExitUsage;
    }
  } else {
    // The version whose fingerprints the DLLs match, else the first.
    FileFingerprint found[2];
    UntouchedFingerprints(patcher, versionList, classList, found);
    int32_t detected = DetectVersion(versionList, found);
    version = detected >= 0 ? detected : 0;
    RecordNode* shown = AtPosition(versionList, version);
    std::fprintf(stderr, "(the ranges of version %s's tables%s; choose another with --version)\n",
                 shown != nullptr ? shown->name : "0",
                 detected >= 0 ? ", whose fingerprints the DLLs match" : "");
  }
  if (!FolderIsSet(patcher)) return kExitFailed;
  std::vector<std::string> lines;
  int read = DescribeChanges(patcher, versionList, classList, version, &lines);
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  return read ? kExitSuccess : kExitFailed;
}
