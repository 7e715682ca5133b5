#include "change/change.h"

#include "change/transaction.h"
#include "files/dll_file.h"
#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/logger.h"

namespace {

void Log(const FileError& error) {
  logger.Print("* %s%s", UserReason(error).c_str(), LogReason(error).c_str());
}

// Whether the DLL at path is as the journal entry found it before the change.
bool AsBefore(const std::string& path, const JournalFile& file) {
  ByteBuffer bytes;
  if (!ReadWholeFile(path.c_str(), &bytes)) return false;
  return static_cast<uint32_t>(bytes.size) == file.sizeBefore &&
         ImageCrc(bytes.data.get(), static_cast<size_t>(bytes.size)) == file.crcBefore;
}

}  // namespace

GameChange::GameChange(DllPatcher& patcher)
    : patcher_(patcher), locks_({patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]}) {}

FileError GameChange::Begin(bool journalMayStay) {
  if (!HasGameFolder(patcher_)) return {Problem::kNotFound, 0, "the game folder", ""};
  if (!locks_.Held()) {
    // No lock file where the DLLs are (a folder that is missing or not
    // writable) means no DLL there can be changed either.
    FileError error = locks_.Error(patcher_.dllPaths[kGameDll]);
    Log(error);
    return error;
  }
  FileError error = UndoInterruptedChange(patcher_, &undone_, &locks_);
  if (!error.Failed() || !journalMayStay) return error;
  undone_ =
      "A change stopped half way could not be undone; the original DLLs are put back "
      "instead\n";
  return FileError();
}

FileError GameChange::KeepBackup(DllAndBackup& files) {
  FileError error = EnsureBackup(*patcher_.saveSteps, files);
  if (error.Failed()) return error;
  // Made from files.dll, which equals it: the save need not look again.
  files.backupThere = true;
  return error;
}

FileError GameChange::WriteJournal(const std::string& change,
                                   const std::vector<JournalFile>& files) {
  // One file's safe save is whole or nothing already: there is no pair to
  // keep together, and so no journal.
  journaled_ = files.size() > 1;
  if (!journaled_) {
    journal_ = files;
    return FileError();
  }
  std::string path = JournalPath(patcher_.dllPaths[kGameDll]);
  FileError error = ::WriteJournal(*patcher_.saveSteps, path, {change, files});
  if (!error.Failed()) {
    journal_ = files;
    return error;
  }
  logger.Print("* Couldn't write file %s%s", path.c_str(), LogReason(error).c_str());
  return error;
}

FileError GameChange::Save(const DllAndBackup& files, const uint8_t* bytes, size_t size) {
  FileError error = SaveDll(*patcher_.saveSteps, files, locks_.TargetOf(files.path), bytes, size);
  if (!error.Failed()) changed_.push_back(files.path);
  return error;
}

FileError GameChange::Commit() {
  // A DLL that is a link was replaced in its target's folder.
  for (const std::string& path : changed_) {
    std::string target = locks_.TargetOf(path);
    if (FolderPartOf(target) != FolderPartOf(path) &&
        !patcher_.saveSteps->FlushFolder(target.c_str())) {
      FileError error = SystemFileError(target, "could not be replaced");
      error.step = SaveStep::kReplace;
      return error;
    }
  }
  if (journaled_)
    return RemoveJournal(*patcher_.saveSteps, JournalPath(patcher_.dllPaths[kGameDll]));
  // The file's new name reaches the disk before the change is said done.
  for (const std::string& path : changed_) {
    if (!patcher_.saveSteps->FlushFolder(path.c_str())) {
      FileError error = SystemFileError(path, "could not be replaced");
      error.step = SaveStep::kReplace;
      return error;
    }
  }
  return FileError();
}

FileError GameChange::RollBack() {
  std::string note;
  FileError error = UndoInterruptedChange(patcher_, &note, &locks_);
  if (!error.Failed()) {
    changed_.clear();
    return FileError();
  }
  // Which DLLs the undo did put back before it stopped.
  std::vector<std::string> still;
  for (const std::string& path : changed_) {
    bool before = false;
    for (const JournalFile& file : journal_) {
      if (file.name == FileNameOf(path)) before = AsBefore(path, file);
    }
    if (!before) still.push_back(path);
  }
  changed_ = still;
  // Every DLL back as before: a journal that stays names nothing to undo.
  return changed_.empty() ? FileError() : error;
}

FileError LeftApart(const std::vector<std::string>& changed, const std::vector<std::string>& all,
                    const FileError& why) {
  std::string changedNames;
  std::string unchangedNames;
  for (const std::string& path : all) {
    bool isChanged = false;
    for (const std::string& other : changed) isChanged = isChanged || other == path;
    std::string& names = isChanged ? changedNames : unchangedNames;
    names += (names.empty() ? "" : " and ") + FileNameOf(path);
  }
  std::string detail = changedNames + (changed.size() == 1 ? " is" : " are") + " changed";
  if (!unchangedNames.empty()) detail += " and " + unchangedNames + " not";
  detail += ", as putting it back failed (" + UserReason(why) + ")";
  return {Problem::kApart, why.code, changed.empty() ? "" : changed.front(), detail};
}
