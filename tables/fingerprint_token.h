// The fingerprint tokens a version line of data\versions.txt may carry after
// the version's name, one per DLL: "d2game.dll=SIZE:CRC" and
// "d2client.dll=SIZE:CRC", SIZE the untouched file's size in decimal bytes,
// CRC its CRC-32 as exactly 8 hexadecimal digits (either case). A word that
// mentions a DLL ("d2game" or "d2client", in any letter case) but is not of
// that form is a malformed fingerprint, never a word to ignore: the author
// meant to declare one ("d2game.dll = ...", "d2game=...", "d2game.dll:...").
// Any other word after the name means nothing. A version whose files= names
// other files (tables/version_files.h) fingerprints those the same way:
// "Game.exe=3614696:1A2B3C4D", a word that mentions "game" being meant for it.
#ifndef ORVANEL_TABLES_FINGERPRINT_TOKEN_H_
#define ORVANEL_TABLES_FINGERPRINT_TOKEN_H_

#include <cstddef>
#include <cstdint>
#include <string>

// File numbers: which DLL a load, a save or an aspect concerns.
constexpr int kGameDll = 0;    // d2game.dll
constexpr int kClientDll = 1;  // d2client.dll

// The DLLs in the order of the file numbers (d2game.dll first).
constexpr int kFingerprintDlls = 2;
extern const char* const kFingerprintDllNames[kFingerprintDlls];

struct DllFingerprint {
  enum State { kAbsent, kDeclared, kMalformed };
  State state = kAbsent;
  uint64_t size = 0;
  uint32_t crc = 0;
  // For a malformed one: the token as written (cut) and what is wrong.
  char token[64] = {};
  const char* problem = "";
};

// -1 when word mentions no DLL; else the DLL's index, with *fingerprint
// declared or malformed.
int ParseFingerprintToken(const char* word, DllFingerprint* fingerprint);
// The same over the count files of names (a version's files=): the index of
// the file word is meant for.
int ParseFingerprintToken(const char* word, const std::string* names, int count,
                          DllFingerprint* fingerprint);

// "SIZE:CRC" with the CRC as 8 upper-case digits, e.g. "1048576:1A2B3C4D".
std::string FingerprintText(uint64_t size, uint32_t crc);

#endif  // ORVANEL_TABLES_FINGERPRINT_TOKEN_H_
