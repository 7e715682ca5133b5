// What a game file says it is: the file version of its version resource
// (VS_FIXEDFILEINFO) and the build time stamp of its COFF header, read from
// bytes already in memory. A file that is not PE, or is damaged, simply has
// neither; nothing outside the bytes given is ever read.
#ifndef ORVANEL_FILES_PE_VERSION_H_
#define ORVANEL_FILES_PE_VERSION_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "io/file_error.h"
#include "io/save_steps.h"

struct PeVersion {
  bool hasFileVersion = false;
  uint16_t fileVersion[4] = {};  // A.B.C.D
  bool hasBuildTime = false;
  uint32_t buildTime = 0;  // seconds since 1970-01-01 UTC
};

PeVersion ReadPeVersion(const uint8_t* bytes, size_t size);

// "d2game.dll is file version 1.0.13.60, built 2010-03-11", with only the
// parts the file has; "" when it has neither.
std::string PeVersionWords(const char* fileName, const PeVersion& version);

// "1.0.13.60" and "2010-03-11" (UTC).
std::string FileVersionText(const PeVersion& version);
std::string BuildDateText(uint32_t buildTime);

// From 1.14 on the game has no d2game.dll: Game.exe holds its skills. For a
// missing d2game.dll in a folder that holds Game.exe, that, with what
// Game.exe says it is (kElsewhere); kNone for any other missing file.
FileError KeptInGameExe(SaveSteps& steps, const char* dllPath);

#endif  // ORVANEL_FILES_PE_VERSION_H_
