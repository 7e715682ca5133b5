// swap: the "Swap" button's exchange with the selection given by names (the
// version may be left to the fingerprints), or with --dry-run the ranges it
// would change, before and after, unwritten, as the exchange itself tells.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/names.h"
#include "io/file_paths.h"
#include "patch/exchange.h"
#include "patch/fingerprint.h"
#include "tables/data_files.h"

namespace {

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  std::string text;
  char piece[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(piece, sizeof piece, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += piece;
  }
  return text;
}

// The dry run: what the exchange would change, from the exchange itself
// with nothing written.
int DryRun(DllPatcher& patcher, const SkillSelection& selection) {
  ExchangeOutcome outcome = RunExchange(patcher, versionList, classList, selection, true);
  for (size_t r = 0; r < outcome.ranges.size(); ++r) {
    const RangeChange& range = outcome.ranges[r];
    if (r % 2 == 0) {
      std::printf("%s: %s, %d bytes\n", NativePath(patcher.dllPaths[range.fileNumber]).c_str(),
                  range.aspectName, static_cast<int>(range.before.size()));
    }
    std::printf("  %8s before: %s\n", range.offset, HexBytes(range.before).c_str());
    std::printf("  %8s after:  %s\n", "", HexBytes(range.after).c_str());
  }
  if (!outcome.done || !selection.AnyTicked()) std::fputs(outcome.text.c_str(), stdout);
  std::printf("Dry run: no file was changed.\n");
  return outcome.done ? kExitSuccess : kExitFailed;
}

// The version the fingerprints tell, for a swap without --version.
int32_t DetectedVersion(const DllPatcher& patcher, std::string* error) {
  FileFingerprint found[2];
  UntouchedFingerprints(patcher, versionList, classList, found);
  int32_t version = DetectVersion(versionList, found);
  if (version < 0) {
    *error = patcher.folder[0] == '\0'
                 ? "--version is required: no game folder is set to tell it from"
                 : "--version is required: no single version's fingerprints match the DLLs in " +
                       NativePath(patcher.folder);
  } else {
    std::fprintf(stderr, "version %s: its fingerprints match the DLLs\n",
                 AtPosition(versionList, version)->name);
  }
  return version;
}

}  // namespace

int RunSwap(DllPatcher& patcher, const SwapRequest& request) {
  SkillSelection selection;
  std::string error;
  selection.version = request.version.empty() ? DetectedVersion(patcher, &error)
                                              : FindVersion(versionList, request.version, &error);
  if (selection.version < 0 ||
      !FindSkill(classList, request.first, &selection.firstClass, &selection.firstSkill, &error) ||
      !FindSkill(classList, request.second, &selection.secondClass, &selection.secondSkill,
                 &error)) {
    std::fprintf(stderr, "orvanel-cli swap: %s\n", error.c_str());
    return kExitUsage;
  }
  selection.effects = request.effects;
  selection.graphics = request.graphics;
  selection.descriptions = request.descriptions;
  if (!FolderIsSet(patcher)) return kExitFailed;
  if (request.dryRun) return DryRun(patcher, selection);

  ExchangeOutcome outcome = RunExchange(patcher, versionList, classList, selection);
  std::fputs(outcome.undone.c_str(), stderr);
  std::fputs(outcome.text.c_str(), stdout);
  if (!selection.effects && !selection.graphics && !selection.descriptions) {
    std::fprintf(stderr, "(tick aspects with --effects, --graphics, --descs)\n");
  }
  return outcome.done ? kExitSuccess : kExitFailed;
}
