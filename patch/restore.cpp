// Restoring the DLLs from their backups.
#include "patch/restore.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/backup.h"
#include "patch/dll_links.h"
#include "patch/exchange.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"
#include "patch/transaction.h"

namespace {

const char kChange[] = "restore of the original DLLs";

// One DLL of a restore: its bytes now and its backup's, once both are read
// and the backup is found to be its original.
struct DllRestore {
  int fileNumber = -1;
  bool backed = false;  // a backup is there
  RestoreOutcome outcome = RestoreOutcome::kFailed;
  FileError error;
  bool present = false;  // the DLL is there
  std::unique_ptr<uint8_t[]> current;
  int32_t currentSize = 0;
  std::unique_ptr<uint8_t[]> saved;
  int32_t savedSize = 0;
};

bool BackupIsThere(const char* path) {
  std::error_code error;
  return path[0] != '\0' &&
         std::filesystem::symlink_status(NativePath(BackupPath(path).c_str()), error).type() !=
             std::filesystem::file_type::not_found;
}

// Reads the DLL and its backup and checks that the backup can be its
// original; false with dll->error when it cannot be restored.
bool Check(DllPatcher& patcher, const ByteRanges& changeable, DllRestore* dll) {
  const char* path = patcher.dllPaths[dll->fileNumber];
  std::string backup = BackupPath(path);
  patcher.changeable[dll->fileNumber] = changeable;
  std::error_code error;
  dll->present = std::filesystem::exists(NativePath(path), error);
  // Opened as a save needs it, so that a DLL in use or read-only stops the
  // restore before anything is written.
  if (dll->present && !patcher.LoadFile(dll->fileNumber)) {
    dll->error = patcher.lastError;
    return false;
  }
  if (dll->present) {
    dll->current = std::move(patcher.image);
    dll->currentSize = patcher.imageSize;
    patcher.imageSize = 0;
    patcher.loadedFile = -1;
  }
  FileError refused = LinkRefusal(path);
  if (refused.problem != Problem::kNone) {
    dll->error = refused;
    logger.Print("* %s: not restored", refused.detail.c_str());
    return false;
  }
  std::string mismatch = BackupMismatch(backup, dll->present ? dll->current.get() : nullptr,
                                        static_cast<size_t>(dll->currentSize), changeable);
  if (!mismatch.empty()) {
    dll->error = {Problem::kBackup, 0, backup, mismatch};
    logger.Print(
        "* The backup %s %s, so it cannot be the original of %s: not restored. If the game "
        "was updated since, %s is an original already: move the backup aside",
        backup.c_str(), mismatch.c_str(), path, path);
    return false;
  }
  SetSystemError(0);
  if (!ReadWholeFile(backup.c_str(), &dll->saved, &dll->savedSize)) {
    dll->error = SystemFileError(backup, "could not be read");
    logger.Print("* Couldn't read file %s%s", backup.c_str(), LogReason(dll->error).c_str());
    return false;
  }
  std::string unknown = UnknownOriginal(versionList, dll->fileNumber, backup, dll->saved.get(),
                                        static_cast<size_t>(dll->savedSize));
  if (!unknown.empty()) {
    dll->error = {Problem::kRefused, 0, backup, unknown};
    logger.Print("* %s: not restored", unknown.c_str());
    return false;
  }
  return true;
}

// Every DLL with a backup that is not done yet is held back with this.
void HoldBack(std::vector<DllRestore>& dlls) {
  for (DllRestore& dll : dlls) {
    if (!dll.backed || dll.error.problem != Problem::kNone) continue;
    dll.outcome = RestoreOutcome::kFailed;
    dll.error = {Problem::kRefused, 0, "",
                 "held back so that the two DLLs stay together: see the other DLL's line"};
  }
}

// The restore of the DLLs of dlls, each with its fileNumber set.
void Restore(DllPatcher& patcher, const ByteRanges changeable[2], std::vector<DllRestore>& dlls,
             std::string* undone) {
  bool anyBacked = false;
  for (DllRestore& dll : dlls) {
    dll.backed = BackupIsThere(patcher.dllPaths[dll.fileNumber]);
    if (!dll.backed) dll.outcome = RestoreOutcome::kNoBackup;
    anyBacked = anyBacked || dll.backed;
  }
  if (!anyBacked) return;

  DllFolderLocks lock({patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]});
  if (!lock.Held()) {
    bool busy = lock.State() == LockState::kBusy;
    logger.Print(
        busy ? "* Another Orvanel holds %s: nothing was changed" : "* Couldn't open file %s",
        lock.Path().c_str());
    for (DllRestore& dll : dlls) {
      if (!dll.backed) continue;
      dll.outcome = busy ? RestoreOutcome::kBusy : RestoreOutcome::kFailed;
      dll.error = lock.Error(patcher.dllPaths[dll.fileNumber]);
    }
    return;
  }
  // A journal that cannot be undone is what a restore is for: the backups
  // replace both DLLs, and this restore's own journal replaces that one.
  FileError ignored;
  UndoInterruptedChange(patcher, undone, &ignored);

  for (DllRestore& dll : dlls) {
    if (dll.backed && !Check(patcher, changeable[dll.fileNumber], &dll)) {
      HoldBack(dlls);
      return;
    }
  }
  std::vector<DllWrite> writes;
  for (const DllRestore& dll : dlls) {
    if (!dll.backed) continue;
    writes.push_back({dll.fileNumber, dll.present ? dll.current.get() : nullptr,
                      static_cast<size_t>(dll.currentSize), dll.saved.get(),
                      static_cast<size_t>(dll.savedSize)});
  }
  FileError error;
  if (!BeginChange(patcher, kChange, writes, &error)) {
    for (DllRestore& dll : dlls) dll.error = dll.backed ? error : FileError();
    return;
  }
  for (DllRestore& dll : dlls) {
    if (!dll.backed) continue;
    patcher.image = std::move(dll.saved);
    patcher.imageSize = dll.savedSize;
    patcher.loadedFile = dll.fileNumber;
    if (!patcher.SaveFile(dll.fileNumber)) {
      dll.error = patcher.lastError;
      // The DLL restored before this one goes back with the journal.
      std::string note;
      FileError undoError;
      UndoInterruptedChange(patcher, &note, &undoError);
      for (DllRestore& other : dlls) other.outcome = RestoreOutcome::kFailed;
      HoldBack(dlls);
      return;
    }
    dll.outcome = RestoreOutcome::kRestored;
  }
  CommitChange(patcher);
}

}  // namespace

RestoreOutcome RestoreBackup(DllPatcher& patcher, int fileNumber, const ByteRanges& changeable) {
  patcher.lastError = {Problem::kNotFound, 0, "the game folder", ""};
  if (fileNumber != kGameDll && fileNumber != kClientDll) return RestoreOutcome::kFailed;
  if (patcher.dllPaths[fileNumber][0] == '\0') return RestoreOutcome::kFailed;
  ByteRanges ranges[2];
  ranges[fileNumber] = changeable;
  std::vector<DllRestore> dlls(1);
  dlls[0].fileNumber = fileNumber;
  std::string undone;
  Restore(patcher, ranges, dlls, &undone);
  patcher.lastError = dlls[0].error;
  return dlls[0].outcome;
}

RestoreReport RestoreBoth(DllPatcher& patcher, RecordList classes) {
  RestoreReport report;
  ByteRanges ranges[2] = {ChangeableRanges(classes, kGameDll),
                          ChangeableRanges(classes, kClientDll)};
  std::vector<DllRestore> dlls(2);
  dlls[0].fileNumber = kGameDll;
  dlls[1].fileNumber = kClientDll;
  if (patcher.dllPaths[kGameDll][0] != '\0') Restore(patcher, ranges, dlls, &report.undone);
  for (const DllRestore& dll : dlls) {
    std::string path = NativePath(patcher.dllPaths[dll.fileNumber]);
    std::string backup = NativePath(BackupPath(patcher.dllPaths[dll.fileNumber]).c_str());
    switch (dll.outcome) {
      case RestoreOutcome::kRestored:
        report.text += "Restored " + path + " from " + backup + "\n";
        ++report.restored;
        break;
      case RestoreOutcome::kNoBackup:
        report.text += "No backup of " + path + " (never changed)\n";
        break;
      case RestoreOutcome::kBusy:
        report.text += "Another Orvanel is changing these files: " + path + " not restored\n";
        ++report.failed;
        break;
      case RestoreOutcome::kFailed:
        report.text += "Could not restore " + path + ": " + UserReason(dll.error) + "\n";
        ++report.failed;
        break;
    }
  }
  return report;
}
