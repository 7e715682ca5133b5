// Putting the DLLs' one-time backups (files/backup.h) back over them.
#ifndef ORVANEL_EXCHANGE_RESTORE_H_
#define ORVANEL_EXCHANGE_RESTORE_H_

#include <string>
#include <vector>

#include "files/backup.h"
#include "patch/dll_patcher.h"
#include "tables/record_list.h"

// Puts the backup of one DLL (kGameDll or kClientDll) back over it, as
// RestoreBoth does for both: changed when restored; neither changed nor an
// error when it has no backup (it was never changed); else why not.
FileOutcome RestoreBackup(DllPatcher& patcher, RecordList versions, int fileNumber,
                          const ByteRanges& changeable);

// Both DLLs restored with the ranges of classes' tables as one change, under
// one change (change/change.h), through the same one-step replacement as every
// save; the backups stay. Each DLL and backup
// is read once, and every DLL with a backup is checked before either is
// written: either all of them are restored or none is. A backup that cannot
// be the DLL's original (it differs outside the ranges the tables name, or
// the DLL is an untouched file that versions declare and the backup differs
// from it), one that matches no fingerprint versions declare, a DLL that
// cannot be opened for writing (in use, access denied) or a failed save holds
// the other back too; a DLL without a backup (never changed) does not. A
// change stopped half way is undone first (undone says so); when it cannot
// be, the restore goes ahead from the backups all the same and clears its
// journal. text has one line per DLL of what happened, with the reason of a
// failure, as the window and the console show it; failures are logged. When
// putting a restored DLL back after a failed save fails too, that DLL is
// said to be restored, and a last line says the two are apart.
struct RestoreReport {
  std::vector<FileOutcome> files;  // one per DLL
  int restored = 0;
  int failed = 0;
  std::string text;
  std::string undone;  // "An interrupted change was undone: ...\n", or ""
};
RestoreReport RestoreBoth(DllPatcher& patcher, RecordList versions, RecordList classes);

#endif  // ORVANEL_EXCHANGE_RESTORE_H_
