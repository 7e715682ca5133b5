// Why something did not happen to a file: one value that the core fills where
// the failure happens, with the operating system's own code (errno or
// GetLastError) and the file it concerns, and that both front ends turn into
// words through one table (UserReason), so that the window, the console and
// log.txt say the same.
#ifndef ORVANEL_IO_FILE_ERROR_H_
#define ORVANEL_IO_FILE_ERROR_H_

#include <string>

enum class Problem {
  kNone,
  kInUse,     // another program holds the file (the game is running)
  kDenied,    // the folder or file needs rights the program does not have
  kNotFound,  // the file or its folder is not there
  kDiskFull,
  kTable,     // a table entry is wrong; detail names the file and line
  kBusy,      // another Orvanel holds the folder's lock
  kBackup,    // the backup there cannot be the original; detail says why
  kRefused,   // the tables or the DLLs do not fit this exchange; detail says how
  kHeldBack,  // not tried, so that an exchange is not left half done
  kOther,     // detail says what failed; code may tell more
};

struct FileError {
  Problem problem = Problem::kNone;
  int code = 0;        // the system's code; 0 when it gave none
  std::string file;    // Windows path of the file concerned
  std::string detail;  // what failed beyond the kind, in words
};

// The error the system reported for a file just now (or detail when it
// reported none): call it right after the failing call.
FileError SystemFileError(const std::string& file, const char* detail);

// ": <kind> (system error N)" for the end of a log line; "" for kNone.
std::string LogReason(const FileError& error);
// The reason in plain words with the next step, for the result box. Access
// denied to a file of Orvanel's own folder (data\..., log.txt) says to
// unpack Orvanel where the user can write.
std::string UserReason(const FileError& error);
// How the front end sets the game folder, for the hints that name it
// ("File > Set .dll Location" unless changed).
void SetFolderStep(const char* step);

// Platform calls (file_error_posix.cpp, file_error_win32.cpp).
int LastSystemError();
void SetSystemError(int code);
Problem ProblemOfSystemError(int code);

#endif  // ORVANEL_IO_FILE_ERROR_H_
