#include "patch/exchange.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "io/change_lock.h"
#include "io/file_paths.h"
#include "io/virtual_store.h"
#include "patch/backup.h"
#include "patch/dll_links.h"
#include "patch/exchange_guard.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"
#include "patch/transaction.h"
#include "tables/table_check.h"

namespace {

const char kNoChanges[] = "No changes made\n";
const char kErrors[] = "There were errors in your request\n";
const char kJoin[] = " <-> ";
const char kBusy[] = "Another Orvanel is changing these files: nothing was changed.\n";

void Log(const FileError& error) {
  logger.Print("* %s%s", UserReason(error).c_str(), LogReason(error).c_str());
}

// The table check's view of the tables, taken once per exchange: its
// findings and the line of every skill.
struct CheckedTables {
  std::vector<std::string> findings;
  TableLines lines;
};

// The table and line of the skill at skillPosition of a class's table for
// version; false when the table cannot be named. line is 0 when unknown.
bool TableLine(RecordList versions, RecordList classes, const CheckedTables& checked,
               int32_t classPosition, int32_t version, int32_t skillPosition, char path[kLineSize],
               int* line) {
  auto* record = static_cast<ClassRecord*>(AtPosition(classes, classPosition));
  if (record == nullptr || !SkillTablePath(versions, record->name, version, path)) return false;
  *line = 0;
  const TableLines& lines = checked.lines;
  if (static_cast<size_t>(classPosition) < lines.size() &&
      static_cast<size_t>(version) < lines[classPosition].size()) {
    const std::vector<int>& skillLines = lines[classPosition][version].skillLines;
    if (static_cast<size_t>(skillPosition) < skillLines.size()) *line = skillLines[skillPosition];
  }
  return true;
}

// Why the tables' entry of one side of a swap cannot be used in a DLL of
// size bytes; kNone when it can. An offset the check finds fault with (0x
// before it, a missing closing h) is told in the check's words.
FileError OffsetProblem(RecordList versions, RecordList classes, const CheckedTables& checked,
                        const SkillSelection& selection, bool first, const PlannedSwap& swap,
                        const SkillRecord* skill, int32_t size, const std::string& dllPath) {
  const char* text = first ? swap.firstOffset : swap.secondOffset;
  char path[kLineSize] = "";
  int line = 0;
  bool named = TableLine(versions, classes, checked,
                         first ? selection.firstClass : selection.secondClass, selection.version,
                         first ? selection.firstSkill : selection.secondSkill, path, &line);
  std::string aspect = swap.aspectName;
  aspect[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(aspect[0])));
  TableFinding finding;
  if (named && line > 0 && FindingAbout(checked.findings, path, line, &finding) &&
      (finding.line == 0 || finding.problem.rfind(aspect + " offset ", 0) == 0)) {
    return {Problem::kTable, 0, dllPath, FindingInWords(finding)};
  }
  if (RangeInside(text, swap.length, static_cast<uint64_t>(size))) return FileError();
  std::string place = !named      ? "the tables"
                      : line == 0 ? ShownPath(path)
                                  : ShownPath(path) + " line " + std::to_string(line);
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
    oneReason = oneReason && !outcome.done &&
                UserReason(outcome.error) == UserReason(outcomes.front().error);
    names += (names.empty() ? "" : ", ") + std::string(outcome.aspectName);
  }
  if (oneReason && outcomes.size() > 1) {
    text += "   " + names + ": not exchanged: " + UserReason(outcomes.front().error) + "\n";
  } else {
    for (const AspectOutcome& outcome : outcomes) {
      text += std::string("   ") + outcome.aspectName;
      text +=
          outcome.done ? ": exchanged\n" : ": not exchanged: " + UserReason(outcome.error) + "\n";
    }
  }
  if (busy) text += kBusy;
  return text;
}

// Every aspect not done and not yet given a reason gets this one.
void RefuseRest(std::vector<AspectOutcome>* outcomes, const FileError& error) {
  for (AspectOutcome& outcome : *outcomes) {
    if (!outcome.done && outcome.error.problem == Problem::kNone) outcome.error = error;
  }
}

// Several reasons as one: each in words, joined by "; ".
FileError Joined(const std::vector<FileError>& reasons) {
  if (reasons.size() == 1) return reasons.front();
  std::string words;
  for (const FileError& reason : reasons) {
    words += (words.empty() ? "" : "; ") + UserReason(reason);
  }
  return {Problem::kRefused, 0, "", words};
}

// The DLLs one exchange works on, each with its backup read once.
struct ExchangeFiles {
  bool needed[2] = {false, false};
  DllAndBackup files[2];
};

void NeededBy(const ExchangePlan& plan, bool needed[2]) {
  for (int i = 0; i < plan.swapCount; ++i) needed[plan.swaps[i].fileNumber] = true;
}

// Loads each needed DLL once (for update, as every change does) and reads
// its backup; the patcher's image is left empty.
void ReadNeeded(DllPatcher& patcher, RecordList versions, ExchangeFiles* read) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (!read->needed[fileNumber]) continue;
    DllAndBackup& files = read->files[fileNumber];
    files.path = patcher.dllPaths[fileNumber];
    if (patcher.LoadFile(fileNumber)) {
      files.dll.data = std::move(patcher.image);
      files.dll.size = patcher.imageSize;
    } else {
      files.dllError = patcher.lastError;
    }
    patcher.imageSize = 0;
    patcher.loadedFile = -1;
    if (files.path.empty()) continue;
    ReadBackupOf(&files, patcher.changeable[fileNumber]);
    JudgeBackup(versions, fileNumber, &files);
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

// Why a DLL that could change is not written: the other failed.
FileError KeptTogether() {
  return {Problem::kRefused, 0, "",
          "not written or undone, so that the skills are not left half exchanged: see the "
          "other DLL's line"};
}

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

// The journal of the DLLs about to be saved, named as the result names the
// exchange; when it cannot be written nothing is.
bool BeginTransaction(DllPatcher& patcher, const ExchangePlan& plan,
                      const std::vector<JournalFile>& files, std::vector<AspectOutcome>* aspects) {
  std::string change = std::string(plan.firstSkill->name) + kJoin + plan.secondSkill->name + " (";
  for (int i = 0; i < plan.swapCount; ++i) {
    change += std::string(i == 0 ? "" : ", ") + plan.swaps[i].aspectName;
  }
  FileError error;
  if (files.empty() || BeginChange(patcher, change + ")", files, &error)) return true;
  RefuseRest(aspects, error);
  return false;
}

// After a failed save: the DLL saved before it is put back, so the skills are
// not left half exchanged; when even that fails, the journal stays for the
// next change to finish the undo.
void RollBack(DllPatcher& patcher, std::vector<AspectOutcome>* aspects) {
  std::string note;
  FileError error;
  bool undone = UndoInterruptedChange(patcher, &note, &error);
  for (AspectOutcome& aspect : *aspects) {
    if (!aspect.done) continue;
    aspect.done = false;
    aspect.error = undone ? KeptTogether() : error;
  }
}

// The exchange itself; returns true when every aspect was done.
bool Exchange(DllPatcher& patcher, RecordList versions, RecordList classes,
              SkillSelection selection, const ExchangeOptions& options, ExchangePlan* plan,
              ExchangeOutcome* outcome, std::string* warnings) {
  std::vector<AspectOutcome>& aspects = outcome->aspects;
  bool writeNothing = options.writeNothing;
  // A selection that finds no skill touches no file.
  if (!options.detectVersion && !PlanExchange(classes, selection, plan)) {
    RefuseRest(&aspects, kNoSkill);
    return false;
  }
  // A dry run shows the DLLs as they are; the exchange would undo first.
  std::string pending = writeNothing ? PendingChangeLine(patcher) : "";
  if (!pending.empty()) outcome->undone = pending + "\n";
  std::unique_ptr<DllFolderLocks> lock;
  if (!writeNothing) {
    lock.reset(new DllFolderLocks({patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]}));
    if (!lock->Held()) {
      // No lock file where the DLLs are (a folder that is missing or not
      // writable) means no DLL there can be changed either.
      FileError error = lock->Error(patcher.dllPaths[kGameDll]);
      Log(error);
      RefuseRest(&aspects, error);
      return false;
    }
    // A change stopped half way is undone first; one that cannot be stops this.
    FileError undoError;
    if (!UndoInterruptedChange(patcher, &outcome->undone, &undoError)) {
      RefuseRest(&aspects, undoError);
      return false;
    }
  }
  for (int fileNumber : {kGameDll, kClientDll}) {
    patcher.changeable[fileNumber] = ChangeableRanges(classes, fileNumber);
  }
  ExchangeFiles read;
  if (options.detectVersion) {
    // The version is the one both DLLs' fingerprints match, from the same reads.
    read.needed[kGameDll] = read.needed[kClientDll] = true;
    ReadNeeded(patcher, versions, &read);
    FileFingerprint found[2] = {UntouchedFingerprint(read.files[kGameDll]),
                                UntouchedFingerprint(read.files[kClientDll])};
    selection.version = outcome->version = DetectVersion(versions, found);
    if (selection.version < 0) {
      RefuseRest(&aspects, {Problem::kRefused, 0, "",
                            "no single version's fingerprints match the DLLs: choose the version"});
      return false;
    }
    if (!PlanExchange(classes, selection, plan)) {
      RefuseRest(&aspects, kNoSkill);
      return false;
    }
  } else {
    NeededBy(*plan, read.needed);
    ReadNeeded(patcher, versions, &read);
  }
  bool needed[2] = {false, false};
  NeededBy(*plan, needed);
  DllAndBackup* loaded[2] = {nullptr, nullptr};
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (needed[fileNumber] && read.files[fileNumber].DllRead()) {
      loaded[fileNumber] = &read.files[fileNumber];
    }
  }

  // The wrong DLL for these tables, or a skill the tables cannot give
  // safely: nothing is written.
  const DllAndBackup* const judged[2] = {loaded[0], loaded[1]};
  std::vector<FileError> refusals = ExchangeRefusals(versions, classes, selection, *plan, judged);
  if (!refusals.empty()) {
    for (const FileError& refusal : refusals) Log(refusal);
    RefuseRest(&aspects, Joined(refusals));
    return false;
  }
  // Every range of every readable DLL before any byte moves.
  CheckedTables checked;
  CheckTables(versions, classes, &checked.findings, &checked.lines);
  bool refused = false;
  for (int i = 0; i < plan->swapCount; ++i) {
    const PlannedSwap& swap = plan->swaps[i];
    const DllAndBackup* files = loaded[swap.fileNumber];
    if (files == nullptr) {
      aspects[i].error = read.files[swap.fileNumber].dllError;
      continue;
    }
    FileError problem = OffsetProblem(versions, classes, checked, selection, true, swap,
                                      plan->firstSkill, files->dll.size, files->path);
    if (problem.problem == Problem::kNone) {
      problem = OffsetProblem(versions, classes, checked, selection, false, swap, plan->secondSkill,
                              files->dll.size, files->path);
    }
    if (problem.problem != Problem::kNone) {
      Log(problem);
      aspects[i].error = problem;
      refused = true;
    }
  }
  if (refused) {
    RefuseRest(&aspects, {Problem::kHeldBack, 0, "", ""});
    return false;
  }

  // Each DLL that can change is exchanged in memory first, so that the
  // journal can name both before either is written.
  ByteBuffer swapped[2];
  std::vector<JournalFile> journal;
  for (int fileNumber : {kGameDll, kClientDll}) {
    DllAndBackup* files = loaded[fileNumber];
    if (files == nullptr || files->BackupError().problem != Problem::kNone) continue;
    uint32_t crcBefore = writeNothing ? 0 : DllCrc(*files);
    int32_t sizeBefore = files->dll.size;
    size_t first = outcome->ranges.size();
    if (!SwapInImage(patcher, fileNumber, files, *plan, &outcome->ranges)) {
      RefuseRest(&aspects,
                 {Problem::kOther, 0, files->path, "could not be changed: out of memory"});
      return false;
    }
    if (!writeNothing) {
      journal.push_back(
          Described(patcher, fileNumber, crcBefore, sizeBefore, outcome->ranges, first));
    }
    swapped[fileNumber].data = std::move(patcher.image);
    swapped[fileNumber].size = patcher.imageSize;
  }
  bool begun = writeNothing || BeginTransaction(patcher, *plan, journal, &aspects);
  bool saving = begun;  // false after a failed save: the rest is held back
  for (int fileNumber : {kGameDll, kClientDll}) {
    DllAndBackup* files = loaded[fileNumber];
    if (files == nullptr || !begun) continue;
    FileError failure = files->BackupError();
    if (failure.problem != Problem::kNone) {
      EnsureBackup(*patcher.saveSteps, *files, &failure);  // logs why it refuses
    } else if (!saving) {
      failure = KeptTogether();
    } else {
      patcher.image = std::move(swapped[fileNumber].data);
      patcher.imageSize = swapped[fileNumber].size;
      patcher.loadedFile = fileNumber;
      if (!writeNothing) {
        patcher.onDisk[fileNumber] = files;
        if (!patcher.SaveFile(fileNumber)) failure = patcher.lastError;
        patcher.onDisk[fileNumber] = nullptr;
        saving = failure.problem == Problem::kNone;
      }
    }
    for (int i = 0; i < plan->swapCount; ++i) {
      if (plan->swaps[i].fileNumber != fileNumber) continue;
      aspects[i].done = failure.problem == Problem::kNone;
      aspects[i].error = failure;
    }
    std::string copy = aspects.empty() || writeNothing || failure.problem != Problem::kNone
                           ? ""
                           : ShadowCopyOf(patcher.dllPaths[fileNumber]);
    if (!copy.empty()) *warnings += ShadowCopyWarning(copy, patcher.dllPaths[fileNumber]) + "\n";
  }
  if (begun && !writeNothing) {
    if (saving) CommitChange(patcher);
    if (!saving) RollBack(patcher, &aspects);
  }
  bool all = true;
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
    if (selection.Ticked(a)) outcome.aspects.push_back({kAspects[a].name, false, FileError()});
  }
  ExchangePlan plan;
  std::string warnings;
  outcome.done =
      Exchange(patcher, versions, classes, selection, options, &plan, &outcome, &warnings);
  outcome.text = (outcome.done ? ComposeSuccess(plan) : ComposeErrors(outcome.aspects)) + warnings;
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
