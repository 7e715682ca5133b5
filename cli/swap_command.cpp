// swap: the "Swap" button's exchange with the selection given by names (the
// version may be left to the fingerprints), or with --dry-run the ranges it
// would change, before and after, unwritten; the dry run refuses what the
// exchange refuses.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/names.h"
#include "io/file_paths.h"
#include "patch/exchange.h"
#include "patch/exchange_guard.h"
#include "patch/fingerprint.h"
#include "tables/data_files.h"

namespace {

std::string HexBytes(const uint8_t* bytes, int32_t length) {
  std::string text;
  char piece[4];
  for (int32_t i = 0; i < length; ++i) {
    std::snprintf(piece, sizeof piece, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += piece;
  }
  return text;
}

void PrintRange(const char* offsetText, int32_t length, const std::vector<uint8_t>& before,
                const DllPatcher& patcher) {
  uint32_t at = 0;
  HexToNumber(&at, offsetText);
  std::printf("  %8s before: %s\n", offsetText, HexBytes(before.data() + at, length).c_str());
  std::printf("  %8s after:  %s\n", "", HexBytes(patcher.image.get() + at, length).c_str());
}

// The exchange done in memory only: each file is loaded once and takes its
// aspects in order, which is what loading it afresh after each save gives.
int DryRun(DllPatcher& patcher, const SkillSelection& selection) {
  if (!selection.effects && !selection.graphics && !selection.descriptions) {
    std::printf("No changes made\n");
    return kExitSuccess;
  }
  ExchangePlan plan;
  if (!PlanExchange(classList, selection, &plan)) {
    std::printf("There were errors in your request\n");
    std::fprintf(stderr, "the selected version has no such skill\n");
    return kExitFailed;
  }
  for (int fileNumber : {kGameDll, kClientDll}) {
    patcher.changeable[fileNumber] = ChangeableRanges(classList, fileNumber);
  }
  std::string refusal = ExchangeRefusal(patcher, versionList, classList, selection, plan);
  if (!refusal.empty()) {
    std::printf("There were errors in your request\n%s", refusal.c_str());
    return kExitFailed;
  }
  bool failed = false;
  int loaded = -1;
  for (int i = 0; i < plan.swapCount; ++i) {
    const PlannedSwap& swap = plan.swaps[i];
    if (swap.fileNumber != loaded) {
      loaded = patcher.LoadFile(swap.fileNumber) ? swap.fileNumber : -1;
      if (loaded < 0) {
        std::printf("%s: %s not loaded: %s\n",
                    NativePath(patcher.dllPaths[swap.fileNumber]).c_str(), swap.aspectName,
                    UserReason(patcher.lastError).c_str());
        failed = true;
        continue;
      }
    }
    std::vector<uint8_t> before(patcher.image.get(), patcher.image.get() + patcher.imageSize);
    std::printf("%s: %s, %d bytes\n", NativePath(patcher.dllPaths[swap.fileNumber]).c_str(),
                swap.aspectName, swap.length);
    if (!patcher.SwapRanges(swap.length, swap.firstOffset, swap.secondOffset)) {
      std::printf("  refused: offsets \"%s\" and \"%s\"\n", swap.firstOffset, swap.secondOffset);
      failed = true;
      continue;
    }
    PrintRange(swap.firstOffset, swap.length, before, patcher);
    PrintRange(swap.secondOffset, swap.length, before, patcher);
  }
  std::printf("Dry run: no file was changed.\n");
  return failed ? kExitFailed : kExitSuccess;
}

// The version the fingerprints tell, for a swap without --version.
int32_t DetectedVersion(const DllPatcher& patcher, std::string* error) {
  FileFingerprint found[2];
  UntouchedFingerprints(patcher, classList, found);
  int32_t version = DetectVersion(versionList, found);
  if (version < 0) {
    *error =
        patcher.folder[0] == '\0'
            ? "--game-version is required: no game folder is set to tell it from"
            : "--game-version is required: no single version's fingerprints match the DLLs in " +
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

  std::string result;
  int done = ExchangeSkills(patcher, classList, selection, &result);
  std::fputs(result.c_str(), stdout);
  if (!selection.effects && !selection.graphics && !selection.descriptions) {
    std::fprintf(stderr, "(tick aspects with --effects, --graphics, --descs)\n");
  }
  return done ? kExitSuccess : kExitFailed;
}
