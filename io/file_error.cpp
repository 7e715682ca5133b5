#include "io/file_error.h"

#include <filesystem>
#include <system_error>

#include "io/file_paths.h"

namespace {

// Every kind: the short words of the log, and the box's text, where %f
// stands for the file, %n for its name alone, %o for its folder, %l for its line, %d for the
// detail, %e for what was expected, %g for what was found and %s for the
// front end's way to set the game folder.
struct Wording {
  Problem problem;
  Severity severity;
  const char* logWords;
  const char* userText;
};

const Wording kWordings[] = {
    {Problem::kInUse, Severity::kFailed, "in use by another program",
     "%f is in use by another program: close the game and try again"},
    {Problem::kInUseUnread, Severity::kRefused, "in use by another program",
     "%f is in use by another program: nothing was exchanged: close the game, then press Swap "
     "again"},
    {Problem::kDenied, Severity::kFailed, "access denied",
     "access to %f was denied: the folder needs administrator rights: run Orvanel as "
     "administrator, or move the game out of Program Files"},
    {Problem::kNotFound, Severity::kFailed, "not found",
     "%f was not found: check the game folder (%s)"},
    {Problem::kDiskFull, Severity::kFailed, "disk full",
     "the disk is full, so %f could not be written: free some space and try again"},
    {Problem::kTable, Severity::kRefused, "table problem",
     "%d: correct the table (orvanel-cli check lists them all)"},
    {Problem::kBusy, Severity::kRefused, "another Orvanel holds the lock",
     "another Orvanel is changing these files: try again when it has finished"},
    {Problem::kBackup, Severity::kRefused, "backup is not the original",
     "the backup %f %d, so it cannot be the original: if the DLL is untouched (after a game "
     "update), move the backup aside and try again"},
    {Problem::kHeldBack, Severity::kHeldBack, "held back",
     "held back so that the DLLs are not left half changed: the other line says what to do"},
    {Problem::kApart, Severity::kFailed, "left apart",
     "%d: orvanel.journal is kept, and the next change, or File > Restore Original DLLs "
     "(orvanel-cli restore), puts them together"},
    {Problem::kElsewhere, Severity::kRefused, "kept in another file",
     "%o holds %g and no %n: a version that keeps its skills in %d needs files=%d in "
     "versions.txt"},
    {Problem::kNotAFile, Severity::kRefused, "not a file",
     "%f is %d, not a file of Orvanel's: remove it, and Orvanel makes its own file there"},
    {Problem::kNameClash, Severity::kRefused, "names differ only in letter case",
     "the game folder holds both %d, whose names differ only in letter case, which Windows "
     "cannot tell apart: move the one that is not the game's out of the folder"},
    {Problem::kLinkToBackup, Severity::kRefused, "a link to a backup",
     "%f is a link to %d, a backup: the backup is never written through a link. Make %f a copy "
     "of the DLL (or a link to it), not a link to its backup"},
    {Problem::kJournalKept, Severity::kRefused, "a stopped change cannot be undone",
     "%d: nothing was written and orvanel.journal is kept: File > Restore Original DLLs (or "
     "orvanel-cli restore) brings back the original DLLs"},
    {Problem::kNotTheVersion, Severity::kRefused, "not the version's file",
     "%n is not the %d file these tables are for: found %g, expected %e"},
    {Problem::kOtherVersion, Severity::kRefused, "another version's files",
     "the DLLs are the %d files: choose %d"},
    {Problem::kUndeclaredVersion, Severity::kRefused, "another version's files",
     "version %d declares no fingerprints, but the DLLs are the %g files: choose %g"},
    {Problem::kUnknownOriginal, Severity::kRefused, "no version's original",
     "%f matches no version these tables declare for %d: found %g, expected %e"},
    {Problem::kNoVersionMatches, Severity::kRefused, "no version matches",
     "no single version's fingerprints match the DLLs: choose the version"},
    {Problem::kLineInPieces, Severity::kRefused, "line too long",
     "%f line %l is longer than %d characters and was read in pieces: its fingerprints cannot "
     "be trusted"},
    {Problem::kFilesUnreadable, Severity::kRefused, "files entry unreadable",
     "%f line %l: \"%g\" cannot be read (%d): this version exchanges nothing"},
    {Problem::kSkillMoved, Severity::kRefused, "another skill than shown",
     "the box shows \"%e\" (%d) but %f line %l is \"%g\": not exchanged"},
    {Problem::kSetUnreadable, Severity::kRefused, "swap set unreadable",
     "the swap set %f cannot be read: %d"},
    {Problem::kSetLine, Severity::kRefused, "not a swap set line", "line %l: %d"},
    {Problem::kUnknownVersion, Severity::kRefused, "unknown version", "unknown version \"%g\""},
    {Problem::kUnknownClass, Severity::kRefused, "unknown class", "unknown class \"%g\""},
    {Problem::kUnknownSkill, Severity::kRefused, "unknown skill", "unknown skill \"%g\" of %d"},
    {Problem::kNoSkillTable, Severity::kRefused, "no skill table",
     "version %d has no table that lists these skills"},
    {Problem::kRangeOutside, Severity::kRefused, "range outside the file",
     "%d offsets %g do not both lie inside %n (%e bytes)"},
    {Problem::kSizeChange, Severity::kRefused, "would change size",
     "%n would change its size, which no change does"},
    {Problem::kForeignBytes, Severity::kRefused, "changed by something else",
     "%d: restore the original DLLs to apply the set over it"},
    {Problem::kFolderTooLong, Severity::kRefused, "folder path too long",
     "the folder is %g characters long, at most %e fit"},
    {Problem::kFolderControl, Severity::kRefused, "control character in folder path",
     "the folder holds a control character (%g) at position %d, which data\\config.txt cannot "
     "keep"},
    {Problem::kJournalDamaged, Severity::kRefused, "journal damaged", "%f is damaged: %d"},
    {Problem::kJournalTooLarge, Severity::kRefused, "journal too large",
     "%f is larger than any change of the tables could write"},
    {Problem::kJournalUnread, Severity::kRefused, "cannot be read", "%f cannot be read"},
    {Problem::kJournalForeignDll, Severity::kRefused, "journal names no game DLL",
     "it names %g, which is no game DLL"},
    {Problem::kJournalUntabledByte, Severity::kRefused, "journal changes an untabled byte",
     "it changes byte %g of %n, which no table names"},
    {Problem::kJournalOverlap, Severity::kRefused, "journal ranges overlap",
     "two of its ranges of %n overlap"},
    {Problem::kJournalTooMuch, Severity::kRefused, "journal ranges too large",
     "its ranges of %n hold more bytes than a change of the tables writes"},
    {Problem::kJournalNamesTwice, Severity::kRefused, "journal names a DLL twice",
     "it names a DLL twice"},
    {Problem::kJournalDllMissing, Severity::kRefused, "DLL missing", "%f is missing"},
    {Problem::kChangedSince, Severity::kRefused, "changed by something else",
     "%f was changed by something else since a change was stopped half way"},
    {Problem::kUndoWouldRemove, Severity::kRefused, "undo would remove a DLL",
     "undoing it would remove %f, which the change brought back"},
    {Problem::kReadBackDiffers, Severity::kFailed, "did not read back as written",
     "%f did not read back as written: try again"},
    {Problem::kOutOfMemory, Severity::kFailed, "out of memory",
     "%f could not be changed: out of memory: close other programs and try again"},
    {Problem::kNotLoaded, Severity::kFailed, "not loaded before its save",
     "%f was not loaded before its save"},
    {Problem::kNoSuchDll, Severity::kFailed, "no such DLL", "no DLL has the number %d"},
    {Problem::kOther, Severity::kFailed, "failed", "%f %d"},
};

const Wording& WordingOf(Problem problem) {
  for (const Wording& wording : kWordings) {
    if (wording.problem == problem) return wording;
  }
  return kWordings[sizeof kWordings / sizeof kWordings[0] - 1];
}

std::string& FolderStep() {
  static std::string step = "File > Set .dll Location";
  return step;
}

std::string FieldText(char field, const FileError& error) {
  switch (field) {
    case 'f':
      return ShownPath(error.file);
    case 'n':
      return FileNameOf(error.file);
    case 'o': {
      std::string folder = FolderPartOf(error.file);
      return ShownPath(folder.empty() ? folder : folder.substr(0, folder.size() - 1));
    }
    case 'l':
      return std::to_string(error.line);
    case 'd':
      return error.detail;
    case 'e':
      return error.expected;
    case 'g':
      return error.found;
    case 's':
      return FolderStep();
    default:
      return std::string("%") + field;
  }
}

std::string Fill(const char* text, const FileError& error) {
  std::string filled;
  for (const char* c = text; *c != '\0'; ++c) {
    if (c[0] == '%' && c[1] != '\0') {
      filled += FieldText(*++c, error);
    } else {
      filled += *c;
    }
  }
  return filled;
}

// Orvanel's own files: the data folder's and log.txt beside the program. No
// administrator rights help there, and the advice names no file of its own.
bool InOwnFolder(const std::string& windowsPath) {
  return windowsPath.rfind("data\\", 0) == 0 || windowsPath == "log.txt";
}

const char kOwnFolderDenied[] =
    "Orvanel's own folder cannot be written: unpack Orvanel where you can write (not in "
    "Program Files) and start it there";

}  // namespace

Severity SeverityOf(const FileError& error) {
  return error.Failed() ? WordingOf(error.problem).severity : Severity::kNone;
}

std::string SaveStepWords(const FileError& error) {
  std::string file = error.file;
  switch (error.step) {
    case SaveStep::kCreate:
      return "Couldn't open file " + file;
    case SaveStep::kReplace:
      return "Couldn't replace file " + file;
    case SaveStep::kRemove:
      return "Couldn't remove file " + file;
    case SaveStep::kWrite:
    case SaveStep::kVerify:
      return "Couldn't write file " + file;
    case SaveStep::kNone:
      break;
  }
  return "";
}

void SetFolderStep(const char* step) {
  FolderStep() = step;
}

FileError SystemFileError(const std::string& file, const char* detail) {
  FileError error;
  error.code = LastSystemError();
  error.problem = error.code != 0 ? ProblemOfSystemError(error.code) : Problem::kOther;
  error.file = file;
  error.detail = detail;
  return error;
}

std::string LogReason(const FileError& error) {
  if (error.problem == Problem::kNone) return "";
  std::string code = "system error " + std::to_string(error.code);
  // A failure of no known kind: the log line says what failed, the code why.
  if (error.problem == Problem::kOther) return error.code != 0 ? ": " + code : "";
  std::string reason = std::string(": ") + WordingOf(error.problem).logWords;
  return error.code != 0 ? reason + " (" + code + ")" : reason;
}

std::string UserReason(const FileError& error) {
  if (error.problem == Problem::kDenied && InOwnFolder(error.file)) return kOwnFolderDenied;
  std::string reason = Fill(WordingOf(error.problem).userText, error);
  if (error.problem == Problem::kOther) {
    if (error.code != 0) reason += " (system error " + std::to_string(error.code) + ")";
    reason += ": try again";
  }
  return reason;
}

FileError NotAFile(const char* windowsPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::file_type type = fs::symlink_status(NativePath(windowsPath), error).type();
  const char* kind = type == fs::file_type::symlink     ? "a link"
                     : type == fs::file_type::directory ? "a folder"
                     : type == fs::file_type::regular || type == fs::file_type::not_found ||
                             type == fs::file_type::none
                         ? nullptr
                         : "something other than a file";
  if (kind == nullptr) return FileError();
  return {Problem::kNotAFile, 0, windowsPath, kind};
}
