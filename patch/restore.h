// Putting a DLL's one-time backup (patch/backup.h) back over it.
#ifndef ORVANEL_PATCH_RESTORE_H_
#define ORVANEL_PATCH_RESTORE_H_

#include "patch/dll_patcher.h"

enum class RestoreOutcome { kRestored, kNoBackup, kFailed };

// Puts the backup of one DLL (kGameDll or kClientDll) back over it through
// patcher.SaveFile, the same one-step replacement as every save; the backup
// stays. The patcher's image then holds the restored bytes. Failures are
// logged.
RestoreOutcome RestoreBackup(DllPatcher& patcher, int fileNumber);

#endif  // ORVANEL_PATCH_RESTORE_H_
