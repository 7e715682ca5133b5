// The game folder: read from data\config.txt at start, stored by StoreFolder.
// The file holds one line "Folder: " + the folder with every blank written as
// an underscore.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "patch/change_lock.h"
#include "patch/dll_patcher.h"
#include "patch/logger.h"
#include "patch/save_steps.h"
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

void DecodeStoredFolder(const char* stored, char folder[kTextSize]) {
  // Blanks were stored as underscores, so an underscore may stand for either.
  // Prefer the reading that names an existing folder.
  std::snprintf(folder, kTextSize, "%s", stored);
  ReplaceAll(folder, '_', ' ');
  if (!IsFolder(folder) && IsFolder(stored)) std::snprintf(folder, kTextSize, "%s", stored);
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

int DllPatcher::UseFolder(const char* path) {
  if (path == nullptr || std::strlen(path) > static_cast<size_t>(kMaxFolderLength)) return 0;
  std::snprintf(folder, sizeof folder, "%s", path);
  BuildDllPaths(folder, dllPaths);
  return 1;
}

int DllPatcher::StoreFolder(const char* path) {
  if (!UseFolder(path)) return 0;
  ReplaceAll(folder, ' ', '_');

  // Whatever happens to the file, the folder holds for this run. The file is
  // replaced the safe way, so a failed write leaves the old setting whole.
  ChangeLock lock(kConfigPath);
  if (lock.State() == LockState::kBusy) {
    logger.Print(
        "* Another Orvanel holds data\\orvanel.lock: %s not changed; the folder holds for this run "
        "only",
        kConfigPath);
    return 1;
  }
  std::string line = std::string("Folder: ") + folder;
  SaveFailure failure =
      lock.Held() ? SaveBytes(SaveSteps::System(), reinterpret_cast<const uint8_t*>(line.data()),
                              line.size(), kConfigPath, false)
                  : SaveFailure::kCreate;
  if (failure == SaveFailure::kWrite || failure == SaveFailure::kVerify) {
    logger.Print("* Couldn't write file %s", kConfigPath);
  } else if (failure != SaveFailure::kNone) {
    logger.Print("* Couldn't open file %s", kConfigPath);
  }
  return 1;
}
