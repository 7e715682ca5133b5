// The process the crash test kills: it exchanges two 12-byte ranges of
// FOLDER/d2game.dll and saves the file, with the program's own load, swap
// and save, either once or over and over until it is killed. Each save turns
// the file into the other of its two states, so at any moment the file on
// disk must be one of them.
//   crash_saver FOLDER once|loop
#include <cstdio>
#include <cstring>

#include "patch/dll_patcher.h"
#include "patch/logger.h"

Logger logger;

namespace {

// Apart, inside a demo-sized file and past its header.
const char kFirstOffset[] = "1000";
const char kSecondOffset[] = "80000";

bool SaveOnce(DllPatcher& patcher) {
  return patcher.LoadFile(kGameDll) && patcher.SwapRanges(12, kFirstOffset, kSecondOffset) &&
         patcher.SaveFile(kGameDll);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[2], "once") != 0 && std::strcmp(argv[2], "loop") != 0)) {
    std::fprintf(stderr, "usage: crash_saver FOLDER once|loop\n");
    return 2;
  }
  DllPatcher patcher;
  if (!patcher.UseFolder(argv[1])) {
    std::fprintf(stderr, "crash_saver: expected a folder under %d characters, found %s\n",
                 kMaxFolderLength, argv[1]);
    return 2;
  }
  if (std::strcmp(argv[2], "once") == 0) return SaveOnce(patcher) ? 0 : 1;
  while (SaveOnce(patcher)) {
  }
  return 1;
}
