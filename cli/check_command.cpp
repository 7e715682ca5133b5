// check: every finding of the table check and of data\config.txt, ranges
// that overlap, and with a game folder the ranges that lie outside their DLL;
// which declared version the DLLs are is told, not counted as a problem.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "config/config_check.h"
#include "config/game_files.h"
#include "exchange/range_check.h"
#include "files/fingerprint.h"
#include "io/virtual_store.h"
#include "tables/overlap_check.h"
#include "tables/table_check.h"

int RunCheck(const DllPatcher& patcher) {
  std::vector<std::string> findings;
  TableLines lines;
  CheckTables(versionList, classList, &findings, &lines);
  CheckOverlaps(classList, lines, &findings, versionList);
  CheckConfig(&findings);
  bool folderSet = HasGameFolder(patcher);
  std::string versionNote;
  if (folderSet) {
    CheckRanges(versionList, classList, lines, patcher, &findings);
    std::vector<std::string> paths = NamedFilePaths(patcher, versionList);
    versionNote = DllVersionNote(versionList, UntouchedFingerprints(paths, versionList, classList));
    for (const std::string& path : paths) {
      std::string copy = ShadowCopyOf(path.c_str());
      if (!copy.empty()) findings.push_back(copy + ":0: " + ShadowCopyWarning(copy, path.c_str()));
    }
  }
  for (const std::string& finding : findings) std::printf("%s\n", finding.c_str());
  std::fflush(stdout);
  if (!folderSet) {
    std::fprintf(stderr, "game folder not set: ranges were not checked against the DLLs\n");
  } else if (!versionNote.empty()) {
    std::fprintf(stderr, "%s\n", versionNote.c_str());
  }
  if (findings.empty()) {
    std::fprintf(stderr, "no problems found\n");
    return kExitSuccess;
  }
  std::fprintf(stderr, "%zu problem%s found\n", findings.size(), findings.size() == 1 ? "" : "s");
  return kExitFailed;
}
