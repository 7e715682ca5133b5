// Why something did not happen to a file: one value that the core fills where
// the failure happens, with the operating system's own code (errno or
// GetLastError) and the file it concerns, and that both front ends turn into
// words through one table (UserReason), so that the window, the console and
// log.txt say the same.
#ifndef ORVANEL_IO_FILE_ERROR_H_
#define ORVANEL_IO_FILE_ERROR_H_

#include <string>
#include <utility>

enum class Problem {
  kNone,
  kInUse,        // another program holds the file (the game is running)
  kInUseUnread,  // the same, found while reading, before anything was written
  kDenied,       // the folder or file needs rights the program does not have
  kNotFound,     // the file or its folder is not there
  kDiskFull,
  kTable,         // a table entry is wrong; detail names the file and line
  kBusy,          // another Orvanel holds the folder's lock
  kBackup,        // the backup there cannot be the original; detail says why
  kHeldBack,      // not tried, so that an exchange is not left half done
  kApart,         // a rollback failed: detail says which DLL is changed and which not
  kElsewhere,     // file is missing; its folder holds found (detail: a file of skills)
  kNotAFile,      // a link, folder or device where a file of the program's own goes; detail: which
  kNameClash,     // two names in the folder differ only in letter case; detail: "A and B"
  kLinkToBackup,  // the DLL is a link to a backup; detail: the backup it leads to
  kJournalKept,   // a stopped change cannot be undone, so its journal stays; detail: why not
  // What keeps a stopped change from being undone.
  kJournalDamaged,       // file is no journal this program wrote; detail: what is wrong
  kJournalTooLarge,      // file is longer than any change of the tables writes
  kJournalUnread,        // file (the journal, or a DLL it names) cannot be read
  kJournalForeignDll,    // it names found, no game DLL
  kJournalUntabledByte,  // it changes byte found of DLL file, which no table names
  kJournalOverlap,       // two of its ranges of DLL file overlap
  kJournalTooMuch,       // its ranges of DLL file hold more than a change writes
  kJournalNamesTwice,    // it names a DLL twice
  kJournalDllMissing,    // the DLL file it names is missing
  kChangedSince,         // the DLL file was changed by something else since
  kUndoWouldRemove,      // undoing would remove file, which the change brought back
  // The DLLs and the version's fingerprints (versions.txt).
  kNotTheVersion,      // file is not detail's file: found and expected fingerprints
  kOtherVersion,       // the DLLs are the files of version detail
  kUndeclaredVersion,  // version detail declares none; the DLLs are found's files
  kUnknownOriginal,    // the backup file of DLL detail is no version's: found, expected
  kNoVersionMatches,   // no single version's fingerprints match the DLLs
  kLineInPieces,       // file's line is longer than detail characters
  kFilesUnreadable,    // file's line: the files token found cannot be read; detail: why
  kSkillMoved,         // the box shows expected (at detail), file's line holds found
  // A swap set and what its lines name.
  kSetUnreadable,   // the swap set file cannot be read; detail: what stands there
  kSetLine,         // the set's line is no set line; detail: why
  kUnknownVersion,  // no version is named found
  kUnknownClass,    // no class is named found
  kUnknownSkill,    // class detail has no skill named found
  kNoSkillTable,    // version detail has no table that lists the skills
  kRangeOutside,    // detail's offsets found do not lie inside file (expected bytes)
  kSizeChange,      // file would change its size
  kForeignBytes,    // detail: bytes no exchange made
  // A game folder data\config.txt cannot keep.
  kFolderTooLong,  // found characters long, at most expected
  kFolderControl,  // holds control character found at position detail
  // Faults of the machine or of a caller.
  kReadBackDiffers,  // the file written did not read back as written
  kOutOfMemory,      // file could not be changed for want of memory
  kNotLoaded,        // a save of file without its image loaded first
  kNoSuchDll,        // no DLL has the file number detail
  kOther,            // a system failure of no known kind: detail says what failed, code why
};

// The step of a safe save that failed, for the log's words.
enum class SaveStep { kNone, kCreate, kWrite, kVerify, kReplace, kRemove };

// What became of the operation as a whole because of this failure.
enum class Severity {
  kNone,      // nothing went wrong
  kRefused,   // judged before anything was written: nothing changed
  kFailed,    // a step that writes failed; the result says what changed
  kHeldBack,  // not tried, so that a change is not left half done
};

struct FileError {
  FileError() = default;
  FileError(Problem problem, int code, std::string file, std::string detail)
      : problem(problem), code(code), file(std::move(file)), detail(std::move(detail)) {}

  Problem problem = Problem::kNone;
  int code = 0;        // the system's code; 0 when it gave none
  std::string file;    // Windows path of the file concerned
  std::string detail;  // what failed beyond the kind, in words
  int line = 0;        // the line of file, for a table entry; 0 when none
  std::string expected;
  std::string found;
  SaveStep step = SaveStep::kNone;

  bool Failed() const { return problem != Problem::kNone; }
};

// One file of a change of several: what became of it.
struct FileOutcome {
  std::string file;  // Windows path
  bool changed = false;
  FileError error;  // kNone when it is as the change meant it to be
};

// The error the system reported for a file just now (or detail when it
// reported none): call it right after the failing call.
FileError SystemFileError(const std::string& file, const char* detail);

// Why a file of the program's own cannot be at windowsPath because something
// else stands there (a link, a folder, a FIFO or device), with the way out:
// "<path> is a folder, not a file: remove it ...". kNone when a regular file or
// nothing is there.
FileError NotAFile(const char* windowsPath);

// ": <kind> (system error N)" for the end of a log line; "" for kNone.
std::string LogReason(const FileError& error);
// The reason in plain words with the next step, for the result box. Access
// denied to a file of Orvanel's own folder (data\..., log.txt) says to
// unpack Orvanel where the user can write.
std::string UserReason(const FileError& error);
// The severity the wording table gives the kind.
Severity SeverityOf(const FileError& error);
// The log line's first words for a failed save step of file ("Couldn't
// replace file d2game.dll"); "" when no step failed.
std::string SaveStepWords(const FileError& error);
// How the front end sets the game folder, for the hints that name it
// ("File > Set .dll Location" unless changed).
void SetFolderStep(const char* step);

// Platform calls (file_error_posix.cpp, file_error_win32.cpp).
int LastSystemError();
void SetSystemError(int code);
Problem ProblemOfSystemError(int code);

#endif  // ORVANEL_IO_FILE_ERROR_H_
