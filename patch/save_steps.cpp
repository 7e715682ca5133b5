#include "patch/save_steps.h"

#include <filesystem>
#include <system_error>

#include "tables/file_paths.h"

FILE* SaveSteps::Open(const char* path) {
  return OpenFile(path, "wb");
}

bool SaveSteps::Write(FILE* file, const uint8_t* bytes, size_t count) {
  return std::fwrite(bytes, 1, count, file) == count;
}

bool SaveSteps::Flush(FILE* file) {
  return FlushFileToDisk(file);
}

bool SaveSteps::Close(FILE* file) {
  return std::fclose(file) == 0;
}

bool SaveSteps::Replace(const char* from, const char* to) {
  return ReplaceFileAtomically(NativePath(from).c_str(), NativePath(to).c_str());
}

// Windows deletes no read-only file; a stale temporary file that carries
// the mark would otherwise be reused, and renamed over the DLL with it.
void SaveSteps::Remove(const char* path) {
  std::string native = NativePath(path);
  std::error_code ignored;
  std::filesystem::permissions(native, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add, ignored);
  std::remove(native.c_str());
}

// As long as path itself: Windows refuses paths over 259 characters, and
// the longest DLL path is 255, so a longer name would fail every save of a
// long folder. The last character becomes '~' ('#' if it already is one).
std::string TemporaryPathFor(const char* path) {
  std::string temporary(path);
  if (temporary.empty()) return "~";
  temporary.back() = temporary.back() == '~' ? '#' : '~';
  return temporary;
}

SaveSteps& SaveSteps::System() {
  static SaveSteps system;
  return system;
}
