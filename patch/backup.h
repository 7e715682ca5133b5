// One-time backups of the game DLLs: before the program first changes a DLL,
// the untouched file is copied to "<dll>.bak" beside it (d2game.dll.bak,
// d2client.dll.bak), checked by reading it back, and never overwritten after.
// Failures are logged and returned as 0; a failed backup leaves no .bak.
#ifndef ORVANEL_PATCH_BACKUP_H_
#define ORVANEL_PATCH_BACKUP_H_

#include <string>

#include "patch/dll_patcher.h"
#include "patch/save_steps.h"

// dllPath + ".bak".
std::string BackupPath(const char* dllPath);

// Returns 1 when dllPath's backup exists (made now, or earlier and kept as
// it is), 0 when it had to be made and could not be: the change must not go
// ahead then. The copy is written, flushed and moved into place with steps.
int EnsureBackup(SaveSteps& steps, const char* dllPath);

enum class RestoreOutcome { kRestored, kNoBackup, kFailed };

// Puts the backup of one DLL (kGameDll or kClientDll) back over it through
// patcher.SaveFile, the same one-step replacement as every save; the backup
// stays. The patcher's image then holds the restored bytes.
RestoreOutcome RestoreBackup(DllPatcher& patcher, int fileNumber);

#endif  // ORVANEL_PATCH_BACKUP_H_
