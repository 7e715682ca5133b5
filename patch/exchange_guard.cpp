#include "patch/exchange_guard.h"

#include <cstring>

#include "io/file_paths.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"
#include "tables/data_files.h"

namespace {

std::string TablePath(const RecordNode* classRecord, int version) {
  char path[kLineSize];
  return SkillTablePath(classRecord->name, version, path) ? NativePath(path) : "its table";
}

// A picked skill read from a line in pieces, or another skill than the box shows.
void CheckSkill(RecordList classes, int32_t classPosition, int32_t skillPosition, int version,
                const SkillRecord& picked, std::string* reasons) {
  const RecordNode* classRecord = AtPosition(classes, classPosition);
  std::string table = TablePath(classRecord, version);
  if (picked.inPieces) {
    *reasons += table + " line " + std::to_string(picked.line) + " is longer than " +
                std::to_string(kMaxLineLength) + " characters and was read in pieces: \"" +
                picked.name + "\" is not exchanged\n";
  }
  if (version == 0) return;
  const RecordNode* shown =
      AtPosition(static_cast<const ClassRecord*>(classRecord)->skillLists[0], skillPosition);
  if (shown == nullptr || std::strcmp(shown->name, picked.name) == 0) return;
  *reasons += std::string("the box shows \"") + shown->name + "\" (" + TablePath(classRecord, 0) +
              " line " + std::to_string(shown->line) + ") but " + table + " line " +
              std::to_string(picked.line) + " is \"" + picked.name + "\": not exchanged\n";
}

}  // namespace

std::string ExchangeRefusal(const DllPatcher& patcher, RecordList versions, RecordList classes,
                            const SkillSelection& selection, const ExchangePlan& plan) {
  std::string reasons;
  CheckSkill(classes, selection.firstClass, selection.firstSkill, selection.version,
             *plan.firstSkill, &reasons);
  if (selection.firstClass != selection.secondClass ||
      selection.firstSkill != selection.secondSkill) {
    CheckSkill(classes, selection.secondClass, selection.secondSkill, selection.version,
               *plan.secondSkill, &reasons);
  }
  auto* version = static_cast<const VersionRecord*>(AtPosition(versions, selection.version));
  if (version != nullptr && version->inPieces) {
    reasons += NativePath("data\\versions.txt") + " line " + std::to_string(version->line) +
               " is longer than " + std::to_string(kMaxLineLength) +
               " characters and was read in pieces: its fingerprints "
               "cannot be trusted\n";
  }
  bool needed[2] = {false, false};
  for (int i = 0; i < plan.swapCount; ++i) needed[plan.swaps[i].fileNumber] = true;
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (version == nullptr || !needed[fileNumber] ||
        version->fingerprints[fileNumber].state == DllFingerprint::kAbsent) {
      continue;
    }
    std::string mismatch = FingerprintMismatch(
        *version, fileNumber,
        UntouchedFingerprint(patcher.dllPaths[fileNumber], patcher.changeable[fileNumber]));
    if (!mismatch.empty()) reasons += mismatch + "\n";
  }
  size_t start = 0;
  for (size_t end; (end = reasons.find('\n', start)) != std::string::npos; start = end + 1) {
    logger.Print("* %s", reasons.substr(start, end - start).c_str());
  }
  return reasons;
}
