// POSIX: fsync makes the bytes durable; rename replaces a file in one step.
#include <unistd.h>

#include <cstdio>

#include "patch/save_steps.h"

bool FlushFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
  return fsync(fileno(file)) == 0;
}

bool ReplaceFileAtomically(const char* fromNativePath, const char* toNativePath) {
  return std::rename(fromNativePath, toNativePath) == 0;
}
