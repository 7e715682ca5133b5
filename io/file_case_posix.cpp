#include <filesystem>
#include <system_error>

#include "io/file_case.h"
#include "io/file_paths.h"

namespace {

char FoldedAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualButCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldedAscii(a[i]) != FoldedAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string FindFileName(const char* folder, const char* name, FileError* error) {
  *error = FileError();
  std::error_code failure;
  std::filesystem::directory_iterator entries(NativePath(folder), failure);
  std::string found;
  // A folder that cannot be listed leaves the name as given: opening it
  // then says what is wrong.
  for (; !failure && entries != std::filesystem::directory_iterator(); entries.increment(failure)) {
    std::string entry = entries->path().filename().string();
    if (!EqualButCase(entry, name)) continue;
    if (!found.empty()) {
      *error = {Problem::kNameClash, 0, std::string(folder) + "\\" + name, found + " and " + entry};
      return name;
    }
    found = entry;
  }
  return found.empty() ? name : found;
}

FileError AmbiguousName(const char* path) {
  std::string folder = FolderPartOf(path);
  if (!folder.empty()) folder.pop_back();
  FileError error;
  FindFileName(folder.empty() ? "." : folder.c_str(), FileNameOf(path).c_str(), &error);
  return error;
}
