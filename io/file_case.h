// The game names its files D2Game.dll and D2Client.dll, and Windows finds a
// file whatever the letter case of its name. Where the file system tells
// case apart (a game folder inside a Wine or Proton prefix), a file is found
// the same way, so that a folder that works for the game works here.
#ifndef ORVANEL_IO_FILE_CASE_H_
#define ORVANEL_IO_FILE_CASE_H_

#include <string>

#include "io/file_error.h"

// The name of the file in folder (a Windows path) that name means: the one
// entry whose name equals name but for the letter case of A-Z, as found; name
// itself when there is none, and on Windows, where the system does this.
// Two or more such entries are ambiguous: *error (kNameClash) names two of
// them, and name itself is returned.
std::string FindFileName(const char* folder, const char* name, FileError* error);

// Why path (a Windows path) names no one file: two in its folder whose names
// differ only in letter case. kNone when it names one, or none.
FileError AmbiguousName(const char* path);

#endif  // ORVANEL_IO_FILE_CASE_H_
