// Restoring the DLLs from their backups.
#include "patch/restore.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "io/file_paths.h"
#include "patch/dll_links.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"
#include "patch/transaction.h"

namespace {

const char kChange[] = "restore of the original DLLs";

// One DLL of a restore: the DLL and its backup as read once, and what became
// of it.
struct DllRestore {
  int fileNumber = -1;
  bool backed = false;   // a backup is there
  bool present = false;  // the DLL is there
  DllAndBackup files;
  RestoreOutcome outcome = RestoreOutcome::kFailed;
  FileError error;
};

bool Refuse(DllRestore* dll, const FileError& error) {
  dll->error = error;
  logger.Print("* %s: not restored%s", UserReason(error).c_str(), LogReason(error).c_str());
  return false;
}

// Reads the DLL (opened as a save needs it, so that one in use or read-only
// stops the restore before anything is written; a missing one is simply
// brought back) and its backup, and checks that the backup can be its
// original; false with dll->error when it cannot be restored.
bool Check(DllPatcher& patcher, RecordList versions, const ByteRanges& changeable,
           DllRestore* dll) {
  const char* path = patcher.dllPaths[dll->fileNumber];
  patcher.changeable[dll->fileNumber] = changeable;
  DllAndBackup& files = dll->files;
  files.path = path;
  std::error_code error;
  dll->present = std::filesystem::exists(NativePath(path), error);
  if (dll->present && !patcher.LoadFile(dll->fileNumber)) return Refuse(dll, patcher.lastError);
  if (dll->present) {
    files.dll.data = std::move(patcher.image);
    files.dll.size = patcher.imageSize;
    patcher.imageSize = 0;
    patcher.loadedFile = -1;
  } else {
    files.dllError = {Problem::kNotFound, 0, path, ""};
  }
  FileError refused = LinkRefusal(path);
  if (refused.problem != Problem::kNone) return Refuse(dll, refused);
  ReadBackupOf(&files, changeable);
  JudgeBackup(versions, dll->fileNumber, &files);
  if (!files.BackupUsable()) return Refuse(dll, files.BackupError());
  std::string backup = BackupPath(path);
  std::string unknown = UnknownOriginal(versions, dll->fileNumber, backup, files.backup.data.get(),
                                        static_cast<size_t>(files.backup.size));
  if (!unknown.empty()) return Refuse(dll, {Problem::kRefused, 0, backup, unknown});
  return true;
}

// Every DLL with a backup that has no reason of its own is held back.
void HoldBack(std::vector<DllRestore>& dlls) {
  for (DllRestore& dll : dlls) {
    if (!dll.backed) continue;
    dll.outcome = RestoreOutcome::kFailed;
    if (dll.error.problem != Problem::kNone) continue;
    dll.error = {Problem::kRefused, 0, "",
                 "held back so that the two DLLs stay together: see the other DLL's line"};
  }
}

// The restore of the DLLs of dlls, each with its fileNumber set.
void Restore(DllPatcher& patcher, RecordList versions, const ByteRanges changeable[2],
             std::vector<DllRestore>& dlls, std::string* undone) {
  bool anyBacked = false;
  for (DllRestore& dll : dlls) {
    dll.backed = BackupThere(patcher.dllPaths[dll.fileNumber]);
    if (!dll.backed) dll.outcome = RestoreOutcome::kNoBackup;
    anyBacked = anyBacked || dll.backed;
  }
  if (!anyBacked) return;

  DllFolderLocks lock({patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]});
  if (!lock.Held()) {
    for (DllRestore& dll : dlls) {
      if (!dll.backed) continue;
      Refuse(&dll, lock.Error(patcher.dllPaths[dll.fileNumber]));
      dll.outcome =
          lock.State() == LockState::kBusy ? RestoreOutcome::kBusy : RestoreOutcome::kFailed;
    }
    return;
  }
  // A journal that cannot be undone is what a restore is for: the backups
  // replace both DLLs, and this restore's own journal replaces that one.
  FileError ignored;
  UndoInterruptedChange(patcher, undone, &ignored);

  for (DllRestore& dll : dlls) {
    if (dll.backed && !Check(patcher, versions, changeable[dll.fileNumber], &dll)) {
      HoldBack(dlls);
      return;
    }
  }
  std::vector<JournalFile> writes;
  FileError error;
  for (const DllRestore& dll : dlls) {
    if (!dll.backed) continue;
    const DllAndBackup& files = dll.files;
    writes.emplace_back();
    // The backup has the DLL's size (it could not be its original otherwise).
    DescribeWrite(DllFileName(patcher, dll.fileNumber),
                  dll.present ? files.dll.data.get() : nullptr, static_cast<size_t>(files.dll.size),
                  files.backup.data.get(), static_cast<size_t>(files.backup.size), &writes.back());
  }
  if (!BeginChange(patcher, kChange, writes, &error)) {
    for (DllRestore& dll : dlls) dll.error = dll.backed ? error : FileError();
    return;
  }
  for (DllRestore& dll : dlls) {
    if (!dll.backed) continue;
    if (!SaveChangedDll(patcher, dll.fileNumber, std::move(dll.files.backup), dll.files)) {
      dll.error = patcher.lastError;
      // The DLL restored before this one goes back with the journal.
      std::string note;
      UndoInterruptedChange(patcher, &note, &error);
      for (DllRestore& other : dlls) {
        if (other.outcome == RestoreOutcome::kRestored) other.error = FileError();
      }
      HoldBack(dlls);
      return;
    }
    dll.outcome = RestoreOutcome::kRestored;
  }
  CommitChange(patcher);
}

}  // namespace

RestoreOutcome RestoreBackup(DllPatcher& patcher, RecordList versions, int fileNumber,
                             const ByteRanges& changeable) {
  if (fileNumber != kGameDll && fileNumber != kClientDll) {
    patcher.lastError = {Problem::kOther, 0, "", "names no DLL"};
    return RestoreOutcome::kFailed;
  }
  if (patcher.dllPaths[fileNumber][0] == '\0') {
    patcher.lastError = {Problem::kNotFound, 0, "the game folder", ""};
    return RestoreOutcome::kFailed;
  }
  ByteRanges ranges[2];
  ranges[fileNumber] = changeable;
  std::vector<DllRestore> dlls(1);
  dlls[0].fileNumber = fileNumber;
  std::string undone;
  Restore(patcher, versions, ranges, dlls, &undone);
  patcher.lastError = dlls[0].error;
  return dlls[0].outcome;
}

RestoreReport RestoreBoth(DllPatcher& patcher, RecordList versions, RecordList classes) {
  RestoreReport report;
  ByteRanges ranges[2] = {ChangeableRanges(classes, kGameDll),
                          ChangeableRanges(classes, kClientDll)};
  std::vector<DllRestore> dlls(2);
  dlls[0].fileNumber = kGameDll;
  dlls[1].fileNumber = kClientDll;
  if (patcher.dllPaths[kGameDll][0] != '\0') {
    Restore(patcher, versions, ranges, dlls, &report.undone);
  } else {
    for (DllRestore& dll : dlls) dll.error = {Problem::kNotFound, 0, "the game folder", ""};
  }
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
