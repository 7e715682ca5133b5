// One-time backups of the game DLLs: before the program first changes a DLL,
// the untouched file is copied to "<dll>.bak" beside it (d2game.dll.bak,
// d2client.dll.bak), checked by reading it back, and never overwritten after.
// An existing backup is trusted only when it can be this DLL's original.
// Failures are logged and returned as 0; a failed backup leaves no .bak.
#ifndef ORVANEL_PATCH_BACKUP_H_
#define ORVANEL_PATCH_BACKUP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "io/save_steps.h"

// The bytes [start, start + length) of a DLL.
struct ByteRange {
  uint32_t start;
  uint32_t length;
};
// The ranges of one DLL that the tables name: the only bytes in which the
// DLL may differ from its original.
using ByteRanges = std::vector<ByteRange>;

// dllPath + ".bak".
std::string BackupPath(const char* dllPath);

// Why the file at backupPath cannot be the original of a DLL whose bytes are
// dll (size bytes): "" when it can be, that is when it is a regular file, not
// a link, of the same size, equal to the DLL outside every changeable range.
// dll may be null when the DLL is missing: then only the file itself counts.
std::string BackupMismatch(const std::string& backupPath, const uint8_t* dll, size_t size,
                           const ByteRanges& changeable);

// Returns 1 when dllPath's backup is there (made now, or earlier and kept as
// it is) and can be its original, 0 when the change must not go ahead: the
// backup could not be made, or the one there is not this DLL's original.
// changed (changedSize bytes) is what is about to be written over the DLL,
// equal to it outside changeable; a backup there is compared with it. A new
// backup is copied from the DLL on disk, written, flushed, read back and
// moved into place with steps. error (when given) says why a change must not
// go ahead.
int EnsureBackup(SaveSteps& steps, const char* dllPath, const ByteRanges& changeable,
                 const uint8_t* changed, size_t changedSize, FileError* error = nullptr);

#endif  // ORVANEL_PATCH_BACKUP_H_
