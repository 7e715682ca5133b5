// The program names its files with Windows paths ("data\classes.txt",
// "C:\Games\d2game.dll"). Windows accepts '/' as a separator too, so turning
// every '\' into '/' gives a path that opens the same file on every platform.
#ifndef ORVANEL_IO_FILE_PATHS_H_
#define ORVANEL_IO_FILE_PATHS_H_

#include <cstdio>
#include <string>

// A path that begins with "data\" names a file of the data folder, which is
// "data" in the current directory unless SetDataFolder chose another one.
std::string NativePath(const char* windowsPath);

// windowsPath as the user reads it, in the chosen data folder (as NativePath)
// and with one kind of separator: the platform's own.
std::string ShownPath(const std::string& windowsPath);

// Makes folder (any path; null or empty: back to "data") the data folder.
void SetDataFolder(const char* folder);

// fopen on NativePath(windowsPath); null when it fails or when something
// other than a regular file (a FIFO, a folder) stands there. A text file
// opened for reading ("r") starts after its UTF-8 byte-order mark, which
// Notepad writes and which would otherwise read as part of the first line.
FILE* OpenFile(const char* windowsPath, const char* mode);

// Why a file of the program's own cannot be at windowsPath because something
// else stands there (a link, a folder, a FIFO or device), with the way out:
// "<path> is a folder, not a file: remove it ...". "" when a regular file or
// nothing is there.
std::string NotAFileReason(const char* windowsPath);

#endif  // ORVANEL_IO_FILE_PATHS_H_
