// Restoring a DLL from its backup.
#include "patch/restore.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "patch/backup.h"
#include "patch/change_lock.h"
#include "patch/fingerprint.h"
#include "patch/logger.h"
#include "patch/whole_file.h"
#include "tables/file_paths.h"

RestoreOutcome RestoreBackup(DllPatcher& patcher, int fileNumber, const ByteRanges& changeable) {
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
  if (present && !ReadWholeFile(path, &current, &currentSize)) {
    logger.Print("* Couldn't read file %s", path);
    return RestoreOutcome::kFailed;
  }
  std::string mismatch =
      BackupMismatch(backup, present ? current.get() : nullptr, static_cast<size_t>(currentSize),
                     patcher.changeable[fileNumber]);
  if (!mismatch.empty()) {
    logger.Print(
        "* The backup %s %s, so it cannot be the original of %s: not restored. If the game "
        "was updated since, %s is an original already: move the backup aside",
        backup.c_str(), mismatch.c_str(), path, path);
    return RestoreOutcome::kFailed;
  }

  std::unique_ptr<uint8_t[]> saved;
  int32_t savedSize = 0;
  if (!ReadWholeFile(backup.c_str(), &saved, &savedSize)) {
    logger.Print("* Couldn't read file %s", backup.c_str());
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
