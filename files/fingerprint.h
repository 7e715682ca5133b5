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
#include "files/pe_version.h"
#include "io/file_error.h"
#include "tables/data_files.h"

struct FileFingerprint {
  std::string name;   // the file's name as found in the folder
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

// The fingerprint version declares for the file named fileName (letter case
// aside); an absent one when that is none of its files.
const DllFingerprint& DeclaredFor(const VersionRecord& version, const std::string& fileName);

// The one test that a backup there can be the DLL's original, beyond what
// ReadBackupOf found: when the DLL is the untouched file of a version that
// versions declare, a backup that differs from it is not its original. Marks
// files' backup unusable then.
void JudgeBackup(RecordList versions, DllAndBackup* files);

// Reads the DLL at dllPath and its backup once, with the ranges the tables
// name in that file, and judges the backup (JudgeBackup).
DllAndBackup ReadDllFiles(const char* dllPath, RecordList versions, RecordList classes,
                          SaveSteps& steps = SaveSteps::System());

// The untouched form's fingerprint: a backup that cannot be the original, or
// a DLL that was not read, leaves it unknown with the reason.
FileFingerprint UntouchedFingerprint(const DllAndBackup& files);

// kNone when version declares nothing for the DLL of files, or its untouched
// form matches what it declares; else why that DLL must not change: a
// malformed declaration, an unknown untouched form (the backup's or the
// DLL's error), or a mismatch (kNotTheVersion: found the fingerprint and
// what a PE file says it is, expected the declared one).
FileError FingerprintRefusal(const VersionRecord& version, const DllAndBackup& files);

// True when version declares a fingerprint for each of its files and found
// (fingerprints of the folder's files, told apart by name) matches every one.
bool MatchesAll(const VersionRecord& version, const std::vector<FileFingerprint>& found);

// The untouched fingerprints of the files at paths (each file and backup
// read once); an empty path (no game folder) leaves its fingerprint unknown.
std::vector<FileFingerprint> UntouchedFingerprints(const std::vector<std::string>& paths,
                                                   RecordList versions, RecordList classes);

// What the untouched form of a file says it is, in words: "d2game.dll is
// file version 1.0.13.60, built 2010-03-11"; "" when it is no PE file, or
// says nothing.
std::string FoundVersionWords(const FileFingerprint& found);

// The position of the one version that MatchesAll; -1 when no game folder is
// set, or no version or more than one matches.
int32_t DetectVersion(RecordList versions, const std::vector<FileFingerprint>& found);

// For restore, which has no selected version: kNone when no version declares
// a fingerprint for the DLL at dllPath or one matches its backup's bytes;
// else why the backup is the original of no version.
FileError UnknownOriginal(RecordList versions, const std::string& dllPath, const uint8_t* bytes,
                          size_t size);

// What check tells about the files (found as UntouchedFingerprints gives
// them): "" when no version declares a fingerprint; else the versions whose
// fingerprints they match, or that they match none and what they are (with
// what a PE file says it is). The files the player has are information, not
// a problem of the tables.
std::string DllVersionNote(RecordList versions, const std::vector<FileFingerprint>& found);

#endif  // ORVANEL_FILES_FINGERPRINT_H_
