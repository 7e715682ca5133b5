// One-time backups of the game DLLs: before the program first changes a DLL,
// the untouched file is copied to "<dll>.bak" beside it (d2game.dll.bak,
// d2client.dll.bak), checked by reading it back, and never overwritten after.
// An existing backup is trusted only when it can be this DLL's original.
// A DLL and its backup are read once per operation into a DllAndBackup that
// every check and the save share.
#ifndef ORVANEL_FILES_BACKUP_H_
#define ORVANEL_FILES_BACKUP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "io/file_error.h"
#include "io/save_steps.h"
#include "io/whole_file.h"
#include "tables/exchange_plan.h"

// dllPath + ".bak".
std::string BackupPath(const char* dllPath);

// Whether anything stands at dllPath's backup path, a link included.
bool BackupThere(const char* dllPath);

// A DLL and its backup as one operation read them, each at most once.
struct DllAndBackup {
  std::string path;          // the DLL's Windows path
  ByteBuffer dll;            // its bytes as read, before any change in memory
  FileError dllError;        // why it was not read; kNone when it was
  bool backupThere = false;  // something stands at path + ".bak", a link included
  ByteBuffer backup;
  // Why the backup cannot be the original (kBackup, naming the backup);
  // kNone when it can, or is not there.
  FileError backupRefusal;
  // The CRC-32s of dll and backup once taken (files/fingerprint.cpp), so
  // that each is taken at most once.
  mutable bool dllCrcTaken = false;
  mutable bool backupCrcTaken = false;
  mutable uint32_t dllCrc = 0;
  mutable uint32_t backupCrc = 0;
  // Where dll differs from a usable backup, as [start, end) changeable
  // ranges, found as the backup was judged (the DLL is always read first):
  // the DLL's CRC follows from the backup's and these, with no second
  // comparison.
  std::vector<std::pair<size_t, size_t>> differing;

  bool DllRead() const { return dllError.problem == Problem::kNone; }
  bool BackupUsable() const { return backupThere && !backupRefusal.Failed(); }
  // The backup's refusal (kNone when it is usable or absent).
  const FileError& BackupError() const { return backupRefusal; }
  // Marks the backup as not the original, for why (e.g. "is not a file").
  void RefuseBackup(const std::string& why);
};

// The ranges as sorted, disjoint [start, end) intervals, overlapping ones joined.
std::vector<std::pair<size_t, size_t>> MergedRanges(const ByteRanges& ranges);

// Reads the DLL at path for reading only, then its backup (ReadBackupOf).
DllAndBackup ReadDllAndBackup(const char* path, const ByteRanges& changeable,
                              SaveSteps& steps = SaveSteps::System());
// With files->path and files->dll already set (or dllError saying why not):
// reads the backup, if one is there, and judges whether it can be the DLL's
// original: a regular file, not a link, of the DLL's size, equal to the DLL
// outside changeable. With the DLL unread, only the file itself counts.
void ReadBackupOf(DllAndBackup* files, const ByteRanges& changeable,
                  SaveSteps& steps = SaveSteps::System());

// Why backup (size bytes) cannot be the original of dll (dllSize bytes): what
// differs, with the sizes expected and found; kNone when it can, that is when
// it equals dll outside every changeable range.
FileError ContentMismatch(const uint8_t* backup, size_t size, const uint8_t* dll, size_t dllSize,
                          const ByteRanges& changeable);

// kNone when files' DLL has a backup that can be its original (made now from
// files.dll, or there before and judged so); else why the change must not go
// ahead, and the reason is logged. A new backup is written, flushed, read back
// and moved into place with steps.
FileError EnsureBackup(SaveSteps& steps, const DllAndBackup& files);

#endif  // ORVANEL_FILES_BACKUP_H_
