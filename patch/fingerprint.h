// Which file the tables are for. A DLL's fingerprint is its size and CRC-32
// (zlib's crc32) in its untouched form: the backup where one is there and can
// be the original (patch/backup.h), else the DLL itself. A version of
// data\versions.txt that declares a fingerprint for a DLL is for that file
// only (tables/fingerprint_token.h).
#ifndef ORVANEL_PATCH_FINGERPRINT_H_
#define ORVANEL_PATCH_FINGERPRINT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "patch/backup.h"
#include "patch/dll_patcher.h"
#include "tables/data_files.h"

static_assert(kGameDll == 0 && kClientDll == 1, "fingerprints are kept by file number");

struct FileFingerprint {
  bool read = false;  // false: neither the backup nor the DLL could be read
  uint64_t size = 0;
  uint32_t crc = 0;
  std::string source;  // the file measured, as a native path
};

uint32_t Crc32(const uint8_t* bytes, size_t size);

// The fingerprint of dllPath's untouched form; changeable are the ranges the
// tables name, in which a trusted backup may differ from the DLL.
FileFingerprint UntouchedFingerprint(const char* dllPath, const ByteRanges& changeable);

// "" when version declares nothing for the DLL of fileNumber, or found
// matches what it declares; else why that DLL must not change, e.g.
// "d2game.dll is not the 1.09d file these tables are for: found
// 1048576:1A2B3C4D, expected 1060864:0F1E2D3C". A malformed declaration and
// a file that cannot be read (found.read false) refuse too.
std::string FingerprintMismatch(const VersionRecord& version, int fileNumber,
                                const FileFingerprint& found);

// True when version declares fingerprints for both DLLs and both match.
bool MatchesBoth(const VersionRecord& version, const FileFingerprint found[2]);

// Both DLLs' untouched fingerprints for the patcher's folder.
void UntouchedFingerprints(const DllPatcher& patcher, RecordList classes, FileFingerprint found[2]);

// The position of the one version that MatchesBoth; -1 when no game folder
// is set, or no version or more than one matches.
int32_t DetectVersion(RecordList versions, const FileFingerprint found[2]);

// For restore, which has no selected version: "" when no version declares a
// fingerprint for the DLL of fileNumber or one matches the backup's bytes;
// else why the backup at backupPath is the original of no version.
std::string UnknownOriginal(RecordList versions, int fileNumber, const std::string& backupPath,
                            const uint8_t* bytes, size_t size);

// What check tells about the DLLs (found as UntouchedFingerprints gives
// them): "" when no version declares a fingerprint; else the versions whose
// fingerprints they match, or that they match none and what they are. The
// DLLs the player has are information, not a problem of the tables.
std::string DllVersionNote(RecordList versions, const FileFingerprint found[2]);

#endif  // ORVANEL_PATCH_FINGERPRINT_H_
