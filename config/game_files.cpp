#include "config/game_files.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "io/file_case.h"
#include "io/file_paths.h"
#include "tables/data_files.h"
#include "tables/exchange_plan.h"

namespace {

const VersionFiles kDefaultFiles;

void ClearPaths(char paths[kPathSlots][kTextSize]) {
  for (int n = 0; n < kPathSlots; ++n) paths[n][0] = '\0';
}

bool HoldsAll(const DllPatcher& patcher, const VersionFiles& files) {
  char paths[kPathSlots][kTextSize] = {};
  BuildFilePaths(patcher, files, paths);
  for (int n = 0; n < files.count; ++n) {
    std::error_code error;
    if (paths[n][0] == '\0' || !std::filesystem::exists(NativePath(paths[n]), error)) return false;
  }
  return true;
}

}  // namespace

void BuildFilePathsIn(const char* folder, const VersionFiles& files,
                      char paths[kPathSlots][kTextSize]) {
  bool fit = true;
  ClearPaths(paths);
  for (int n = 0; n < files.count; ++n) {
    // Two names that differ only in case are refused where the file is read.
    FileError ambiguous;
    std::string name = FindFileName(folder, files.names[n].c_str(), &ambiguous);
    fit = fit && std::snprintf(paths[n], kTextSize, "%s\\%s", folder, name.c_str()) < kTextSize;
  }
  if (!fit) ClearPaths(paths);
}

std::string GameFolderPath(const DllPatcher& patcher) {
  std::string folder = FolderPartOf(patcher.dllPaths[kGameDll]);
  return folder.empty() ? folder : folder.substr(0, folder.size() - 1);
}

void BuildFilePaths(const DllPatcher& patcher, const VersionFiles& files,
                    char paths[kPathSlots][kTextSize]) {
  std::string folder = GameFolderPath(patcher);
  if (folder.empty()) {
    ClearPaths(paths);
    return;
  }
  BuildFilePathsIn(folder.c_str(), files, paths);
}

const VersionFiles& FilesFor(const DllPatcher& patcher, RecordList versions, int32_t position) {
  if (position >= 0) return FilesOfVersion(versions, position);
  VersionFiles gameDll;
  gameDll.count = 1;
  if (!HasGameFolder(patcher) || HoldsAll(patcher, gameDll)) return kDefaultFiles;
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    const VersionFiles& files = static_cast<const VersionRecord*>(node)->files;
    if (!files.Malformed() && !files.AreDefault() && HoldsAll(patcher, files)) return files;
  }
  return kDefaultFiles;
}

void UseFilesOf(DllPatcher& patcher, RecordList versions, int32_t position) {
  if (!HasGameFolder(patcher)) return;
  char paths[kPathSlots][kTextSize] = {};
  BuildFilePaths(patcher, FilesFor(patcher, versions, position), paths);
  if (paths[kGameDll][0] == '\0') return;
  std::memcpy(patcher.dllPaths, paths, sizeof paths);
}

std::vector<std::string> NamedFilePaths(const DllPatcher& patcher, RecordList versions) {
  std::vector<std::string> paths;
  if (!HasGameFolder(patcher)) return paths;
  std::vector<std::string> names(kDefaultFiles.names, kDefaultFiles.names + kDefaultFiles.count);
  for (RecordNode* node = versions; node != nullptr; node = node->next) {
    const VersionFiles& files = static_cast<const VersionRecord*>(node)->files;
    for (int n = 0; n < files.count && !files.Malformed(); ++n) {
      bool known = false;
      for (const std::string& name : names) known = known || SameFileName(name, files.names[n]);
      if (!known) names.push_back(files.names[n]);
    }
  }
  std::string folder = GameFolderPath(patcher);
  for (const std::string& name : names) {
    FileError ambiguous;
    std::string found = FindFileName(folder.c_str(), name.c_str(), &ambiguous);
    paths.push_back(folder + "\\" + found);
  }
  return paths;
}
