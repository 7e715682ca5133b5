#include "patch/save_steps.h"

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

void SaveSteps::Remove(const char* path) {
  std::remove(NativePath(path).c_str());
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
