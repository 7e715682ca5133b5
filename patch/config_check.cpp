#include "patch/config_check.h"

#include <cstdio>
#include <cstring>

#include "io/file_paths.h"
#include "patch/dll_patcher.h"
#include "tables/data_files.h"

namespace {

const char kConfigPath[] = "data\\config.txt";
const char kKey[] = "Folder:";

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

int CheckConfig(std::vector<std::string>* findings) {
  FILE* file = OpenFile(kConfigPath, "r");
  if (file == nullptr) return 0;
  char line[kLineSize];
  DataLineReader reader(file);
  bool read = reader.Next(line);
  std::fclose(file);
  // The program reads the first data line only, and only a setting line.
  if (!read || std::strncmp(line, kKey, sizeof kKey - 1) != 0) return 0;
  const char* start = line + sizeof kKey - 1;
  while (IsWhiteSpace(*start)) ++start;
  const char* end = start;
  while (*end != '\0' && !IsWhiteSpace(*end)) ++end;
  const char* last = start + std::strlen(start);
  while (last > end && IsWhiteSpace(last[-1])) --last;
  std::string folder(start, end);
  std::string where = NativePath(kConfigPath) + ":" + std::to_string(reader.Line()) + ": ";
  int found = 0;
  if (reader.InPieces() || folder.size() > static_cast<size_t>(kMaxFolderLength)) {
    findings->push_back(where + "the folder is longer than " + std::to_string(kMaxFolderLength) +
                        " characters: it is not used, so no game folder is set");
    ++found;
  } else if (last > end) {
    std::string written(start, last);
    findings->push_back(where + "the folder \"" + written + "\" is cut at a blank: it reads as \"" +
                        folder + "\" (write blanks as _, or set the folder again)");
    ++found;
  }
  return found;
}
