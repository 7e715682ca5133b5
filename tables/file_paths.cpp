#include "tables/file_paths.h"

std::string NativePath(const char* windowsPath) {
  std::string path(windowsPath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

FILE* OpenFile(const char* windowsPath, const char* mode) {
  return std::fopen(NativePath(windowsPath).c_str(), mode);
}
