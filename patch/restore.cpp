// Restoring a DLL from its backup.
#include "patch/restore.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "io/change_lock.h"
#include "io/file_paths.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"

namespace {

RestoreOutcome Failed(DllPatcher& patcher, const FileError& error, const char* logFormat) {
  patcher.lastError = error;
  logger.Print(logFormat, UserReason(error).c_str(), LogReason(error).c_str());
  return RestoreOutcome::kFailed;
}

}  // namespace

RestoreOutcome RestoreBackup(DllPatcher& patcher, RecordList versions, int fileNumber,
                             const ByteRanges& changeable) {
  if (fileNumber != kGameDll && fileNumber != kClientDll) {
    patcher.lastError = {Problem::kOther, 0, "", "names no DLL"};
    return RestoreOutcome::kFailed;
  }
  const char* path = patcher.dllPaths[fileNumber];
  if (path[0] == '\0') {
    patcher.lastError = {Problem::kNotFound, 0, "the game folder", ""};
    return RestoreOutcome::kFailed;
  }
  if (!BackupThere(path)) return RestoreOutcome::kNoBackup;
  std::string backup = BackupPath(path);

  ChangeLock lock(path);
  if (!lock.Held()) {
    patcher.lastError = lock.Error(path);
    logger.Print("* %s: not restored%s", UserReason(patcher.lastError).c_str(),
                 LogReason(patcher.lastError).c_str());
    return lock.State() == LockState::kBusy ? RestoreOutcome::kBusy : RestoreOutcome::kFailed;
  }
  patcher.changeable[fileNumber] = changeable;

  // The DLL as it is now (a missing one is simply brought back) and its backup.
  DllAndBackup files = ReadDllAndBackup(path, changeable);
  std::error_code error;
  bool missing = files.dllError.problem == Problem::kNotFound &&
                 !std::filesystem::exists(NativePath(path), error);
  if (!files.DllRead() && !missing) return Failed(patcher, files.dllError, "* %s%s");
  JudgeBackup(versions, fileNumber, &files);
  if (!files.BackupUsable()) return Failed(patcher, files.BackupError(), "* %s: not restored%s");
  std::string unknown = UnknownOriginal(versions, fileNumber, backup, files.backup.data.get(),
                                        static_cast<size_t>(files.backup.size));
  if (!unknown.empty()) {
    return Failed(patcher, {Problem::kRefused, 0, backup, unknown}, "* %s: not restored%s");
  }
  patcher.image = std::move(files.backup.data);
  patcher.imageSize = files.backup.size;
  patcher.loadedFile = fileNumber;
  patcher.onDisk[fileNumber] = &files;
  bool saved = patcher.SaveFile(fileNumber);
  patcher.onDisk[fileNumber] = nullptr;
  return saved ? RestoreOutcome::kRestored : RestoreOutcome::kFailed;
}

RestoreReport RestoreBoth(DllPatcher& patcher, RecordList versions, RecordList classes) {
  RestoreReport report;
  for (int fileNumber : {kGameDll, kClientDll}) {
    std::string dll = NativePath(patcher.dllPaths[fileNumber]);
    std::string backup = NativePath(BackupPath(patcher.dllPaths[fileNumber]).c_str());
    switch (RestoreBackup(patcher, versions, fileNumber, ChangeableRanges(classes, fileNumber))) {
      case RestoreOutcome::kRestored:
        report.text += "Restored " + dll + " from " + backup + "\n";
        ++report.restored;
        break;
      case RestoreOutcome::kNoBackup:
        report.text += "No backup of " + dll + " (never changed)\n";
        break;
      case RestoreOutcome::kBusy:
        report.text += "Another Orvanel is changing these files: " + dll + " not restored\n";
        ++report.failed;
        break;
      case RestoreOutcome::kFailed:
        report.text += "Could not restore " + dll + ": " + UserReason(patcher.lastError) + "\n";
        ++report.failed;
        break;
    }
  }
  return report;
}
