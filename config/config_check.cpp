#include "config/config_check.h"

#include <cstdio>

#include "config/folder_line.h"
#include "io/file_paths.h"
#include "patch/dll_patcher.h"
#include "tables/data_files.h"

namespace {

const char kConfigPath[] = "data\\config.txt";

}  // namespace

int CheckConfig(std::vector<std::string>* findings) {
  FILE* file = OpenFile(kConfigPath, "r");
  if (file == nullptr) return 0;
  char line[kLineSize];
  DataLineReader reader(file);
  bool read = reader.Next(line);
  std::fclose(file);
  // The program reads the first data line only, and only a setting line.
  FolderLine setting = ReadFolderLine(line);
  if (!read || !setting.isSetting) return 0;
  const std::string& folder = setting.folder;
  std::string where = NativePath(kConfigPath) + ":" + std::to_string(reader.Line()) + ": ";
  int found = 0;
  if (reader.InPieces() || folder.size() > static_cast<size_t>(kMaxFolderLength)) {
    findings->push_back(where + "the folder is longer than " + std::to_string(kMaxFolderLength) +
                        " characters: it is not used, so no game folder is set");
    ++found;
  } else if (setting.written != folder) {
    findings->push_back(where + "the folder \"" + setting.written +
                        "\" is cut at a blank: it reads as \"" + folder +
                        "\" (write blanks as _, or set the folder again)");
    ++found;
  }
  return found;
}
