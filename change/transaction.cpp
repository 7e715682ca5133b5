#include "change/transaction.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "files/dll_links.h"
#include "files/journal.h"
#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/logger.h"
#include "tables/exchange_plan.h"

std::string DllFileName(const DllPatcher& patcher, int fileNumber) {
  return FileNameOf(patcher.dllPaths[fileNumber]);
}

namespace {

std::string JournalPathOf(const DllPatcher& patcher) {
  return JournalPath(patcher.dllPaths[kGameDll]);
}

bool JournalIsThere(const DllPatcher& patcher) {
  std::error_code error;
  return HasGameFolder(patcher) &&
         std::filesystem::symlink_status(NativePath(JournalPathOf(patcher).c_str()), error)
                 .type() != std::filesystem::file_type::not_found;
}

// The journal there, no longer than a change inside changeable can make (a
// longer file is refused unread); else why it is none: kJournalTooLarge,
// kJournalUnread or kJournalDamaged, naming the journal.
FileError ReadJournal(const DllPatcher& patcher, const ByteRanges changeable[2], Journal* journal) {
  std::string path = JournalPathOf(patcher);
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(NativePath(path.c_str()), error);
  if (!error && size > LongestJournal(changeable)) return {Problem::kJournalTooLarge, 0, path, ""};
  ByteBuffer bytes;
  if (!patcher.saveSteps->ReadWhole(path.c_str(), &bytes)) {
    return {Problem::kJournalUnread, LastSystemError(), path, ""};
  }
  std::string text(reinterpret_cast<const char*>(bytes.data.get()),
                   static_cast<size_t>(bytes.size));
  FileError damaged = ReadJournalText(text, journal);
  if (damaged.Failed()) damaged.file = path;
  return damaged;
}

// The journal stays, for the reason words.
FileError Refusal(const std::string& words) {
  FileError error{Problem::kJournalKept, 0, "", words};
  logger.Print("* %s", UserReason(error).c_str());
  return error;
}

// ... because the journal itself cannot be read as one (why).
FileError Refusal(const FileError& why) {
  return Refusal("a change was stopped half way, and " + UserReason(why));
}

// ... because what it records (change) cannot be undone (why).
FileError Refusal(const FileError& why, const std::string& change) {
  return Refusal(UserReason(why) + " (" + change + ")");
}

// What undoing one DLL of a journal takes: nothing or its old bytes written
// back. A DLL the change brought back (a restore) would have to be removed,
// which recovery never does: that undo is refused unless the whole change is
// kept.
struct DllUndo {
  int fileNumber = -1;
  bool write = false;
  bool broughtBack = false;  // there, and the change found it missing
  bool asAfter = false;      // the DLL is as the change leaves it
  ByteBuffer bytes;
};

// Whether bytes hold every range's after bytes.
bool HoldsAfter(const uint8_t* bytes, const JournalFile& file) {
  for (const JournalRange& range : file.ranges) {
    if (!std::equal(range.after.begin(), range.after.end(), bytes + range.start)) return false;
  }
  return true;
}

// Finds what undoing file takes; kNone when it can be undone, else what is wrong.
FileError PlanUndo(const DllPatcher& patcher, const JournalFile& file, DllUndo* undo) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    if (DllFileName(patcher, fileNumber) == file.name) undo->fileNumber = fileNumber;
  }
  if (undo->fileNumber < 0) {
    FileError foreign{Problem::kJournalForeignDll, 0, "", ""};
    foreign.found = file.name;
    return foreign;
  }
  FileError outside = RangesOutside(file, patcher.changeable[undo->fileNumber]);
  if (outside.Failed()) return outside;
  const char* path = patcher.dllPaths[undo->fileNumber];
  std::error_code error;
  if (!std::filesystem::exists(NativePath(path), error)) {
    // A restore that brings a DLL back finds it missing only before.
    return file.absentBefore ? FileError() : FileError{Problem::kJournalDllMissing, 0, path, ""};
  }
  if (!patcher.saveSteps->ReadWhole(path, &undo->bytes)) {
    return {Problem::kJournalUnread, LastSystemError(), path, ""};
  }
  uint8_t* bytes = undo->bytes.data.get();
  uint32_t size = static_cast<uint32_t>(undo->bytes.size);
  uint32_t crc = ImageCrc(bytes, size);
  // The ranges lie inside sizeAfter (ReadJournalText checks).
  bool after = size == file.sizeAfter && crc == file.crcAfter && HoldsAfter(bytes, file);
  undo->asAfter = after;
  undo->broughtBack = file.absentBefore;
  if (!file.absentBefore && size == file.sizeBefore && crc == file.crcBefore) return FileError();
  if (after && file.absentBefore) return FileError();
  if (after) {
    // Last to first, so that ranges a change wrote twice get their first old bytes.
    for (auto range = file.ranges.rbegin(); range != file.ranges.rend(); ++range) {
      std::copy(range->before.begin(), range->before.end(), bytes + range->start);
    }
    undo->write = ImageCrc(bytes, size) == file.crcBefore;
    if (undo->write) return FileError();
  }
  return {Problem::kChangedSince, 0, path, ""};
}

// kNone when undos may be written, else why not: a DLL named twice, or one
// the change brought back while the change is not kept whole.
FileError UndoProblem(const DllPatcher& patcher, const std::vector<DllUndo>& undos, bool complete) {
  for (size_t i = 0; i < undos.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (undos[i].fileNumber == undos[j].fileNumber) {
        return {Problem::kJournalNamesTwice, 0, "", ""};
      }
    }
    if (undos[i].broughtBack && !complete) {
      return {Problem::kUndoWouldRemove, 0, patcher.dllPaths[undos[i].fileNumber], ""};
    }
  }
  return FileError();
}

}  // namespace

namespace {

// Puts each DLL back as undos plan it; changed says whether any was.
FileError WriteUndos(DllPatcher& patcher, std::vector<DllUndo>& undos, const DllFolderLocks* locks,
                     bool* changed) {
  for (DllUndo& undo : undos) {
    const char* path = patcher.dllPaths[undo.fileNumber];
    *changed = *changed || undo.write;
    if (!undo.write) continue;
    std::string target = locks != nullptr ? locks->TargetOf(path) : SaveTarget(path);
    FileError refused = LinkRefusal(path, target);
    if (refused.Failed()) return refused;
    FileError error = SaveBytes(*patcher.saveSteps, undo.bytes.data.get(),
                                static_cast<size_t>(undo.bytes.size), target.c_str(), false);
    if (error.Failed()) {
      logger.Print("* Couldn't undo the stopped change in %s%s", path, LogReason(error).c_str());
      return error;
    }
  }
  return FileError();
}

std::string Noted(const std::string& words) {
  logger.Print("* %s", words.c_str());
  return words + "\n";
}

}  // namespace

FileError UndoInterruptedChange(DllPatcher& patcher, std::string* note,
                                const DllFolderLocks* locks) {
  if (!JournalIsThere(patcher)) return FileError();
  // Orvanel never makes a journal that is a link or a folder: no change stopped there.
  FileError notAFile = NotAFile(JournalPathOf(patcher).c_str());
  if (notAFile.Failed()) {
    logger.Print("* %s", UserReason(notAFile).c_str());
    return notAFile;
  }
  Journal journal;
  FileError unread = ReadJournal(patcher, patcher.changeable, &journal);
  if (unread.Failed()) return Refusal(unread);
  std::vector<DllUndo> undos(journal.files.size());
  for (size_t i = 0; i < journal.files.size(); ++i) {
    FileError wrong = PlanUndo(patcher, journal.files[i], &undos[i]);
    if (wrong.Failed()) return Refusal(wrong, journal.change);
  }
  // Every DLL already as the change leaves it: only its commit was lost, so
  // the finished change is kept.
  bool complete = !undos.empty();
  for (const DllUndo& undo : undos) complete = complete && undo.asAfter;
  FileError wrong = UndoProblem(patcher, undos, complete);
  if (wrong.Failed()) return Refusal(wrong, journal.change);
  bool changed = false;
  FileError error = complete ? FileError() : WriteUndos(patcher, undos, locks, &changed);
  if (!error.Failed()) error = RemoveJournal(*patcher.saveSteps, JournalPathOf(patcher));
  if (error.Failed()) return error;
  if (complete) *note = Noted("An interrupted change was complete and is kept: " + journal.change);
  // Stopped before its first DLL was written, the change left nothing to say.
  if (changed) *note = Noted("An interrupted change was undone: " + journal.change);
  return FileError();
}

FileError RemoveJournal(SaveSteps& steps, const std::string& path) {
  FileError error;
  if (steps.FlushFolder(path.c_str()) && steps.Remove(path.c_str()) &&
      steps.FlushFolder(path.c_str())) {
    return error;
  }
  error = SystemFileError(path, "could not be removed");
  error.step = SaveStep::kRemove;
  logger.Print("* %s%s", SaveStepWords(error).c_str(), LogReason(error).c_str());
  return error;
}

namespace {

// For each of the patcher's paths, every range the tables name in that file.
void ChangeableOf(const DllPatcher& patcher, RecordList versions, RecordList classes,
                  ByteRanges changeable[2]) {
  for (int fileNumber : {kGameDll, kClientDll}) {
    changeable[fileNumber] =
        patcher.dllPaths[fileNumber][0] == '\0'
            ? ByteRanges()
            : ChangeableRanges(versions, classes, FileNameOf(patcher.dllPaths[fileNumber]));
  }
}

}  // namespace

void SetChangeable(DllPatcher& patcher, RecordList versions, RecordList classes) {
  ChangeableOf(patcher, versions, classes, patcher.changeable);
}

int RecoverGameFolder(DllPatcher& patcher, RecordList versions, RecordList classes,
                      std::string* text) {
  text->clear();
  SetChangeable(patcher, versions, classes);
  if (!JournalIsThere(patcher)) return 1;
  // Another run holding the lock undoes the journal itself.
  DllFolderLocks locks({patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]});
  if (!locks.Held()) return 1;
  FileError error = UndoInterruptedChange(patcher, text, &locks);
  if (!error.Failed()) return 1;
  *text = UserReason(error) + "\n";
  return 0;
}

std::string PendingChangeLine(const DllPatcher& patcher, RecordList versions, RecordList classes) {
  if (!JournalIsThere(patcher)) return "";
  ByteRanges changeable[2];
  ChangeableOf(patcher, versions, classes, changeable);
  Journal journal;
  FileError notAFile = NotAFile(JournalPathOf(patcher).c_str());
  if (notAFile.Failed()) return UserReason(notAFile);
  FileError unread = ReadJournal(patcher, changeable, &journal);
  if (unread.Failed()) return "a change was stopped half way: " + UserReason(unread);
  return "a change was stopped half way (" + journal.change +
         "): the next change undoes it, or File > Restore Original DLLs brings back the originals";
}
