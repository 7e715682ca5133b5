// Windows: _commit makes the bytes durable; MoveFileExA replaces a file in
// one step, and fails (leaving it whole) while another program holds it.
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "patch/save_steps.h"

bool FlushFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
  return _commit(_fileno(file)) == 0;
}

bool ReplaceFileAtomically(const char* fromNativePath, const char* toNativePath) {
  return MoveFileExA(fromNativePath, toNativePath,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
