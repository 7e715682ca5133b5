// Putting a DLL's one-time backup (patch/backup.h) back over it.
#ifndef ORVANEL_PATCH_RESTORE_H_
#define ORVANEL_PATCH_RESTORE_H_

#include <string>

#include "patch/backup.h"
#include "patch/dll_patcher.h"
#include "tables/record_list.h"

enum class RestoreOutcome { kRestored, kNoBackup, kBusy, kFailed };

// Puts the backup of one DLL (kGameDll or kClientDll) back over it through
// patcher.SaveFile, the same one-step replacement as every save, while it
// holds the game folder's lock; the backup stays. The DLL and the backup are
// read once each. A backup that cannot be the DLL's original (it differs
// outside changeable, the ranges the tables name, or the DLL is an untouched
// file that versions declare and the backup differs from it) is refused, and
// so is one that matches no fingerprint versions declare for the DLL. The
// patcher's image then holds the restored bytes. Failures are logged, and
// patcher.lastError says why.
RestoreOutcome RestoreBackup(DllPatcher& patcher, RecordList versions, int fileNumber,
                             const ByteRanges& changeable);

// Both DLLs restored with the ranges of classes' tables, one line each of
// what happened (with the reason of a failure), as the window and the
// console show it.
struct RestoreReport {
  int restored = 0;
  int failed = 0;
  std::string text;
};
RestoreReport RestoreBoth(DllPatcher& patcher, RecordList versions, RecordList classes);

#endif  // ORVANEL_PATCH_RESTORE_H_
