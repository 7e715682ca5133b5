// Which file the tables are for. A DLL's fingerprint is its size and CRC-32
// (zlib's crc32) in its untouched form: the backup where one is there and can
// be the original (files/backup.h), else the DLL itself. A version of
// data\versions.txt that declares a fingerprint for a DLL is for that file
// only (tables/fingerprint_token.h). Everything here works on bytes already
// read (DllAndBackup); nothing reads a file.
#ifndef ORVANEL_FILES_FINGERPRINT_H_
#define ORVANEL_FILES_FINGERPRINT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/backup.h"
#include "io/file_error.h"
#include "tables/data_files.h"
#include "files/pe_version.h"

struct FileFingerprint {
  bool read = false;  // false: the untouched form is unknown, why says why
  uint64_t size = 0;
  uint32_t crc = 0;
  std::string source;  // the file measured, as a native path
  PeVersion pe;        // what the measured bytes say they are
  FileError why;
};

// The CRC-32 of files' DLL, taken at most once (from the backup's, when that
// was taken and the backup is usable).
uint32_t DllCrc(const DllAndBackup& files);

// The one test that a backup there can be the DLL's original, beyond what
// ReadBackupOf found: when the DLL is the untouched file of a version that
// versions declare, a backup that differs from it is not its original. Marks
// files' backup unusable then.
void JudgeBackup(RecordList versions, int fileNumber, DllAndBackup* files);

// Reads the DLL of fileNumber and its backup once, with the ranges of classes'
// tables, and judges the backup (JudgeBackup).
DllAndBackup ReadDllFiles(const char* dllPath, RecordList versions, RecordList classes,
                          int fileNumber, SaveSteps& steps = SaveSteps::System());

// The untouched form's fingerprint: a backup that cannot be the original, or
// a DLL that was not read, leaves it unknown with the reason.
FileFingerprint UntouchedFingerprint(const DllAndBackup& files);

// kNone when version declares nothing for the DLL of fileNumber, or the
// untouched form of files matches what it declares; else why that DLL must
// not change: a malformed declaration, an unknown untouched form (the
// backup's or the DLL's error), or a mismatch, e.g. "d2game.dll is not the
// 1.09d file these tables are for: found 1048576:1A2B3C4D, expected
// 1060864:0F1E2D3C", followed by what a PE file found says it is
// (" (d2game.dll is file version 1.0.13.60, built 2010-03-11)").
FileError FingerprintRefusal(const VersionRecord& version, int fileNumber,
                             const DllAndBackup& files);

// True when version declares fingerprints for both DLLs and both match.
bool MatchesBoth(const VersionRecord& version, const FileFingerprint found[2]);

// Both DLLs' untouched fingerprints for the patcher's folder (each DLL and
// backup read once).
// An empty path (no game folder) leaves its fingerprint unknown.
void UntouchedFingerprints(const char* gameDll, const char* clientDll, RecordList versions,
                           RecordList classes, FileFingerprint found[2]);

// What the untouched form of the DLL of fileNumber says it is, in words:
// "d2game.dll is file version 1.0.13.60, built 2010-03-11"; "" when it is no
// PE file, or says nothing.
std::string FoundVersionWords(int fileNumber, const FileFingerprint& found);

// The position of the one version that MatchesBoth; -1 when no game folder
// is set, or no version or more than one matches.
int32_t DetectVersion(RecordList versions, const FileFingerprint found[2]);

// For restore, which has no selected version: kNone when no version declares
// a fingerprint for the DLL of fileNumber or one matches the backup's bytes;
// else why the backup at backupPath is the original of no version.
FileError UnknownOriginal(RecordList versions, int fileNumber, const std::string& backupPath,
                          const uint8_t* bytes, size_t size);

// What check tells about the DLLs (found as UntouchedFingerprints gives
// them): "" when no version declares a fingerprint; else the versions whose
// fingerprints they match, or that they match none and what they are (with
// what a PE file says it is). The
// DLLs the player has are information, not a problem of the tables.
std::string DllVersionNote(RecordList versions, const FileFingerprint found[2]);

#endif  // ORVANEL_FILES_FINGERPRINT_H_
