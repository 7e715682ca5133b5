// The data\config.txt reader (the DllPatcher constructor) on arbitrary bytes,
// then StoreFolder with the input as a picked folder and a fresh read of what
// it stored. The folder and paths must match the simple reading of the
// setting line, and every folder that can be stored must read back the same.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference_tables.h"
#include "io/file_paths.h"
#include "patch/dll_patcher.h"

namespace {

bool IsFolder(const std::string& windowsPath) {
  std::error_code error;
  return std::filesystem::is_directory(NativePath(windowsPath.c_str()), error);
}

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The folder a configuration file gives: empty when it sets none.
std::string ExpectedFolder(const std::string& content) {
  std::vector<std::string> pieces = ReferencePieces(content);
  if (pieces.empty() || pieces[0].compare(0, 7, "Folder:") != 0) return "";
  const std::string& line = pieces[0];
  size_t start = 7;
  while (start < line.size() && IsWhiteSpace(line[start])) ++start;
  size_t end = start;
  while (end < line.size() && !IsWhiteSpace(line[end])) ++end;
  std::string stored = line.substr(start, end - start);
  if (stored.size() > static_cast<size_t>(kMaxFolderLength)) return "";
  std::string decoded = stored;
  std::replace(decoded.begin(), decoded.end(), '_', ' ');
  return !IsFolder(decoded) && IsFolder(stored) ? stored : decoded;
}

void CheckPaths(const DllPatcher& patcher, const std::string& folder) {
  if (folder.empty()) {
    FUZZ_CHECK(patcher.dllPaths[kGameDll][0] == '\0');
    FUZZ_CHECK(patcher.dllPaths[kClientDll][0] == '\0');
  } else {
    FUZZ_CHECK(patcher.dllPaths[kGameDll] == folder + "\\d2game.dll");
    FUZZ_CHECK(patcher.dllPaths[kClientDll] == folder + "\\d2client.dll");
  }
  FUZZ_CHECK(patcher.dllPaths[2][0] == '\0');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterEmptyScratchFolder();
  std::string input(reinterpret_cast<const char*>(data), size);
  WriteScratchFile("data/config.txt", data, size);

  auto patcher = std::make_unique<DllPatcher>();
  std::string folder = ExpectedFolder(input);
  FUZZ_CHECK(patcher->folder == folder);
  CheckPaths(*patcher, folder);
  FUZZ_CHECK(patcher->image == nullptr && patcher->imageSize == 0);

  // The same bytes as a folder the picker gave.
  std::string picked = input.substr(0, input.find('\0'));
  // Too long to keep, or a control character data\config.txt cannot hold:
  // refused, and nothing changes.
  bool control = std::any_of(picked.begin(), picked.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
  });
  if (picked.size() > static_cast<size_t>(kMaxFolderLength) || control) {
    FUZZ_CHECK(patcher->StoreFolder(picked.c_str()) == 0);
    FUZZ_CHECK(patcher->folder == folder);
    CheckPaths(*patcher, folder);
    FUZZ_CHECK(ReadWholeFile("data/config.txt") == input);
    return 0;
  }
  FUZZ_CHECK(patcher->StoreFolder(picked.c_str()) == 1);
  std::string stored = picked;
  std::replace(stored.begin(), stored.end(), ' ', '_');
  FUZZ_CHECK(patcher->folder == stored);
  FUZZ_CHECK(patcher->dllPaths[kGameDll] == picked + "\\d2game.dll");
  FUZZ_CHECK(patcher->dllPaths[kClientDll] == picked + "\\d2client.dll");
  FUZZ_CHECK(ReadWholeFile("data/config.txt") == "Folder: " + stored);

  // Blanks come back from underscores; a folder without underscores or other
  // white space must survive the next start unchanged.
  bool survives = !picked.empty() && picked.find('_') == std::string::npos;
  auto reread = std::make_unique<DllPatcher>();
  FUZZ_CHECK(reread->folder == ExpectedFolder("Folder: " + stored));
  if (survives && (IsFolder(picked) || !IsFolder(stored))) {
    FUZZ_CHECK(reread->folder == picked);
    CheckPaths(*reread, picked);
  }
  return 0;
}
