// swap: the "Swap" button's exchange with the selection given by names (the
// version may be left to the fingerprints), or with --dry-run the ranges it
// would change, before and after, unwritten, as the exchange itself tells.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/names.h"
#include "exchange/exchange.h"
#include "io/file_paths.h"
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

// What the exchange did, or with --dry-run would do: the ranges before and
// after for a dry run, then the text; exit 2 when no version was given and
// none could be told from the DLLs.
int Report(const DllPatcher& patcher, const SwapRequest& request, const SkillSelection& selection,
           const ExchangeOutcome& outcome) {
  // Only DLLs read and matching no single version call for the version; any
  // other refusal (the lock, a journal) keeps its own words and exit code.
  if (request.version.empty() && outcome.versionUnknown) {
    std::fprintf(stderr,
                 "orvanel-cli swap: --game-version is required: no single version's fingerprints "
                 "match the DLLs in %s\n",
                 NativePath(patcher.folder).c_str());
    return kExitUsage;
  }
  if (request.version.empty() && outcome.version >= 0) {
    std::fprintf(stderr, "version %s: its fingerprints match the DLLs\n",
                 AtPosition(versionList, outcome.version)->name);
  }
  for (size_t r = 0; request.dryRun && r < outcome.ranges.size(); ++r) {
    const RangeChange& range = outcome.ranges[r];
    if (r % 2 == 0) {
      std::printf("%s: %s, %d bytes\n", NativePath(patcher.dllPaths[range.fileNumber]).c_str(),
                  range.aspectName, static_cast<int>(range.before.size()));
    }
    std::printf("  %8s before: %s\n", range.offset, HexBytes(range.before).c_str());
    std::printf("  %8s after:  %s\n", "", HexBytes(range.after).c_str());
  }
  std::fputs(outcome.undone.c_str(), stderr);
  if (!request.dryRun || !outcome.done || !selection.AnyTicked()) {
    std::fputs(outcome.text.c_str(), stdout);
  }
  if (request.dryRun) std::printf("Dry run: no file was changed.\n");
  if (!selection.AnyTicked()) {
    std::fprintf(stderr, "(tick aspects with --effects, --graphics, --descs)\n");
  }
  return outcome.done ? kExitSuccess : kExitFailed;
}

}  // namespace

int RunSwap(DllPatcher& patcher, const SwapRequest& request) {
  SkillSelection selection;
  ExchangeOptions options;
  options.writeNothing = request.dryRun;
  options.detectVersion = request.version.empty();
  std::string error;
  if (options.detectVersion && !HasGameFolder(patcher)) {
    error = "--game-version is required: no game folder is set to tell it from";
  } else if (!options.detectVersion) {
    selection.version = FindVersion(versionList, request.version, &error);
  }
  if (!error.empty() ||
      !FindSkill(versionList, classList, request.first, &selection.firstClass,
                 &selection.firstSkill, &error) ||
      !FindSkill(versionList, classList, request.second, &selection.secondClass,
                 &selection.secondSkill, &error)) {
    std::fprintf(stderr, "orvanel-cli swap: %s\n", error.c_str());
    return kExitUsage;
  }
  std::copy(request.aspects, request.aspects + kAspectCount, selection.ticked);
  if (!FolderIsSet(patcher)) return kExitFailed;
  return Report(patcher, request, selection,
                RunExchange(patcher, versionList, classList, selection, options));
}
