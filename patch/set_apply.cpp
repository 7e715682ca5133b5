#include "patch/set_apply.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "io/file_paths.h"
#include "patch/backup.h"
#include "patch/dll_links.h"
#include "patch/exchange_guard.h"
#include "patch/exchange_plan.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"
#include "patch/set_state.h"
#include "patch/transaction.h"
#include "tables/aspects.h"
#include "tables/data_files.h"
#include "tables/swap_set.h"

namespace {

const char kRefused[] = "The swap set was not applied: nothing was changed.\n";

std::string Line(int number) {
  return "line " + std::to_string(number) + ": ";
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

// The selection an exchange line names at version; false with why.
bool Select(RecordList classes, int32_t version, const SetExchange& exchange,
            SkillSelection* selection, std::string* why) {
  selection->version = version;
  selection->effects = exchange.aspects[0];
  selection->graphics = exchange.aspects[1];
  selection->descriptions = exchange.aspects[2];
  const SetSkill* sides[2] = {&exchange.first, &exchange.second};
  int32_t* classes_[2] = {&selection->firstClass, &selection->secondClass};
  int32_t* skills[2] = {&selection->firstSkill, &selection->secondSkill};
  for (int side = 0; side < 2; ++side) {
    auto* record = static_cast<ClassRecord*>(FindByName(classes, sides[side]->className, true));
    if (record == nullptr) {
      *why = "unknown class \"" + sides[side]->className + "\"";
      return false;
    }
    // The skill boxes show the names of the first version's tables.
    RecordNode* skill = FindByName(record->SkillsOf(0), sides[side]->skillName, true);
    if (skill == nullptr) {
      *why = "unknown skill \"" + sides[side]->skillName + "\" of " + record->name;
      return false;
    }
    *classes_[side] = record->position;
    *skills[side] = skill->position;
  }
  return true;
}

// One exchange line with what it moves.
struct SetLine {
  int number;
  ExchangePlan plan;
};

// Every line's plan, or the reasons (each naming its line) none can be used.
std::vector<std::string> PlanLines(RecordList versions, RecordList classes, const SwapSet& set,
                                   int32_t version, std::vector<SetLine>* lines) {
  std::vector<std::string> reasons;
  const DllAndBackup* const unread[2] = {nullptr, nullptr};
  for (const SetExchange& exchange : set.exchanges) {
    SkillSelection selection;
    std::string why;
    SetLine line{exchange.line, ExchangePlan()};
    if (!Select(classes, version, exchange, &selection, &why)) {
      reasons.push_back(Line(exchange.line) + why);
      continue;
    }
    if (!PlanExchange(classes, selection, &line.plan)) {
      reasons.push_back(Line(exchange.line) + "version " + set.version +
                        " has no table that lists these skills");
      continue;
    }
    for (const FileError& refusal :
         ExchangeRefusals(versions, classes, selection, line.plan, unread)) {
      reasons.push_back(Line(exchange.line) + UserReason(refusal));
    }
    lines->push_back(line);
  }
  return reasons;
}

// The bytes the set gives from the originals; reasons name the line of a
// range outside its DLL.
std::vector<std::string> SwapFromOriginals(const std::vector<SetLine>& lines,
                                           std::vector<uint8_t> target[2]) {
  std::vector<std::string> reasons;
  for (const SetLine& line : lines) {
    for (int i = 0; i < line.plan.swapCount; ++i) {
      const PlannedSwap& swap = line.plan.swaps[i];
      std::vector<uint8_t>& bytes = target[swap.fileNumber];
      uint32_t a = 0;
      uint32_t b = 0;
      bool inside = RangeInside(swap.firstOffset, swap.length, bytes.size(), &a) &&
                    RangeInside(swap.secondOffset, swap.length, bytes.size(), &b);
      if (!inside) {
        reasons.push_back(Line(line.number) + swap.aspectName + " offsets \"" + swap.firstOffset +
                          "\" and \"" + swap.secondOffset + "\" do not both lie inside " +
                          kFingerprintDllNames[swap.fileNumber] + " (" +
                          std::to_string(bytes.size()) + " bytes)");
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
std::vector<std::string> ReadOriginals(DllPatcher& patcher, RecordList versions, RecordList classes,
                                       const VersionRecord& version, SetFiles* read) {
  std::vector<std::string> reasons;
  for (int n : {kGameDll, kClientDll}) {
    DllAndBackup& files = read->files[n];
    patcher.changeable[n] = ChangeableRanges(classes, n);
    files = ReadDllFiles(patcher, versions, classes, n);
    if (!files.DllRead()) {
      reasons.push_back(UserReason(files.dllError));
      continue;
    }
    // Opened as a save needs it, as swap and restore open it: one that is
    // read-only or in use stops the set before anything is written.
    if (!patcher.LoadFile(n)) {
      reasons.push_back(UserReason(patcher.lastError));
      continue;
    }
    patcher.image.reset();
    patcher.imageSize = 0;
    patcher.loadedFile = -1;
    if (files.backupThere && !files.BackupUsable()) {
      reasons.push_back(UserReason(files.BackupError()));
      continue;
    }
    FileError refusal = FingerprintRefusal(version, n, files);
    if (refusal.problem != Problem::kNone) reasons.push_back(UserReason(refusal));
    read->now[n] = &files.dll;
    read->original[n] = files.backupThere ? &files.backup : &files.dll;
    const ByteBuffer& original = *read->original[n];
    read->target[n].assign(original.data.get(), original.data.get() + original.size);
  }
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
    text += (text.empty() ? "" : ", ") + Hex(static_cast<uint32_t>(i)) + ".." +
            Hex(static_cast<uint32_t>(end - 1));
    i = end;
  }
  return text;
}

SetApplyOutcome Refuse(SetApplyOutcome outcome, const std::vector<std::string>& reasons) {
  outcome.text = kRefused;
  for (const std::string& reason : reasons) {
    outcome.text += reason + "\n";
    logger.Print("* Swap set not applied: %s", reason.c_str());
  }
  return outcome;
}

// The set's changes written as one transaction; reasons when they are not.
std::vector<std::string> Write(DllPatcher& patcher, DllAndBackup files[2],
                               std::vector<uint8_t> target[2], const bool changes[2],
                               const std::string& change) {
  std::vector<JournalFile> writes;
  ByteBuffer bytes[2];
  for (int n : {kGameDll, kClientDll}) {
    if (!changes[n]) continue;
    bytes[n].data = ByteStore::Copy(target[n].data(), target[n].size());
    if (bytes[n].data == nullptr)
      return {DllFileName(patcher, n) + " could not be changed: out of memory"};
    bytes[n].size = static_cast<int32_t>(target[n].size());
    writes.emplace_back();
    if (!DescribeWrite(DllFileName(patcher, n), files[n].dll.data.get(),
                       static_cast<size_t>(files[n].dll.size), target[n].data(), target[n].size(),
                       &writes.back())) {
      return {DllFileName(patcher, n) + " would change its size, which no change does"};
    }
  }
  FileError error;
  if (!BeginChange(patcher, change, writes, &error)) return {UserReason(error)};
  for (int n : {kGameDll, kClientDll}) {
    if (!changes[n]) continue;
    if (SaveChangedDll(patcher, n, std::move(bytes[n]), files[n])) continue;
    std::string reason = UserReason(patcher.lastError);
    // The DLL written before this one goes back with the journal.
    std::string note;
    if (!UndoInterruptedChange(patcher, &note, &error)) reason += "; " + UserReason(error);
    return {reason};
  }
  CommitChange(patcher);
  return {};
}

}  // namespace

SetApplyOutcome ApplySwapSet(DllPatcher& patcher, RecordList versions, RecordList classes,
                             const std::string& setText, bool writeNothing) {
  SetApplyOutcome outcome;
  SwapSet set;
  std::string error;
  if (!ReadSwapSet(setText, &set, &error)) return Refuse(outcome, {error});
  RecordNode* version = FindByName(versions, set.version, true);
  if (version == nullptr) {
    return Refuse(outcome, {Line(set.versionLine) + "unknown version \"" + set.version + "\""});
  }
  outcome.version = version->position;
  std::vector<SetLine> lines;
  std::vector<std::string> reasons = PlanLines(versions, classes, set, version->position, &lines);
  if (!reasons.empty()) return Refuse(outcome, reasons);
  if (patcher.dllPaths[kGameDll][0] == '\0') {
    return Refuse(outcome, {"Diablo II .dll folder not set"});
  }

  // A dry run reads the DLLs as they are; the set would undo a stopped change first.
  std::string pending = writeNothing ? PendingChangeLine(patcher) : "";
  if (!pending.empty()) outcome.undone = pending + "\n";
  std::unique_ptr<DllFolderLocks> lock;
  if (!writeNothing) {
    lock.reset(new DllFolderLocks({patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]}));
    if (!lock->Held())
      return Refuse(outcome, {UserReason(lock->Error(patcher.dllPaths[kGameDll]))});
    FileError undoError;
    if (!UndoInterruptedChange(patcher, &outcome.undone, &undoError)) {
      return Refuse(outcome, {UserReason(undoError)});
    }
  }
  SetFiles read;
  reasons = ReadOriginals(patcher, versions, classes, *static_cast<VersionRecord*>(version), &read);
  if (!reasons.empty()) return Refuse(outcome, reasons);
  // Bytes no exchange made would be lost without a word.
  for (const std::string& foreign :
       StateAsExchanges(classes, version->position, read.now, read.original).foreign) {
    reasons.push_back(foreign + ": restore the original DLLs to apply the set over it");
  }
  std::vector<std::string> outside = SwapFromOriginals(lines, read.target);
  reasons.insert(reasons.end(), outside.begin(), outside.end());
  if (!reasons.empty()) return Refuse(outcome, reasons);

  bool changes[2];
  std::string what;
  for (int n : {kGameDll, kClientDll}) {
    std::string differences = Differences(read.files[n].dll, read.target[n]);
    changes[n] = !differences.empty();
    what += std::string("   ") + kFingerprintDllNames[n] +
            (changes[n] ? (writeNothing ? ": would change at " : ": changed at ") + differences
                        : ": already so") +
            "\n";
  }
  std::string summary = "version " + set.version + ", " + std::to_string(set.exchanges.size()) +
                        (set.exchanges.size() == 1 ? " exchange" : " exchanges");
  if (!writeNothing && (changes[kGameDll] || changes[kClientDll])) {
    reasons = Write(patcher, read.files, read.target, changes, "the swap set (" + summary + ")");
    if (!reasons.empty()) return Refuse(outcome, reasons);
  }
  outcome.done = true;
  outcome.text =
      std::string(writeNothing ? "Dry run: the swap set would give " : "Swap set applied: ") +
      summary + (set.exchanges.empty() ? " (the original DLLs)" : "") + "\n";
  for (const SetExchange& exchange : set.exchanges) {
    outcome.text += "   " + SetExchangeLine(exchange) + "\n";
  }
  outcome.text += what;
  if (writeNothing) outcome.text += "Dry run: no file was changed.\n";
  return outcome;
}
