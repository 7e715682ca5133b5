// Windows: files are read, not mapped. A mapped view would stop the safe
// save from moving the new DLL over the file it views.
#include "io/whole_file.h"

bool MapWholeStream(FILE*, size_t, ByteStore*) {
  return false;
}

void UnmapView(uint8_t*, size_t) {}
