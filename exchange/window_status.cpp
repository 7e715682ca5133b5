#include "exchange/window_status.h"

#include <zlib.h>

#include <cstring>

#include "change/transaction.h"
#include "config/game_files.h"
#include "io/change_lock.h"
#include "io/file_paths.h"
#include "io/whole_file.h"
#include "tables/data_files.h"
#include "tables/exchange_plan.h"
#include "tables/table_check.h"

namespace {

// The sections of the player's README.txt that each state points to.
const char kUnpackSection[] = " (README.txt, section 3)";
const char kTablesSection[] = " (README.txt, section 2)";
const char kFolderSection[] = " (README.txt, section 5)";
const char kUndoSection[] = " (README.txt, section 6)";

std::string TableOf(RecordList versions, const RecordNode* classRecord, int32_t version) {
  char path[kLineSize] = "";
  if (classRecord == nullptr || !SkillTablePath(versions, classRecord->name, version, path)) {
    return "";
  }
  return ShownPath(path);
}

// Which of files the folder lacks: "d2game.dll", "d2game.dll or
// d2client.dll", "".
std::string MissingFiles(const VersionFiles& files, const std::vector<FileFingerprint>& found) {
  std::string missing;
  for (const FileFingerprint& file : found) {
    int n = files.IndexOf(file.name);
    if (n < 0 || file.read || file.why.problem != Problem::kNotFound) continue;
    missing += (missing.empty() ? "" : " or ") + files.names[n];
  }
  return missing;
}

// The files' names for the player: "d2game.dll and d2client.dll", "Game.exe".
std::string FileNames(const VersionFiles& files) {
  return files.count == 1 ? files.names[0] : files.names[0] + " and " + files.names[1];
}

// What the files the version names say they are: " (d2game.dll is file
// version 1.0.13.60, built 2010-03-11)", or "" when they say nothing.
std::string SaidByFiles(const VersionFiles& files, const std::vector<FileFingerprint>& found) {
  std::string said;
  for (const FileFingerprint& file : found) {
    if (files.IndexOf(file.name) < 0) continue;
    std::string words = FoundVersionWords(file);
    if (!words.empty()) said += (said.empty() ? "" : "; ") + words;
  }
  return said.empty() ? "" : " (" + said + ")";
}

bool DeclaresAny(const VersionRecord& version) {
  for (const DllFingerprint& fingerprint : version.fingerprints) {
    if (fingerprint.state == DllFingerprint::kDeclared) return true;
  }
  return false;
}

// "1.09d is not ...: the DLLs are the 1.09b files: choose 1.09b", or "".
std::string OtherVersion(RecordList versions, int32_t selected,
                         const std::vector<FileFingerprint>& found) {
  auto* version = static_cast<const VersionRecord*>(AtPosition(versions, selected));
  if (version == nullptr || !DeclaresAny(*version) || MatchesAll(*version, found)) return "";
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    auto* other = static_cast<const VersionRecord*>(node);
    if (other == version || !MatchesAll(*other, found)) continue;
    return std::string(version->name) + " is not the version of these DLLs" +
           SaidByFiles(other->files, found) + ": the DLLs are the " + other->name +
           " files: choose " + other->name;
  }
  return "";
}

bool NoClassHasSkills(RecordList classes, int32_t version) {
  for (RecordNode* node = classes; node != nullptr; node = node->next) {
    if (static_cast<const ClassRecord*>(node)->SkillsOf(version) != nullptr) return false;
  }
  return true;
}

std::string EmptyClass(RecordList versions, RecordList classes, const WindowSelection& selection) {
  for (int32_t position : {selection.firstClass, selection.secondClass}) {
    auto* record = static_cast<const ClassRecord*>(AtPosition(classes, position));
    if (record == nullptr || record->SkillsOf(selection.version) != nullptr) continue;
    return std::string("Class \"") + record->name + "\" has no skills yet: fill " +
           TableOf(versions, record, selection.version) + " with your DLLs' offsets" +
           kTablesSection;
  }
  return "";
}

// The first finding about the files the selected version reads: the version
// and class lists, the tables whose names the skill boxes show and its own.
std::string FirstFinding(RecordList versions, RecordList classes, int32_t version,
                         const std::vector<std::string>& findings) {
  std::vector<std::string> read = {NativePath("data\\versions.txt"),
                                   NativePath("data\\classes.txt")};
  for (RecordNode* node = classes; node != nullptr; node = node->next) {
    for (int32_t position : {0, version}) {
      char path[kLineSize];
      if (SkillTablePath(versions, node->name, position, path)) read.push_back(NativePath(path));
    }
  }
  for (const std::string& text : findings) {
    TableFinding finding;
    if (!SplitFinding(text, &finding)) continue;
    for (const std::string& path : read) {
      if (finding.path == path) return FindingInWords(finding) + kTablesSection;
    }
  }
  return "";
}

// What Orvanel's own files stand in the way with: tables changed since the
// start, a folder it cannot write.
std::string OwnFilesLine(const WindowFacts& facts) {
  if (facts.tablesChanged) {
    return "The tables in data\\ changed since Orvanel started: close Orvanel and start it "
           "again to use them; nothing is exchanged until then";
  }
  if (!facts.ownFolderWritable) {
    return UserReason({Problem::kDenied, 0, "data\\config.txt", ""}) + kUnpackSection;
  }
  return "";
}

// Tables with nothing to offer, as the release's come: before the game
// folder, since without them it serves nothing.
std::string NothingToOfferLine(RecordList versions, RecordList classes, int32_t version,
                               const WindowFacts& facts) {
  // No version to choose: the check says why (versions.txt missing, say).
  if (version < 0) {
    std::string line = FirstFinding(versions, classes, 0, facts.findings);
    return line.empty() ? "Choose a version in the Version box" : line;
  }
  if (classes == nullptr) {
    return ShownPath("data\\classes.txt") + " lists no class yet: write one class a line" +
           kTablesSection;
  }
  if (NoClassHasSkills(classes, version)) {
    return "The skill tables come empty: write your DLLs' offsets into " +
           TableOf(versions, classes, version) + " and the other classes' tables" + kTablesSection;
  }
  return "";
}

std::string GameFolderLine(RecordList versions, int32_t version, const WindowFacts& facts) {
  if (!facts.folderSet) {
    return std::string("The game folder is not set: choose File > Set .dll Location") +
           kFolderSection;
  }
  const VersionFiles& files = FilesOfVersion(versions, version);
  for (const FileFingerprint& file : facts.found) {
    // A folder of a later version, whose Game.exe keeps the skills.
    if (files.IndexOf(file.name) >= 0 && file.why.problem == Problem::kElsewhere) {
      return UserReason(file.why) + kTablesSection;
    }
  }
  std::string missing = MissingFiles(files, facts.found);
  if (!missing.empty()) {
    return "The game folder holds no " + missing +
           ": choose File > Set .dll Location and pick the folder with " + FileNames(files) +
           kFolderSection;
  }
  if (facts.journalLeft) {
    return std::string(
               "A change was stopped half way and could not be undone: choose File > "
               "Restore Original DLLs") +
           kUndoSection;
  }
  return OtherVersion(versions, version, facts.found);
}

}  // namespace

std::string StatusLine(RecordList versions, RecordList classes, const WindowSelection& selection,
                       const WindowFacts& facts) {
  std::string line = OwnFilesLine(facts);
  if (line.empty()) line = NothingToOfferLine(versions, classes, selection.version, facts);
  if (line.empty()) line = GameFolderLine(versions, selection.version, facts);
  if (line.empty()) line = EmptyClass(versions, classes, selection);
  if (line.empty()) line = FirstFinding(versions, classes, selection.version, facts.findings);
  return line.empty() ? "Ready: pick two skills, tick what to exchange and press Swap" : line;
}

WindowFacts ReadWindowFacts(const DllPatcher& patcher, RecordList versions, RecordList classes,
                            uint32_t loadedStamp) {
  WindowFacts facts;
  facts.tablesChanged = TablesStamp(versions, classes) != loadedStamp;
  // Another Orvanel holding the lock has written there, so only a lock file
  // that cannot be made says the folder is closed to this user.
  ChangeLock probe("data\\config.txt", 0);
  facts.ownFolderWritable = probe.Error("data\\config.txt").problem != Problem::kDenied;
  facts.folderSet = HasGameFolder(patcher);
  if (facts.folderSet) {
    facts.found = UntouchedFingerprints(NamedFilePaths(patcher, versions), versions, classes);
    facts.journalLeft = !PendingChangeLine(patcher, versions, classes).empty();
  }
  CheckTables(versions, classes, &facts.findings, nullptr);
  return facts;
}

uint32_t TablesStamp(RecordList versions, RecordList classes) {
  std::vector<std::string> paths = {"data\\versions.txt", "data\\classes.txt"};
  int32_t positions = VersionPositions(versions);
  for (RecordNode* node = classes; node != nullptr; node = node->next) {
    for (int32_t version = 0; version < positions; ++version) {
      char path[kLineSize];
      if (SkillTablePath(versions, node->name, version, path)) paths.push_back(path);
    }
  }
  uLong crc = crc32(0L, Z_NULL, 0);
  for (const std::string& path : paths) {
    ByteBuffer bytes;
    // A file that is gone counts as one byte, so that its loss shows too.
    static const Bytef kGone = 0;
    crc = ReadWholeFile(path.c_str(), &bytes)
              ? crc32(crc, bytes.data.get(), static_cast<uInt>(bytes.size))
              : crc32(crc, &kGone, 1);
  }
  return static_cast<uint32_t>(crc);
}
