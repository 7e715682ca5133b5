// One-time backups of the game DLLs: before the program first changes a DLL,
// the untouched file is copied to "<dll>.bak" beside it (d2game.dll.bak,
// d2client.dll.bak), checked by reading it back, and never overwritten after.
// Failures are logged and returned as 0; a failed backup leaves no .bak.
#ifndef ORVANEL_PATCH_BACKUP_H_
#define ORVANEL_PATCH_BACKUP_H_

#include <string>

#include "patch/save_steps.h"

// dllPath + ".bak".
std::string BackupPath(const char* dllPath);

// What stands at a backup's path: 1 a file, 0 nothing, -1 something else (a
// folder) or it cannot be told.
int BackupFileState(const std::string& backupPath);

// Returns 1 when dllPath's backup exists (made now, or earlier and kept as
// it is), 0 when it had to be made and could not be: the change must not go
// ahead then. The copy is written, flushed and moved into place with steps.
int EnsureBackup(SaveSteps& steps, const char* dllPath);

#endif  // ORVANEL_PATCH_BACKUP_H_
