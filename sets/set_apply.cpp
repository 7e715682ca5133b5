#include "sets/set_apply.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "change/change.h"
#include "change/transaction.h"
#include "config/game_files.h"
#include "exchange/exchange_guard.h"
#include "files/backup.h"
#include "files/dll_file.h"
#include "files/dll_links.h"
#include "files/fingerprint.h"
#include "io/file_paths.h"
#include "patch/logger.h"
#include "sets/set_state.h"
#include "tables/aspects.h"
#include "tables/data_files.h"
#include "tables/exchange_plan.h"
#include "tables/swap_set.h"

namespace {

const char kRefused[] = "The swap set was not applied: nothing was changed.\n";

// Why the set is not applied: a reason, and the line of the set that gives
// it (0 for the set as a whole).
struct SetReason {
  SetReason(FileError error, int setLine = 0) : error(std::move(error)), setLine(setLine) {}

  FileError error;
  int setLine;
};
using Reasons = std::vector<SetReason>;

// "line 3: unknown class ..." for a reason a line gives.
std::string ReasonWords(const SetReason& reason) {
  std::string words = UserReason(reason.error);
  return reason.setLine > 0 ? "line " + std::to_string(reason.setLine) + ": " + words : words;
}

FileError Named(Problem problem, const std::string& found, const std::string& detail = "") {
  FileError error{problem, 0, "", detail};
  error.found = found;
  return error;
}

// The selection an exchange line names at version, or why there is none.
FileError Select(RecordList classes, int32_t version, const SetExchange& exchange,
                 SkillSelection* selection) {
  selection->version = version;
  std::copy(exchange.aspects, exchange.aspects + kAspectCount, selection->ticked);
  const SetSkill* sides[2] = {&exchange.first, &exchange.second};
  int32_t* classes_[2] = {&selection->firstClass, &selection->secondClass};
  int32_t* skills[2] = {&selection->firstSkill, &selection->secondSkill};
  for (int side = 0; side < 2; ++side) {
    auto* record = static_cast<ClassRecord*>(FindByName(classes, sides[side]->className, true));
    if (record == nullptr) {
      return Named(Problem::kUnknownClass, sides[side]->className);
    }
    // The skill boxes show the names of the first version's tables.
    RecordNode* skill = FindByName(record->SkillsOf(0), sides[side]->skillName, true);
    if (skill == nullptr) {
      return Named(Problem::kUnknownSkill, sides[side]->skillName, record->name);
    }
    *classes_[side] = record->position;
    *skills[side] = skill->position;
  }
  return FileError();
}

// One exchange line with what it moves.
struct SetLine {
  int number;
  ExchangePlan plan;
};

// Every line's plan, or the reasons (each naming its line) none can be used.
Reasons PlanLines(RecordList versions, RecordList classes, const SwapSet& set, int32_t version,
                  std::vector<SetLine>* lines) {
  Reasons reasons;
  const DllAndBackup* const unread[2] = {nullptr, nullptr};
  for (const SetExchange& exchange : set.exchanges) {
    SkillSelection selection;
    SetLine line{exchange.line, ExchangePlan()};
    FileError unknown = Select(classes, version, exchange, &selection);
    if (unknown.Failed()) {
      reasons.emplace_back(unknown, exchange.line);
      continue;
    }
    if (!PlanExchange(versions, classes, selection, &line.plan)) {
      reasons.emplace_back(FileError{Problem::kNoSkillTable, 0, "", set.version}, exchange.line);
      continue;
    }
    for (const FileError& refusal :
         ExchangeRefusals(versions, classes, selection, line.plan, unread)) {
      reasons.emplace_back(refusal, exchange.line);
    }
    lines->push_back(line);
  }
  return reasons;
}

// The bytes the set gives from the originals; reasons name the line of a
// range outside its DLL.
Reasons SwapFromOriginals(const std::vector<SetLine>& lines, const DllAndBackup files[2],
                          std::vector<uint8_t> target[2]) {
  Reasons reasons;
  for (const SetLine& line : lines) {
    for (int i = 0; i < line.plan.swapCount; ++i) {
      const PlannedSwap& swap = line.plan.swaps[i];
      std::vector<uint8_t>& bytes = target[swap.fileNumber];
      uint32_t a = 0;
      uint32_t b = 0;
      bool inside = RangeInside(swap.firstOffset, swap.length, bytes.size(), &a) &&
                    RangeInside(swap.secondOffset, swap.length, bytes.size(), &b);
      if (!inside) {
        FileError outside{Problem::kRangeOutside, 0, files[swap.fileNumber].path, swap.aspectName};
        outside.found =
            std::string("\"") + swap.firstOffset + "\" and \"" + swap.secondOffset + "\"";
        outside.expected = std::to_string(bytes.size());
        reasons.emplace_back(outside, line.number);
        continue;
      }
      std::vector<uint8_t> first(bytes.begin() + a, bytes.begin() + a + swap.length);
      std::memmove(bytes.data() + a, bytes.data() + b, static_cast<size_t>(swap.length));
      std::memcpy(bytes.data() + b, first.data(), first.size());
    }
  }
  return reasons;
}

// Both DLLs and their backups, read once, and the bytes the set starts from.
struct SetFiles {
  DllAndBackup files[2];
  const ByteBuffer* now[2] = {nullptr, nullptr};
  // The backups, or the DLLs themselves where the program never changed them.
  const ByteBuffer* original[2] = {nullptr, nullptr};
  std::vector<uint8_t> target[2];  // the originals, to take the set's exchanges
};

// Reads both DLLs into read; the reasons why either cannot take version's set.
Reasons ReadOriginals(DllPatcher& patcher, RecordList versions, const VersionRecord& version,
                      SetFiles* read) {
  Reasons reasons;
  for (int n : {kGameDll, kClientDll}) {
    // A version that keeps its skills in one file has no second.
    if (n != kGameDll && patcher.dllPaths[n][0] == '\0') continue;
    DllAndBackup& files = read->files[n];
    files.path = patcher.dllPaths[n];
    // Opened as a save needs it, as swap and restore open it: one that is
    // read-only or in use stops the set before anything is written.
    files.dllError = ReadDllForUpdate(*patcher.saveSteps, files.path.c_str(), &files.dll);
    if (!files.DllRead()) {
      reasons.push_back(files.dllError);
      continue;
    }
    ReadBackupOf(&files, patcher.changeable[n], *patcher.saveSteps);
    JudgeBackup(versions, &files);
    if (files.backupThere && !files.BackupUsable()) {
      reasons.push_back(files.BackupError());
      continue;
    }
    FileError refusal = FingerprintRefusal(version, files);
    if (refusal.Failed()) reasons.push_back(refusal);
    read->now[n] = &files.dll;
    read->original[n] = files.backupThere ? &files.backup : &files.dll;
    const ByteBuffer& original = *read->original[n];
    read->target[n].assign(original.data.get(), original.data.get() + original.size);
  }
  const DllAndBackup* const both[2] = {read->files[0].DllRead() ? &read->files[0] : nullptr,
                                       read->files[1].DllRead() ? &read->files[1] : nullptr};
  FileError undeclared = UndeclaredVersionRefusal(versions, version, both);
  if (undeclared.Failed()) reasons.push_back(undeclared);
  return reasons;
}

// Where now and target differ, as "0x100..0x10B" pieces.
std::string Differences(const ByteBuffer& now, const std::vector<uint8_t>& target) {
  std::string text;
  size_t size = target.size();
  for (size_t i = 0; i < size;) {
    if (now.data[i] == target[i]) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < size && now.data[end] != target[end]) ++end;
    text += (text.empty() ? "" : ", ") + HexRange(i, end - 1);
    i = end;
  }
  return text;
}

SetApplyOutcome Refuse(SetApplyOutcome outcome, const Reasons& reasons) {
  outcome.text = kRefused;
  for (const SetReason& reason : reasons) {
    outcome.text += ReasonWords(reason) + "\n";
    logger.Print("* Swap set not applied: %s", ReasonWords(reason).c_str());
  }
  return outcome;
}

// The set's changes written as one change; reasons when they are not, and
// apart when a DLL stays changed after a failed save could not be put back.
Reasons Write(GameChange& change, DllAndBackup files[2], std::vector<uint8_t> target[2],
              const bool changes[2], const std::string& what, FileError* apart) {
  std::vector<JournalFile> writes;
  for (int n : {kGameDll, kClientDll}) {
    if (!changes[n]) continue;
    FileError kept = change.KeepBackup(files[n]);
    if (kept.Failed()) return {kept};
    writes.emplace_back();
    std::string name = FileNameOf(files[n].path);
    if (!DescribeWrite(name, files[n].dll.data.get(), static_cast<size_t>(files[n].dll.size),
                       target[n].data(), target[n].size(), &writes.back())) {
      return {FileError{Problem::kSizeChange, 0, files[n].path, ""}};
    }
  }
  FileError error = change.WriteJournal(what, writes);
  if (error.Failed()) return {error};
  std::vector<std::string> paths;
  for (int n : {kGameDll, kClientDll}) {
    if (!changes[n]) continue;
    paths.push_back(files[n].path);
    error = change.Save(files[n], target[n].data(), target[n].size());
    if (!error.Failed()) continue;
    // The DLL written before this one goes back with the journal.
    FileError undo = change.RollBack();
    if (undo.Failed()) *apart = LeftApart(change.Changed(), paths, undo);
    return {error};
  }
  error = change.Commit();
  if (error.Failed()) *apart = error;
  return {};
}

// Which file of read the set changes (changes[n]), and the lines that say
// where: "   d2game.dll: changed at 0x140..0x14B", "...: already so".
std::string FileChanges(const SetFiles& read, bool writeNothing, bool changes[2]) {
  std::string what;
  for (int n : {kGameDll, kClientDll}) {
    std::string differences = Differences(read.files[n].dll, read.target[n]);
    changes[n] = !differences.empty();
    if (read.files[n].path.empty()) continue;
    what += "   " + FileNameOf(read.files[n].path) +
            (changes[n] ? (writeNothing ? ": would change at " : ": changed at ") + differences
                        : ": already so") +
            "\n";
  }
  return what;
}

}  // namespace

SetApplyOutcome ApplySwapSet(DllPatcher& patcher, RecordList versions, RecordList classes,
                             const std::string& setText, bool writeNothing) {
  SetApplyOutcome outcome;
  SwapSet set;
  FileError unread = ReadSwapSet(setText, &set);
  if (unread.Failed()) return Refuse(outcome, {unread});
  RecordNode* version = FindByName(versions, set.version, true);
  if (version == nullptr) {
    return Refuse(outcome,
                  {SetReason(Named(Problem::kUnknownVersion, set.version), set.versionLine)});
  }
  outcome.version = version->position;
  std::vector<SetLine> lines;
  Reasons reasons = PlanLines(versions, classes, set, version->position, &lines);
  if (!reasons.empty()) return Refuse(outcome, reasons);
  if (!HasGameFolder(patcher)) {
    return Refuse(outcome, {FileError{Problem::kNotFound, 0, "the game folder", ""}});
  }

  // The version's files; what a journal left behind may undo in them, and
  // where a backup may differ.
  UseFilesOf(patcher, versions, version->position);
  SetChangeable(patcher, versions, classes);
  // A dry run reads the DLLs as they are; the set would undo a stopped change first.
  std::string pending = writeNothing ? PendingChangeLine(patcher, versions, classes) : "";
  if (!pending.empty()) outcome.undone = pending + "\n";
  std::unique_ptr<GameChange> change;
  if (!writeNothing) {
    change.reset(new GameChange(patcher));
    FileError error = change->Begin();
    outcome.undone = change->Undone();
    if (error.Failed()) return Refuse(outcome, {error});
  }
  SetFiles read;
  reasons = ReadOriginals(patcher, versions, *static_cast<VersionRecord*>(version), &read);
  if (!reasons.empty()) return Refuse(outcome, reasons);
  // Bytes no exchange made would be lost without a word.
  for (const std::string& foreign :
       StateAsExchanges(versions, classes, version->position, read.now, read.original).foreign) {
    reasons.emplace_back(FileError{Problem::kForeignBytes, 0, "", foreign});
  }
  Reasons outside = SwapFromOriginals(lines, read.files, read.target);
  reasons.insert(reasons.end(), outside.begin(), outside.end());
  if (!reasons.empty()) return Refuse(outcome, reasons);

  bool changes[2];
  std::string what = FileChanges(read, writeNothing, changes);
  std::string summary = "version " + set.version + ", " + std::to_string(set.exchanges.size()) +
                        (set.exchanges.size() == 1 ? " exchange" : " exchanges");
  FileError apart;  // a rollback or a commit that failed
  if (!writeNothing && (changes[kGameDll] || changes[kClientDll])) {
    reasons =
        Write(*change, read.files, read.target, changes, "the swap set (" + summary + ")", &apart);
    if (apart.problem == Problem::kApart) {
      outcome.text = "The swap set was not applied whole:\n";
      for (const SetReason& reason : reasons) outcome.text += ReasonWords(reason) + "\n";
      outcome.text += UserReason(apart) + "\n";
      logger.Print("* Swap set not applied whole: %s", UserReason(apart).c_str());
      return outcome;
    }
    if (!reasons.empty()) return Refuse(outcome, reasons);
  }
  // Written whole, but a commit that failed keeps the journal: said last.
  outcome.done = !apart.Failed();
  outcome.text =
      std::string(writeNothing ? "Dry run: the swap set would give " : "Swap set applied: ") +
      summary + (set.exchanges.empty() ? " (the original DLLs)" : "") + "\n";
  for (const SetExchange& exchange : set.exchanges) {
    outcome.text += "   " + SetExchangeLine(exchange) + "\n";
  }
  outcome.text += what;
  if (writeNothing) outcome.text += "Dry run: no file was changed.\n";
  if (apart.Failed()) outcome.text += UserReason(apart) + "\n";
  return outcome;
}
