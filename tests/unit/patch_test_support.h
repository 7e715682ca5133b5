// Helpers for the tests of the patching core: DLL stand-ins with every byte
// value that text mode would mangle, the log's lines, and a patcher aimed at
// a folder without touching data\config.txt.
#ifndef ORVANEL_TESTS_UNIT_PATCH_TEST_SUPPORT_H_
#define ORVANEL_TESTS_UNIT_PATCH_TEST_SUPPORT_H_

#include <cstdio>
#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tests/unit/test_support.h"

// size bytes that differ from position to position and, from seed on, hold
// 0x00, 0x0A, 0x0D, 0x1A and 0xFF among them.
inline std::string DllBytes(size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  unsigned state = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 16);
  }
  static const char kAwkward[] = {0x00, 0x0A, 0x0D, 0x1A, '\xFF', 0x0D, 0x0A};
  for (size_t i = 0; i < sizeof kAwkward && i < size; ++i) bytes[i] = kAwkward[i];
  return bytes;
}

// The lines of log.txt without their line ends (CR LF on Windows).
inline std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  std::string text = ReadFileBytes("log.txt");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Aims the patcher's two DLL slots at folder (a Windows-style path).
inline void AimAt(DllPatcher& patcher, const char* folder) {
  std::snprintf(patcher.folder, sizeof patcher.folder, "%s", folder);
  std::snprintf(patcher.dllPaths[kGameDll], kTextSize, "%s\\d2game.dll", folder);
  std::snprintf(patcher.dllPaths[kClientDll], kTextSize, "%s\\d2client.dll", folder);
}

#endif  // ORVANEL_TESTS_UNIT_PATCH_TEST_SUPPORT_H_
