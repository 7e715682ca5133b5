// Restoring a DLL from its backup.
#include "patch/restore.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "patch/backup.h"
#include "patch/logger.h"
#include "patch/whole_file.h"
#include "tables/file_paths.h"

RestoreOutcome RestoreBackup(DllPatcher& patcher, int fileNumber) {
  if (fileNumber != kGameDll && fileNumber != kClientDll) return RestoreOutcome::kFailed;
  const char* path = patcher.dllPaths[fileNumber];
  if (path[0] == '\0') return RestoreOutcome::kFailed;
  std::string backup = BackupPath(path);
  int exists = BackupFileState(backup);
  if (exists == 0) return RestoreOutcome::kNoBackup;

  std::unique_ptr<uint8_t[]> saved;
  int32_t savedSize = 0;
  if (exists < 0 || !ReadWholeFile(backup.c_str(), &saved, &savedSize)) {
    logger.Print("* Couldn't read file %s", backup.c_str());
    return RestoreOutcome::kFailed;
  }
  // An exchange never changes a DLL's size: a DLL of another size was
  // replaced (by a game update, say) after the backup, which would undo it.
  std::error_code error;
  uintmax_t current = std::filesystem::file_size(NativePath(path), error);
  if (!error && current != static_cast<uintmax_t>(savedSize)) {
    logger.Print("* %s has %llu bytes but its backup %s has %ld: not restored", path,
                 static_cast<unsigned long long>(current), backup.c_str(),
                 static_cast<long>(savedSize));
    return RestoreOutcome::kFailed;
  }

  patcher.image = std::move(saved);
  patcher.imageSize = savedSize;
  patcher.loadedFile = fileNumber;
  return patcher.SaveFile(fileNumber) ? RestoreOutcome::kRestored : RestoreOutcome::kFailed;
}
