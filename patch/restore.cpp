// Restoring a DLL from its backup.
#include "patch/restore.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "io/change_lock.h"
#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/backup.h"
#include "patch/exchange.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"

RestoreOutcome RestoreBackup(DllPatcher& patcher, int fileNumber, const ByteRanges& changeable) {
  patcher.lastError = {Problem::kNotFound, 0, "the game folder", ""};
  if (fileNumber != kGameDll && fileNumber != kClientDll) return RestoreOutcome::kFailed;
  const char* path = patcher.dllPaths[fileNumber];
  if (path[0] == '\0') return RestoreOutcome::kFailed;
  std::string backup = BackupPath(path);
  std::error_code error;
  if (std::filesystem::symlink_status(NativePath(backup.c_str()), error).type() ==
      std::filesystem::file_type::not_found) {
    return RestoreOutcome::kNoBackup;
  }

  ChangeLock lock(path);
  if (!lock.Held()) {
    patcher.lastError = lock.Error(path);
    bool busy = lock.State() == LockState::kBusy;
    logger.Print(
        busy ? "* Another Orvanel holds %s: nothing was changed" : "* Couldn't open file %s",
        lock.Path().c_str());
    return busy ? RestoreOutcome::kBusy : RestoreOutcome::kFailed;
  }
  patcher.changeable[fileNumber] = changeable;

  // The DLL as it is now; a missing one is simply brought back.
  std::unique_ptr<uint8_t[]> current;
  int32_t currentSize = 0;
  bool present = std::filesystem::exists(NativePath(path), error);
  SetSystemError(0);
  if (present && !ReadWholeFile(path, &current, &currentSize)) {
    patcher.lastError = SystemFileError(path, "could not be read");
    logger.Print("* Couldn't read file %s%s", path, LogReason(patcher.lastError).c_str());
    return RestoreOutcome::kFailed;
  }
  std::string mismatch =
      BackupMismatch(backup, present ? current.get() : nullptr, static_cast<size_t>(currentSize),
                     patcher.changeable[fileNumber]);
  if (!mismatch.empty()) {
    patcher.lastError = {Problem::kBackup, 0, backup, mismatch};
    logger.Print(
        "* The backup %s %s, so it cannot be the original of %s: not restored. If the game "
        "was updated since, %s is an original already: move the backup aside",
        backup.c_str(), mismatch.c_str(), path, path);
    return RestoreOutcome::kFailed;
  }

  std::unique_ptr<uint8_t[]> saved;
  int32_t savedSize = 0;
  SetSystemError(0);
  if (!ReadWholeFile(backup.c_str(), &saved, &savedSize)) {
    patcher.lastError = SystemFileError(backup, "could not be read");
    logger.Print("* Couldn't read file %s%s", backup.c_str(), LogReason(patcher.lastError).c_str());
    return RestoreOutcome::kFailed;
  }
  std::string unknown =
      UnknownOriginal(versionList, fileNumber, backup, saved.get(), static_cast<size_t>(savedSize));
  if (!unknown.empty()) {
    logger.Print("* %s: not restored", unknown.c_str());
    return RestoreOutcome::kFailed;
  }
  patcher.image = std::move(saved);
  patcher.imageSize = savedSize;
  patcher.loadedFile = fileNumber;
  return patcher.SaveFile(fileNumber) ? RestoreOutcome::kRestored : RestoreOutcome::kFailed;
}

RestoreReport RestoreBoth(DllPatcher& patcher, RecordList classes) {
  RestoreReport report;
  for (int fileNumber : {kGameDll, kClientDll}) {
    std::string dll = NativePath(patcher.dllPaths[fileNumber]);
    std::string backup = NativePath(BackupPath(patcher.dllPaths[fileNumber]).c_str());
    switch (RestoreBackup(patcher, fileNumber, ChangeableRanges(classes, fileNumber))) {
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
