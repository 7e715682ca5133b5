// The game folder: read from data\config.txt at start, stored by StoreFolder.
// The file holds one line "Folder: " + the folder with every blank written as
// an underscore.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "config/folder_line.h"
#include "config/game_files.h"
#include "io/change_lock.h"
#include "io/file_case.h"
#include "io/file_paths.h"
#include "io/save_steps.h"
#include "patch/dll_patcher.h"
#include "patch/logger.h"
#include "tables/data_files.h"

namespace {

const char kConfigPath[] = "data\\config.txt";

void ReplaceAll(char* text, char from, char to) {
  for (; *text != '\0'; ++text) {
    if (*text == from) *text = to;
  }
}

// The folder of a setting line; false when the line is no setting line,
// carries no folder, or one too long for the DLL paths.
bool ParseSettingLine(const char* line, char folder[kTextSize]) {
  FolderLine read = ReadFolderLine(line);
  if (read.folder.empty() || read.folder.size() > static_cast<size_t>(kMaxFolderLength)) {
    return false;
  }
  std::snprintf(folder, kTextSize, "%s", read.folder.c_str());
  return true;
}

bool IsFolder(const char* windowsPath) {
  std::error_code error;
  return std::filesystem::is_directory(NativePath(windowsPath), error);
}

// The folder is at most kMaxFolderLength characters, so both paths fit a
// name as long as the one asked for.
void BuildDllPaths(const char* folder, char dllPaths[kPathSlots][kTextSize]) {
  BuildFilePathsIn(folder, VersionFiles(), dllPaths);
}

// The blank-or-underscore readings of a path tried at most, so that a
// folder with many underscores cannot stall the start.
constexpr int kMaxReadings = 4096;
constexpr int kMaxUnderscoresPerPart = 10;

// Extends reading by the parts of stored from at on, each underscore read as
// a blank or kept, until it names an existing folder; false when no reading
// within the budget does.
bool FindMixedReading(const std::string& stored, size_t at, std::string* reading, int* budget) {
  if (at >= stored.size()) return IsFolder(reading->c_str());
  size_t end = stored.find_first_of("\\/", at);
  if (end == std::string::npos) end = stored.size();
  std::string part = stored.substr(at, end - at);
  std::vector<size_t> underscores;
  for (size_t i = 0; i < part.size(); ++i) {
    if (part[i] == '_') underscores.push_back(i);
  }
  if (underscores.size() > static_cast<size_t>(kMaxUnderscoresPerPart)) return false;
  size_t length = reading->size();
  // Mask bit set: that underscore is a blank; all blanks first.
  for (uint32_t blanks = (1u << underscores.size()); blanks-- > 0;) {
    if (--*budget < 0) return false;
    std::string mixed = part;
    for (size_t b = 0; b < underscores.size(); ++b) {
      if (blanks & (1u << b)) mixed[underscores[b]] = ' ';
    }
    reading->resize(length);
    *reading += mixed;
    if (end < stored.size()) *reading += stored[end];
    // A part without underscores offers no choice; its folder is tested with the rest.
    if ((underscores.empty() || IsFolder(reading->c_str())) &&
        FindMixedReading(stored, end + 1, reading, budget)) {
      return true;
    }
  }
  reading->resize(length);
  return false;
}

}  // namespace

void DecodeStoredFolder(const char* stored, char folder[kTextSize]) {
  // Blanks were stored as underscores, so an underscore may stand for either.
  // Prefer the reading that names an existing folder: all blanks, the text as
  // stored, then blanks and underscores mixed.
  std::snprintf(folder, kTextSize, "%s", stored);
  ReplaceAll(folder, '_', ' ');
  if (IsFolder(folder)) return;
  if (IsFolder(stored)) {
    std::snprintf(folder, kTextSize, "%s", stored);
    return;
  }
  std::string reading;
  int budget = kMaxReadings;
  if (std::strchr(stored, '_') != nullptr && FindMixedReading(stored, 0, &reading, &budget)) {
    std::snprintf(folder, kTextSize, "%s", reading.c_str());
  }
}

DllPatcher::DllPatcher() {
  FILE* file = OpenFile(kConfigPath, "r");
  if (file == nullptr) return;
  char line[kLineSize];
  char stored[kTextSize];
  bool found = ReadDataLine(file, line) && ParseSettingLine(line, stored);
  std::fclose(file);
  if (!found) return;
  DecodeStoredFolder(stored, folder);
  BuildDllPaths(folder, dllPaths);
}

FileError FolderProblem(const char* path) {
  size_t length = std::strlen(path);
  if (length > static_cast<size_t>(kMaxFolderLength)) {
    FileError error{Problem::kFolderTooLong, 0, path, ""};
    error.found = std::to_string(length);
    error.expected = std::to_string(kMaxFolderLength);
    return error;
  }
  for (size_t at = 0; at < length; ++at) {
    unsigned char c = static_cast<unsigned char>(path[at]);
    if (c < 0x20 || c == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", c);
      FileError error{Problem::kFolderControl, 0, path, std::to_string(at + 1)};
      error.found = code;
      return error;
    }
  }
  return FileError();
}

int DllPatcher::UseFolder(const char* path) {
  if (path == nullptr || FolderProblem(path).Failed()) return 0;
  std::snprintf(folder, sizeof folder, "%s", path);
  BuildDllPaths(folder, dllPaths);
  return 1;
}

int DllPatcher::StoreFolder(const char* path, bool* kept) {
  bool ignored = false;
  if (kept == nullptr) kept = &ignored;
  *kept = false;
  if (!UseFolder(path)) return 0;
  ReplaceAll(folder, ' ', '_');

  // Whatever happens to the file, the folder holds for this run. The file is
  // replaced the safe way, so a failed write leaves the old setting whole.
  ChangeLock lock(kConfigPath);
  if (lock.Error(kConfigPath).problem == Problem::kBusy) {
    lastError = lock.Error(kConfigPath);
    logger.Print(
        "* Another Orvanel holds data\\orvanel.lock: %s not changed; the folder holds for this run "
        "only",
        kConfigPath);
    return 1;
  }
  std::string line = std::string("Folder: ") + folder;
  FileError error =
      lock.Held() ? SaveBytes(SaveSteps::System(), reinterpret_cast<const uint8_t*>(line.data()),
                              line.size(), kConfigPath, false)
                  : lock.Error(kConfigPath);
  // Kept means kept after a power cut too.
  if (!error.Failed() && !SaveSteps::System().FlushFolder(kConfigPath)) {
    error = SystemFileError(kConfigPath, "could not be replaced");
    error.step = SaveStep::kReplace;
  }
  *kept = !error.Failed();
  if (!*kept) {
    lastError = error;
    // The log names the setting file, whichever step failed.
    error.file = kConfigPath;
    if (error.step == SaveStep::kNone) error.step = SaveStep::kCreate;
    logger.Print("* %s%s", SaveStepWords(error).c_str(), LogReason(error).c_str());
  }
  return 1;
}
