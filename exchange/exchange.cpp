#include "exchange/exchange.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "change/change.h"
#include "change/transaction.h"
#include "config/game_files.h"
#include "exchange/exchange_guard.h"
#include "files/backup.h"
#include "files/dll_file.h"
#include "files/dll_links.h"
#include "files/fingerprint.h"
#include "io/change_lock.h"
#include "io/file_paths.h"
#include "io/virtual_store.h"
#include "patch/logger.h"

namespace {

const char kNoChanges[] = "No changes made\n";
const char kErrors[] = "There were errors in your request\n";
const char kJoin[] = " <-> ";
const char kBusyLine[] = "Another Orvanel is changing these files: nothing was changed.\n";

void Log(const FileError& error) {
  logger.Print("* %s%s", UserReason(error).c_str(), LogReason(error).c_str());
}

// Where a skill of a class's table for version is read: "data\Amazon
// 109b.txt line 4".
std::string TablePlace(RecordList versions, RecordList classes, int32_t classPosition,
                       int32_t version, const SkillRecord* skill) {
  auto* record = static_cast<ClassRecord*>(AtPosition(classes, classPosition));
  char path[kLineSize] = "";
  if (record == nullptr || !SkillTablePath(versions, record->name, version, path)) {
    return "the tables";
  }
  // A record not read from a table (line 0) has no line to name.
  std::string line = skill->line > 0 ? " line " + std::to_string(skill->line) : "";
  return ShownPath(path) + line;
}

// Why the tables' entry of one side of a swap cannot be used in a DLL of
// size bytes; kNone when it can. (What the table check finds in the line is
// judged before, with the refusals.)
FileError OffsetProblem(RecordList versions, RecordList classes, const SkillSelection& selection,
                        bool first, const PlannedSwap& swap, const SkillRecord* skill, int32_t size,
                        const std::string& dllPath) {
  const char* text = first ? swap.firstOffset : swap.secondOffset;
  if (RangeInside(text, swap.length, static_cast<uint64_t>(size))) return FileError();
  std::string place =
      TablePlace(versions, classes, first ? selection.firstClass : selection.secondClass,
                 selection.version, skill);
  std::string what = std::string(swap.aspectName) + " offset \"" + text + "\" of " + skill->name;
  std::string problem = IsOffsetText(text) ? what + " lies outside " + ShownPath(dllPath) + " (" +
                                                 std::to_string(size) + " bytes)"
                                           : what + " is missing or not upper-case hexadecimal";
  return {Problem::kTable, 0, dllPath, place + ": " + problem};
}

// The names line and the aspect lines. Names too long for the buffer are cut
// so that every aspect line still shows.
std::string ComposeSuccess(const ExchangePlan& plan) {
  char aspects[kResultSize] = "";
  for (int i = 0; i < plan.swapCount; ++i) {
    std::strncat(aspects, plan.swaps[i].resultLine, sizeof aspects - std::strlen(aspects) - 1);
  }
  size_t budget = kResultSize - 1 - std::strlen(aspects) - (sizeof kJoin - 1) - 1;
  size_t first = std::strlen(plan.firstSkill->name);
  size_t second = std::strlen(plan.secondSkill->name);
  if (first + second > budget) {
    size_t half = budget / 2;
    if (first <= half) {
      second = budget - first;
    } else if (second <= half) {
      first = budget - second;
    } else {
      first = half;
      second = budget - half;
    }
  }
  return std::string(plan.firstSkill->name, first) + kJoin +
         std::string(plan.secondSkill->name, second) + "\n" + aspects;
}

// When some aspects were exchanged and others not, what the same Swap would
// do next: exchange the done ones back, since an exchange undoes itself.
std::string RetryWords(const std::vector<AspectOutcome>& outcomes) {
  std::string done;
  std::string rest;
  for (const AspectOutcome& outcome : outcomes) {
    std::string& names = outcome.done ? done : rest;
    names += (names.empty() ? "" : ", ") + std::string(outcome.aspectName);
  }
  if (done.empty() || rest.empty()) return "";
  return "; Swap again as ticked would exchange " + done + " back: tick only " + rest;
}

// Every reason that stopped the aspect, each in words, joined by "; ".
std::string ReasonWords(const AspectOutcome& outcome) {
  std::string words = UserReason(outcome.error);
  for (const FileError& reason : outcome.alsoBecause) words += "; " + UserReason(reason);
  return words;
}

// The error text: the first line, one line per ticked aspect (one for all
// when one reason stops every aspect), and the lock's line when another run
// holds it.

std::string ComposeErrors(const std::vector<AspectOutcome>& outcomes) {
  std::string text = kErrors;
  bool busy = false;
  bool oneReason = true;
  std::string names;
  for (const AspectOutcome& outcome : outcomes) {
    busy = busy || outcome.error.problem == Problem::kBusy;
    oneReason = oneReason && !outcome.done && ReasonWords(outcome) == ReasonWords(outcomes.front());
    names += (names.empty() ? "" : ", ") + std::string(outcome.aspectName);
  }
  if (oneReason && outcomes.size() > 1) {
    text += "   " + names + ": not exchanged: " + ReasonWords(outcomes.front()) + "\n";
  } else {
    std::string retry = RetryWords(outcomes);
    for (const AspectOutcome& outcome : outcomes) {
      text += std::string("   ") + outcome.aspectName;
      text += outcome.done ? ": exchanged\n"
                           : ": not exchanged: " + ReasonWords(outcome) + retry + "\n";
    }
  }
  if (busy) text += kBusyLine;
  return text;
}

// Every aspect not done and not yet given a reason gets all of these.
void RefuseRest(std::vector<AspectOutcome>* outcomes, const std::vector<FileError>& reasons) {
  for (AspectOutcome& outcome : *outcomes) {
    if (outcome.done || outcome.error.Failed()) continue;
    outcome.error = reasons.front();
    outcome.alsoBecause.assign(reasons.begin() + 1, reasons.end());
  }
}

void RefuseRest(std::vector<AspectOutcome>* outcomes, const FileError& reason) {
  RefuseRest(outcomes, std::vector<FileError>{reason});
}

// The DLLs one exchange works on, each with its backup read once.
struct ExchangeFiles {
  bool needed[2] = {false, false};
  DllAndBackup files[2];
  // The DLLs a ticked aspect needs that could be read (null: not needed, or
  // not read, files[n].dllError says why).
  DllAndBackup* loaded[2] = {nullptr, nullptr};
};

void NeededBy(const ExchangePlan& plan, bool needed[2]) {
  for (int i = 0; i < plan.swapCount; ++i) needed[plan.swaps[i].fileNumber] = true;
}

// Reads each needed DLL once (for update, as every change does) and its
// backup, and judges the backup.
void ReadNeeded(const DllPatcher& patcher, RecordList versions, ExchangeFiles* read) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!read->needed[fileNumber]) continue;
    DllAndBackup& files = read->files[fileNumber];
    files.path = patcher.dllPaths[fileNumber];
    files.dllError = ReadDllForUpdate(*patcher.saveSteps, files.path.c_str(), &files.dll);
    if (files.path.empty()) continue;
    ReadBackupOf(&files, patcher.changeable[fileNumber], *patcher.saveSteps);
    JudgeBackup(versions, &files);
  }
}

// The bytes of one range of image.
std::vector<uint8_t> RangeBytes(const uint8_t* image, const char* offset, int32_t length) {
  uint32_t start = 0;
  HexToNumber(&start, offset);
  return std::vector<uint8_t>(image + start, image + start + length);
}

// Puts the DLL's bytes into the patcher and makes every swap of that DLL
// there, recording each range before and after. The bytes move there unless
// a new backup must still be made from them; then a copy is changed, and
// false says when there is no memory for it.
bool SwapInImage(DllPatcher& patcher, int fileNumber, DllAndBackup* files, const ExchangePlan& plan,
                 std::vector<RangeChange>* ranges) {
  if (files->backupThere) {
    patcher.image = std::move(files->dll.data);
  } else {
    patcher.image = ByteStore::Copy(files->dll.data.get(), static_cast<size_t>(files->dll.size));
    if (patcher.image == nullptr) return false;
  }
  patcher.imageSize = files->dll.size;
  patcher.loadedFile = fileNumber;
  for (int i = 0; i < plan.swapCount; ++i) {
    const PlannedSwap& swap = plan.swaps[i];
    if (swap.fileNumber != fileNumber) continue;
    size_t first = ranges->size();
    for (const char* offset : {swap.firstOffset, swap.secondOffset}) {
      ranges->push_back({fileNumber,
                         swap.aspectName,
                         offset,
                         RangeBytes(patcher.image.get(), offset, swap.length),
                         {}});
    }
    patcher.SwapRanges(swap.length, swap.firstOffset, swap.secondOffset);
    for (size_t r = first; r < ranges->size(); ++r) {
      (*ranges)[r].after = RangeBytes(patcher.image.get(), (*ranges)[r].offset, swap.length);
    }
  }
  return true;
}

const FileError kNoSkill = {Problem::kTable, 0, "",
                            "no skill in the tables matches this selection (data\\versions.txt, "
                            "data\\classes.txt, the skill tables)"};

// Why a DLL that could change is not written, or is put back: the other
// failed.
const FileError kKeptTogether = {Problem::kHeldBack, 0, "", ""};

// The journal's entry for the DLL of fileNumber, which SwapInImage has just
// exchanged in the patcher: its CRC before (taken from files before the
// exchange) and after, and the ranges it made from first on.
JournalFile Described(const DllPatcher& patcher, int fileNumber, uint32_t crcBefore,
                      int32_t sizeBefore, const std::vector<RangeChange>& ranges, size_t first) {
  JournalFile file;
  file.name = DllFileName(patcher, fileNumber);
  file.sizeBefore = static_cast<uint32_t>(sizeBefore);
  file.crcBefore = crcBefore;
  file.sizeAfter = static_cast<uint32_t>(patcher.imageSize);
  for (size_t r = first; r < ranges.size(); ++r) {
    uint32_t start = 0;
    HexToNumber(&start, ranges[r].offset);
    file.ranges.push_back({start, ranges[r].before, ranges[r].after});
  }
  // Ranges that overlap (two skills' ranges, or two aspects') need the pass.
  if (!CrcWithRanges(crcBefore, file.sizeAfter, file.ranges, &file.crcAfter)) {
    file.crcAfter = ImageCrc(patcher.image.get(), static_cast<size_t>(patcher.imageSize));
  }
  return file;
}

// What one exchange works with, from the selection to the bytes to write.
struct Exchange {
  DllPatcher& patcher;
  RecordList versions;
  RecordList classes;
  SkillSelection selection;
  const ExchangeOptions& options;
  ExchangePlan* plan;
  ExchangeOutcome* outcome;
  ExchangeFiles read;
  ByteBuffer swapped[2];   // each DLL's bytes after the exchange in memory
  JournalFile journal[2];  // and its journal entry
  std::string warnings;    // a line per old copy Windows keeps of a saved DLL
};

void SetOutcome(Exchange& work, int fileNumber, const FileError& error, bool done) {
  for (int i = 0; i < work.plan->swapCount; ++i) {
    if (work.plan->swaps[i].fileNumber != fileNumber) continue;
    work.outcome->aspects[i].done = done;
    work.outcome->aspects[i].error = error;
  }
}

// With options.detectVersion, the version is the one whose fingerprints the
// folder's files match (measured before the change: the untouched forms do
// not change under it, and the guard checks them again on the change's own
// reads); false when there is none.
bool DetectFilesVersion(Exchange& work) {
  if (!work.options.detectVersion) return true;
  std::vector<FileFingerprint> found = UntouchedFingerprints(
      NamedFilePaths(work.patcher, work.versions), work.versions, work.classes);
  work.selection.version = work.outcome->version = DetectVersion(work.versions, found);
  if (work.selection.version >= 0) return true;
  work.outcome->versionUnknown = true;
  RefuseRest(&work.outcome->aspects, {Problem::kNoVersionMatches, 0, "", ""});
  return false;
}

// Reads the files the ticked aspects need; false when the exchange stops.
bool ReadFiles(Exchange& work) {
  NeededBy(*work.plan, work.read.needed);
  ReadNeeded(work.patcher, work.versions, &work.read);
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (work.read.needed[fileNumber] && work.read.files[fileNumber].DllRead()) {
      work.read.loaded[fileNumber] = &work.read.files[fileNumber];
    }
  }
  return true;
}

// A ticked aspect's DLL that is there but cannot be opened for writing (the
// game holds it, or it is read-only) stops the whole swap: exchanging the
// other DLL alone would leave the retry to exchange that one back. A DLL
// that is missing stops only its own aspects. False when the swap stops.
bool AllWritable(Exchange& work) {
  bool needed[2] = {false, false};
  NeededBy(*work.plan, needed);
  for (int fileNumber : {kGameDll, kClientDll}) {
    const DllAndBackup& files = work.read.files[fileNumber];
    if (!needed[fileNumber] || files.DllRead() || files.dllError.problem == Problem::kNotFound) {
      continue;
    }
    FileError reason = files.dllError;
    // Found before anything was written: nothing was exchanged.
    if (reason.problem == Problem::kInUse) reason.problem = Problem::kInUseUnread;
    RefuseRest(&work.outcome->aspects, reason);
    return false;
  }
  return true;
}

// The wrong DLL for these tables, a skill the tables cannot give safely, or
// a range outside its DLL: nothing is written. False then.
bool Judge(Exchange& work) {
  std::vector<AspectOutcome>& aspects = work.outcome->aspects;
  const DllAndBackup* const judged[2] = {work.read.loaded[0], work.read.loaded[1]};
  std::vector<FileError> refusals =
      ExchangeRefusals(work.versions, work.classes, work.selection, *work.plan, judged);
  if (!refusals.empty()) {
    for (const FileError& refusal : refusals) Log(refusal);
    RefuseRest(&aspects, refusals);
    return false;
  }
  bool refused = false;
  for (int i = 0; i < work.plan->swapCount; ++i) {
    const PlannedSwap& swap = work.plan->swaps[i];
    const DllAndBackup* files = work.read.loaded[swap.fileNumber];
    if (files == nullptr) {
      aspects[i].error = work.read.files[swap.fileNumber].dllError;
      continue;
    }
    FileError problem = OffsetProblem(work.versions, work.classes, work.selection, true, swap,
                                      work.plan->firstSkill, files->dll.size, files->path);
    if (!problem.Failed()) {
      problem = OffsetProblem(work.versions, work.classes, work.selection, false, swap,
                              work.plan->secondSkill, files->dll.size, files->path);
    }
    if (problem.Failed()) {
      Log(problem);
      aspects[i].error = problem;
      refused = true;
    }
  }
  if (refused) RefuseRest(&aspects, {Problem::kHeldBack, 0, "", ""});
  return !refused;
}

// Each DLL that can change is exchanged in memory first, so that the
// journal can name both before either is written. False when out of memory.
bool SwapInMemory(Exchange& work) {
  int swapping = 0;
  for (const DllAndBackup* files : work.read.loaded) {
    swapping += files != nullptr && !files->BackupError().Failed() ? 1 : 0;
  }
  // A change of one file needs no journal (GameChange), so no CRCs for one.
  bool journaled = !work.options.writeNothing && swapping > 1;
  for (int fileNumber : {kGameDll, kClientDll}) {
    DllAndBackup* files = work.read.loaded[fileNumber];
    if (files == nullptr || files->BackupError().Failed()) continue;
    uint32_t crcBefore = journaled ? DllCrc(*files) : 0;
    int32_t sizeBefore = files->dll.size;
    size_t first = work.outcome->ranges.size();
    if (!SwapInImage(work.patcher, fileNumber, files, *work.plan, &work.outcome->ranges)) {
      RefuseRest(&work.outcome->aspects, {Problem::kOutOfMemory, 0, files->path, ""});
      return false;
    }
    if (journaled) {
      work.journal[fileNumber] =
          Described(work.patcher, fileNumber, crcBefore, sizeBefore, work.outcome->ranges, first);
    }
    work.swapped[fileNumber].data = std::move(work.patcher.image);
    work.swapped[fileNumber].size = work.patcher.imageSize;
    work.patcher.imageSize = 0;
    work.patcher.loadedFile = -1;
  }
  return true;
}

// The words of the change for its journal: "Jab <-> Fire Bolt (Effects)".
std::string ChangeName(const ExchangePlan& plan) {
  std::string change = std::string(plan.firstSkill->name) + kJoin + plan.secondSkill->name + " (";
  for (int i = 0; i < plan.swapCount; ++i) {
    change += std::string(i == 0 ? "" : ", ") + plan.swaps[i].aspectName;
  }
  return change + ")";
}

// The DLLs to write get their backups first (a DLL whose backup cannot be
// made or trusted drops out with its aspects); returns the journal entries
// of those that stay.
std::vector<JournalFile> BackUp(Exchange& work, GameChange& change, bool writes[2]) {
  std::vector<JournalFile> entries;
  for (int fileNumber : {kGameDll, kClientDll}) {
    writes[fileNumber] = false;
    DllAndBackup* files = work.read.loaded[fileNumber];
    if (files == nullptr) continue;
    FileError failure = change.KeepBackup(*files);
    if (failure.Failed()) {
      SetOutcome(work, fileNumber, failure, false);
      continue;
    }
    writes[fileNumber] = true;
    entries.push_back(work.journal[fileNumber]);
  }
  return entries;
}

// Writes the DLLs exchanged in memory as one change: journal, saves, then the
// commit, or the rollback after a failed save. Each aspect says what became
// of its DLL.
void WriteChange(Exchange& work, GameChange& change) {
  bool writes[2];
  std::vector<JournalFile> entries = BackUp(work, change, writes);
  if (entries.empty()) return;
  FileError error = change.WriteJournal(ChangeName(*work.plan), entries);
  if (error.Failed()) {
    RefuseRest(&work.outcome->aspects, error);
    return;
  }
  FileError failed;
  std::vector<std::string> paths;
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!writes[fileNumber]) continue;
    DllAndBackup& files = work.read.files[fileNumber];
    paths.push_back(files.path);
    ByteBuffer& bytes = work.swapped[fileNumber];
    FileError saved = failed.Failed()
                          ? kKeptTogether
                          : change.Save(files, bytes.data.get(), static_cast<size_t>(bytes.size));
    SetOutcome(work, fileNumber, saved, !saved.Failed());
    if (saved.Failed() && !failed.Failed()) failed = saved;
    // The replaced file's pages go, so that a nearly full disk has them back.
    bytes = ByteBuffer();
    files.dll = ByteBuffer();
    std::string copy = saved.Failed() ? "" : ShadowCopyOf(files.path.c_str());
    if (!copy.empty()) work.warnings += ShadowCopyWarning(copy, files.path.c_str()) + "\n";
  }
  if (!failed.Failed()) {
    FileError committed = change.Commit();
    if (committed.Failed()) work.outcome->apart = committed;
    return;
  }
  FileError undo = change.RollBack();
  for (int fileNumber : {kGameDll, kClientDll}) {
    bool stillChanged = false;
    for (const std::string& path : change.Changed()) {
      stillChanged = stillChanged || path == work.read.files[fileNumber].path;
    }
    if (writes[fileNumber] && !stillChanged) {
      for (int i = 0; i < work.plan->swapCount; ++i) {
        AspectOutcome& aspect = work.outcome->aspects[i];
        if (work.plan->swaps[i].fileNumber == fileNumber && aspect.done) {
          aspect.done = false;
          aspect.error = kKeptTogether;
        }
      }
    }
  }
  if (undo.Failed()) work.outcome->apart = LeftApart(change.Changed(), paths, undo);
}

// The exchange itself; returns true when every aspect was done.
bool RunSteps(Exchange& work) {
  std::vector<AspectOutcome>& aspects = work.outcome->aspects;
  if (!DetectFilesVersion(work)) return false;
  // A selection that finds no skill touches no file.
  if (!PlanExchange(work.versions, work.classes, work.selection, work.plan)) {
    RefuseRest(&aspects, kNoSkill);
    return false;
  }
  // The version's files; what a journal left behind may undo in them, and
  // where a backup may differ.
  UseFilesOf(work.patcher, work.versions, work.selection.version);
  SetChangeable(work.patcher, work.versions, work.classes);
  std::unique_ptr<GameChange> change;
  if (work.options.writeNothing) {
    // A dry run shows the DLLs as they are; the exchange would undo first.
    std::string pending = PendingChangeLine(work.patcher, work.versions, work.classes);
    if (!pending.empty()) work.outcome->undone = pending + "\n";
  } else {
    change.reset(new GameChange(work.patcher));
    FileError error = change->Begin();
    work.outcome->undone = change->Undone();
    if (error.Failed()) {
      RefuseRest(&aspects, error);
      return false;
    }
  }
  if (!ReadFiles(work) || !AllWritable(work) || !Judge(work) || !SwapInMemory(work)) {
    return false;
  }
  if (work.options.writeNothing) {
    for (int fileNumber : {kGameDll, kClientDll}) {
      const DllAndBackup* files = work.read.loaded[fileNumber];
      if (files != nullptr) {
        FileError failure = files->BackupError();
        SetOutcome(work, fileNumber, failure, !failure.Failed());
      }
    }
  } else {
    WriteChange(work, *change);
  }
  bool all = !work.outcome->apart.Failed();
  for (const AspectOutcome& aspect : aspects) all = all && aspect.done;
  return all;
}

}  // namespace

ExchangeOutcome RunExchange(DllPatcher& patcher, RecordList versions, RecordList classes,
                            const SkillSelection& selection, const ExchangeOptions& options) {
  ExchangeOutcome outcome;
  outcome.version = selection.version;
  if (!selection.AnyTicked()) {
    outcome.done = true;
    outcome.text = kNoChanges;
    return outcome;
  }
  for (int a = 0; a < kAspectCount; ++a) {
    if (!selection.Ticked(a)) continue;
    outcome.aspects.emplace_back();
    outcome.aspects.back().aspectName = kAspects[a].name;
  }
  ExchangePlan plan;
  Exchange work{patcher, versions, classes, selection, options, &plan, &outcome, {}, {}, {}, {}};
  outcome.done = RunSteps(work);
  outcome.text = outcome.done ? ComposeSuccess(plan) : ComposeErrors(outcome.aspects);
  if (outcome.apart.Failed()) outcome.text += UserReason(outcome.apart) + "\n";
  outcome.text += work.warnings;
  return outcome;
}

int ExchangeSkills(DllPatcher& patcher, RecordList versions, RecordList classes,
                   const SkillSelection& selection, std::string* result) {
  ExchangeOutcome outcome = RunExchange(patcher, versions, classes, selection);
  *result = outcome.text + outcome.undone;
  return outcome.done ? 1 : 0;
}

int ExchangeSkills(DllPatcher& patcher, RecordList versions, RecordList classes,
                   const SkillSelection& selection, char result[kResultSize]) {
  std::string text;
  int done = ExchangeSkills(patcher, versions, classes, selection, &text);
  // Whole lines only: a reason is never cut short.
  size_t fits = 0;
  for (size_t end = text.find('\n'); end != std::string::npos && end < kResultSize - 1;
       end = text.find('\n', end + 1)) {
    fits = end + 1;
  }
  if (text.size() < kResultSize) fits = text.size();
  std::memcpy(result, text.data(), fits);
  result[fits] = '\0';
  return done;
}
