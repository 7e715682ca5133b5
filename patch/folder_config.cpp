// The game folder: read from data\config.txt at start, stored by StoreFolder.
// The file holds one line "Folder: " + the folder with every blank written as
// an underscore.
#include <cstring>
#include <filesystem>
#include <system_error>

#include "patch/dll_patcher.h"
#include "patch/logger.h"
#include "tables/data_files.h"
#include "tables/file_paths.h"

namespace {

const char kConfigPath[] = "data\\config.txt";

void ReplaceAll(char* text, char from, char to) {
  for (; *text != '\0'; ++text) {
    if (*text == from) *text = to;
  }
}

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The folder token of a setting line "Folder: <folder>": case matters, white
// space after the colon is optional, anything after the folder is ignored.
// False when the line is not a setting line, carries no folder, or one too
// long for the DLL paths.
bool ParseSettingLine(const char* line, char folder[kTextSize]) {
  static const char kKey[] = "Folder:";
  if (std::strncmp(line, kKey, sizeof kKey - 1) != 0) return false;
  const char* start = line + sizeof kKey - 1;
  while (IsWhiteSpace(*start)) ++start;
  const char* end = start;
  while (*end != '\0' && !IsWhiteSpace(*end)) ++end;
  size_t length = static_cast<size_t>(end - start);
  if (length == 0 || length > static_cast<size_t>(kMaxFolderLength)) return false;
  std::memcpy(folder, start, length);
  folder[length] = '\0';
  return true;
}

bool IsFolder(const char* windowsPath) {
  std::error_code error;
  return std::filesystem::is_directory(NativePath(windowsPath), error);
}

// The folder is at most kMaxFolderLength characters, so both paths fit.
void BuildDllPaths(const char* folder, char dllPaths[kPathSlots][kTextSize]) {
  if (std::snprintf(dllPaths[kGameDll], kTextSize, "%s\\d2game.dll", folder) >= kTextSize ||
      std::snprintf(dllPaths[kClientDll], kTextSize, "%s\\d2client.dll", folder) >= kTextSize) {
    dllPaths[kGameDll][0] = '\0';
    dllPaths[kClientDll][0] = '\0';
  }
}

}  // namespace

DllPatcher::DllPatcher() {
  FILE* file = OpenFile(kConfigPath, "r");
  if (file == nullptr) return;
  char line[kLineSize];
  char stored[kTextSize];
  bool found = ReadDataLine(file, line) && ParseSettingLine(line, stored);
  std::fclose(file);
  if (!found) return;

  // Blanks were stored as underscores, so an underscore may stand for either.
  // Prefer the reading that names an existing folder.
  std::memcpy(folder, stored, sizeof folder);
  ReplaceAll(folder, '_', ' ');
  if (!IsFolder(folder) && IsFolder(stored)) std::memcpy(folder, stored, sizeof folder);
  BuildDllPaths(folder, dllPaths);
}

int DllPatcher::UseFolder(const char* path) {
  if (path == nullptr || std::strlen(path) > static_cast<size_t>(kMaxFolderLength)) return 0;
  std::snprintf(folder, sizeof folder, "%s", path);
  BuildDllPaths(folder, dllPaths);
  return 1;
}

int DllPatcher::StoreFolder(const char* path) {
  if (!UseFolder(path)) return 0;
  ReplaceAll(folder, ' ', '_');

  FILE* file = OpenFile(kConfigPath, "w");
  if (file == nullptr) {
    logger.Print("* Couldn't open file %s", kConfigPath);
    return 1;  // the folder still holds for this run
  }
  bool written = std::fprintf(file, "Folder: %s", folder) >= 0;
  if (std::fclose(file) != 0 || !written) logger.Print("* Couldn't write file %s", kConfigPath);
  return 1;
}
