#include "tables/file_paths.h"

#include <cstring>

namespace {

const char kDataPrefix[] = "data\\";

// Empty: the data folder is "data" in the current directory.
std::string& DataFolder() {
  static std::string folder;
  return folder;
}

}  // namespace

void SetDataFolder(const char* folder) {
  DataFolder() = folder != nullptr ? folder : "";
}

std::string NativePath(const char* windowsPath) {
  std::string path(windowsPath);
  size_t prefix = sizeof kDataPrefix - 1;
  if (!DataFolder().empty() && std::strncmp(windowsPath, kDataPrefix, prefix) == 0) {
    path = DataFolder() + "\\" + path.substr(prefix);
  }
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

FILE* OpenFile(const char* windowsPath, const char* mode) {
  return std::fopen(NativePath(windowsPath).c_str(), mode);
}
