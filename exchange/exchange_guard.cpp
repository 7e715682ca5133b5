#include "exchange/exchange_guard.h"

#include <cstring>
#include <string>

#include "files/fingerprint.h"
#include "io/file_paths.h"
#include "tables/data_files.h"
#include "tables/table_check.h"

namespace {

std::string TablePath(RecordList versions, const RecordNode* classRecord, int version) {
  char path[kLineSize];
  return SkillTablePath(versions, classRecord->name, version, path) ? path : "its table";
}

// What is wrong with version's line of versions.txt.
FileError VersionsLine(Problem problem, const VersionRecord& version, const std::string& detail) {
  FileError error{problem, 0, "data\\versions.txt", detail};
  error.line = version.line;
  return error;
}

// What the table check finds in the picked skill's line, for the line as a
// whole and for the offsets of the ticked aspects, in the check's own words.
void AddCheckFindings(const std::vector<TableFinding>& findings, const SkillSelection& selection,
                      std::vector<FileError>* reasons) {
  for (const TableFinding& finding : findings) {
    if (finding.about == kNotOfSkill || (finding.about >= 0 && !selection.Ticked(finding.about))) {
      continue;
    }
    reasons->push_back({Problem::kTable, 0, "", FindingInWords(finding)});
  }
}

// A picked skill that is another skill than the box shows.
void CheckSkill(RecordList versions, RecordList classes, int32_t classPosition,
                int32_t skillPosition, int version, const SkillRecord& picked,
                std::vector<FileError>* reasons) {
  const RecordNode* classRecord = AtPosition(classes, classPosition);
  std::string table = TablePath(versions, classRecord, version);
  if (version == 0) return;
  const RecordNode* shown =
      AtPosition(static_cast<const ClassRecord*>(classRecord)->skillLists[0], skillPosition);
  if (shown == nullptr || std::strcmp(shown->name, picked.name) == 0) return;
  FileError moved{
      Problem::kSkillMoved, 0, table,
      ShownPath(TablePath(versions, classRecord, 0)) + " line " + std::to_string(shown->line)};
  moved.line = picked.line;
  moved.expected = shown->name;
  moved.found = picked.name;
  reasons->push_back(moved);
}

// One side of the exchange: the two faults the exchange words itself, else
// what the table check finds in the picked skill's line.
void CheckPicked(RecordList versions, RecordList classes, const SkillSelection& selection,
                 bool first, const SkillRecord& picked, std::vector<FileError>* reasons) {
  int32_t classPosition = first ? selection.firstClass : selection.secondClass;
  const RecordNode* classRecord = AtPosition(classes, classPosition);
  char path[kLineSize] = "";
  SkillTablePath(versions, classRecord->name, selection.version, path);
  // Judged from the line the record was read from: no table is read again.
  std::vector<TableFinding> findings = SkillLineFindings(picked, path);
  size_t before = reasons->size();
  CheckSkill(versions, classes, classPosition, first ? selection.firstSkill : selection.secondSkill,
             selection.version, picked, reasons);
  if (reasons->size() > before) return;
  AddCheckFindings(findings, selection, reasons);
}

// Another version whose declared fingerprints the read DLLs all match.
const VersionRecord* MatchingVersion(RecordList versions, const VersionRecord* selected,
                                     const DllAndBackup* const files[2]) {
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* version = static_cast<const VersionRecord*>(node);
    if (version == selected) continue;
    bool declared = false;
    bool all = true;
    for (int fileNumber : {kGameDll, kClientDll}) {
      if (files[fileNumber] == nullptr) continue;
      bool declares = DeclaredFor(*version, FileNameOf(files[fileNumber]->path)).state ==
                      DllFingerprint::kDeclared;
      declared = declared || declares;
      all = all && declares &&
            FingerprintRefusal(*version, *files[fileNumber]).problem == Problem::kNone;
    }
    if (declared && all) return version;
  }
  return nullptr;
}

}  // namespace

FileError UndeclaredVersionRefusal(RecordList versions, const VersionRecord& selected,
                                   const DllAndBackup* const files[2]) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (files[fileNumber] != nullptr &&
        DeclaredFor(selected, FileNameOf(files[fileNumber]->path)).state !=
            DllFingerprint::kAbsent) {
      return FileError();
    }
  }
  const VersionRecord* other = MatchingVersion(versions, &selected, files);
  if (other == nullptr) return FileError();
  FileError undeclared{Problem::kUndeclaredVersion, 0, "", selected.name};
  undeclared.found = other->name;
  return undeclared;
}

std::vector<FileError> ExchangeRefusals(RecordList versions, RecordList classes,
                                        const SkillSelection& selection, const ExchangePlan& plan,
                                        const DllAndBackup* const files[2]) {
  std::vector<FileError> reasons;
  CheckPicked(versions, classes, selection, true, *plan.firstSkill, &reasons);
  if (selection.firstClass != selection.secondClass ||
      selection.firstSkill != selection.secondSkill) {
    CheckPicked(versions, classes, selection, false, *plan.secondSkill, &reasons);
  }
  auto* version = static_cast<const VersionRecord*>(AtPosition(versions, selection.version));
  if (version == nullptr) return reasons;
  if (version->inPieces) {
    reasons.push_back(
        VersionsLine(Problem::kLineInPieces, *version, std::to_string(kMaxLineLength)));
  }
  if (version->files.Malformed()) {
    FileError unreadable =
        VersionsLine(Problem::kFilesUnreadable, *version, version->files.problem);
    unreadable.found = version->files.token;
    reasons.push_back(unreadable);
    return reasons;
  }
  bool mismatch = false;
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (files[fileNumber] == nullptr) continue;
    FileError refusal = FingerprintRefusal(*version, *files[fileNumber]);
    if (refusal.problem == Problem::kNone) continue;
    mismatch = mismatch || refusal.problem == Problem::kNotTheVersion;
    reasons.push_back(refusal);
  }
  FileError undeclared = UndeclaredVersionRefusal(versions, *version, files);
  if (undeclared.Failed()) reasons.push_back(undeclared);
  const VersionRecord* other = mismatch ? MatchingVersion(versions, version, files) : nullptr;
  if (other != nullptr) reasons.push_back({Problem::kOtherVersion, 0, "", other->name});
  return reasons;
}
