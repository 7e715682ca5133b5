// Restoring the DLLs from their backups.
#include "exchange/restore.h"

#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

#include "change/change.h"
#include "change/transaction.h"
#include "config/game_files.h"
#include "files/dll_file.h"
#include "files/dll_links.h"
#include "files/fingerprint.h"
#include "io/file_paths.h"
#include "patch/logger.h"

namespace {

const char kChange[] = "restore of the original DLLs";

// One DLL of a restore: the DLL and its backup as read once, and what became
// of it.
struct DllRestore {
  int fileNumber = -1;
  bool backed = false;   // a backup is there
  bool present = false;  // the DLL is there
  DllAndBackup files;
  FileOutcome outcome;
};

bool Refuse(DllRestore* dll, const FileError& error) {
  dll->outcome.error = error;
  logger.Print("* %s: not restored%s", UserReason(error).c_str(), LogReason(error).c_str());
  return false;
}

// Reads the DLL (opened as a save needs it, so that one in use or read-only
// stops the restore before anything is written; a missing one is simply
// brought back) and its backup, and checks that the backup can be its
// original; false with the outcome's error when it cannot be restored.
bool Check(const DllPatcher& patcher, const GameChange& change, RecordList versions,
           const ByteRanges& changeable, DllRestore* dll) {
  const char* path = patcher.dllPaths[dll->fileNumber];
  DllAndBackup& files = dll->files;
  files.path = path;
  std::error_code error;
  dll->present = std::filesystem::exists(NativePath(path), error);
  if (dll->present) {
    files.dllError = ReadDllForUpdate(*patcher.saveSteps, path, &files.dll);
    if (files.dllError.Failed()) return Refuse(dll, files.dllError);
  } else {
    files.dllError = {Problem::kNotFound, 0, path, ""};
  }
  FileError refused = LinkRefusal(path, change.TargetOf(path));
  if (refused.Failed()) return Refuse(dll, refused);
  ReadBackupOf(&files, changeable, *patcher.saveSteps);
  JudgeBackup(versions, &files);
  if (!files.BackupUsable()) return Refuse(dll, files.BackupError());
  FileError unknown = UnknownOriginal(versions, path, files.backup.data.get(),
                                      static_cast<size_t>(files.backup.size));
  if (unknown.Failed()) return Refuse(dll, unknown);
  return true;
}

// Every DLL with a backup that has no reason of its own is held back.
void HoldBack(std::vector<DllRestore>& dlls) {
  for (DllRestore& dll : dlls) {
    if (!dll.backed || dll.outcome.changed || dll.outcome.error.Failed()) continue;
    dll.outcome.error = {Problem::kHeldBack, 0, "", ""};
  }
}

// The journal entries of writing each backup over its DLL.
std::vector<JournalFile> Writes(const DllPatcher& patcher, const std::vector<DllRestore>& dlls) {
  std::vector<JournalFile> writes;
  for (const DllRestore& dll : dlls) {
    if (!dll.backed) continue;
    const DllAndBackup& files = dll.files;
    writes.emplace_back();
    // The backup has the DLL's size (it could not be its original otherwise).
    DescribeWrite(DllFileName(patcher, dll.fileNumber),
                  dll.present ? files.dll.data.get() : nullptr, static_cast<size_t>(files.dll.size),
                  files.backup.data.get(), static_cast<size_t>(files.backup.size), &writes.back());
  }
  return writes;
}

// Writes every backup over its DLL as one change; a failed save puts back
// the DLLs restored before it.
void WriteRestore(GameChange& change, const std::vector<JournalFile>& writes,
                  std::vector<DllRestore>& dlls, FileError* apart) {
  FileError error = change.WriteJournal(kChange, writes);
  if (error.Failed()) {
    for (DllRestore& dll : dlls) dll.outcome.error = dll.backed ? error : FileError();
    return;
  }
  std::vector<std::string> paths;
  for (DllRestore& dll : dlls) {
    if (!dll.backed) continue;
    paths.push_back(dll.files.path);
    const ByteBuffer& backup = dll.files.backup;
    dll.outcome.error = change.Save(dll.files, backup.data.get(), static_cast<size_t>(backup.size));
    dll.outcome.changed = !dll.outcome.error.Failed();
    if (dll.outcome.changed) continue;
    FileError undo = change.RollBack();
    for (DllRestore& other : dlls) {
      bool still = false;
      for (const std::string& path : change.Changed()) still = still || path == other.files.path;
      other.outcome.changed = still;
    }
    if (undo.Failed()) *apart = LeftApart(change.Changed(), paths, undo);
    HoldBack(dlls);
    return;
  }
  error = change.Commit();
  if (error.Failed()) *apart = error;
}

// The restore of the DLLs of dlls, each with its fileNumber set.
void Restore(DllPatcher& patcher, RecordList versions, const ByteRanges changeable[2],
             std::vector<DllRestore>& dlls, std::string* undone, FileError* apart) {
  bool anyBacked = false;
  for (DllRestore& dll : dlls) {
    dll.backed = BackupThere(patcher.dllPaths[dll.fileNumber]);
    anyBacked = anyBacked || dll.backed;
  }
  if (!anyBacked) return;
  // A journal left behind is undone only inside the ranges the tables name.
  for (DllRestore& dll : dlls) patcher.changeable[dll.fileNumber] = changeable[dll.fileNumber];
  GameChange change(patcher);
  // A journal that cannot be undone is what a restore is for: the backups
  // replace both DLLs, and this restore's own journal replaces that one.
  FileError error = change.Begin(true);
  *undone = change.Undone();
  if (error.Failed()) {
    for (DllRestore& dll : dlls) {
      if (dll.backed) dll.outcome.error = error;
    }
    return;
  }
  for (DllRestore& dll : dlls) {
    if (dll.backed && !Check(patcher, change, versions, changeable[dll.fileNumber], &dll)) {
      HoldBack(dlls);
      return;
    }
  }
  WriteRestore(change, Writes(patcher, dlls), dlls, apart);
}

std::vector<DllRestore> DllsOf(std::initializer_list<int> fileNumbers) {
  std::vector<DllRestore> dlls;
  for (int fileNumber : fileNumbers) {
    dlls.emplace_back();
    dlls.back().fileNumber = fileNumber;
  }
  return dlls;
}

// The report's line for one DLL.
std::string Line(const std::string& path, const FileOutcome& outcome) {
  std::string dll = NativePath(path.c_str());
  std::string backup = NativePath(BackupPath(path.c_str()).c_str());
  if (outcome.changed) return "Restored " + dll + " from " + backup + "\n";
  if (!outcome.error.Failed()) return "No backup of " + dll + " (never changed)\n";
  return "Could not restore " + dll + ": " + UserReason(outcome.error) + "\n";
}

}  // namespace

FileOutcome RestoreBackup(DllPatcher& patcher, RecordList versions, int fileNumber,
                          const ByteRanges& changeable) {
  if (fileNumber != kGameDll && fileNumber != kClientDll) {
    return {"", false, {Problem::kNoSuchDll, 0, "", std::to_string(fileNumber)}};
  }
  if (patcher.dllPaths[fileNumber][0] == '\0') {
    return {"", false, {Problem::kNotFound, 0, "the game folder", ""}};
  }
  ByteRanges ranges[2];
  ranges[fileNumber] = changeable;
  std::vector<DllRestore> dlls = DllsOf({fileNumber});
  std::string undone;
  FileError apart;
  Restore(patcher, versions, ranges, dlls, &undone, &apart);
  dlls[0].outcome.file = patcher.dllPaths[fileNumber];
  return dlls[0].outcome;
}

RestoreReport RestoreBoth(DllPatcher& patcher, RecordList versions, RecordList classes) {
  RestoreReport report;
  // The folder's own files: d2game.dll and d2client.dll, or Game.exe alone.
  UseFilesOf(patcher, versions, -1);
  SetChangeable(patcher, versions, classes);
  ByteRanges ranges[2] = {patcher.changeable[kGameDll], patcher.changeable[kClientDll]};
  bool oneFile = HasGameFolder(patcher) && patcher.dllPaths[kClientDll][0] == '\0';
  std::vector<DllRestore> dlls = oneFile ? DllsOf({kGameDll}) : DllsOf({kGameDll, kClientDll});
  FileError apart;
  if (HasGameFolder(patcher)) {
    Restore(patcher, versions, ranges, dlls, &report.undone, &apart);
  } else {
    for (DllRestore& dll : dlls) dll.outcome.error = {Problem::kNotFound, 0, "the game folder", ""};
  }
  for (DllRestore& dll : dlls) {
    dll.outcome.file = patcher.dllPaths[dll.fileNumber];
    report.text += Line(dll.outcome.file, dll.outcome);
    report.restored += dll.outcome.changed ? 1 : 0;
    report.failed += dll.outcome.error.Failed() ? 1 : 0;
    report.files.push_back(dll.outcome);
  }
  if (apart.Failed()) {
    report.text += UserReason(apart) + "\n";
    ++report.failed;
  }
  return report;
}
