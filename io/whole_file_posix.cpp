// POSIX: a file read whole is mapped privately instead of copied, on Linux,
// where the pages can be brought in at once and checked. Elsewhere it is read.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "io/whole_file.h"

#if defined(__linux__) && defined(MAP_POPULATE)

namespace {

// Whether every page of the view is in memory. A page the disk could not
// give would stop the program when first touched, where a read reports the
// error; so such a file is read instead.
bool AllPagesIn(void* view, size_t length) {
  long page = sysconf(_SC_PAGESIZE);
  if (page <= 0) return false;
  std::vector<unsigned char> in((length + static_cast<size_t>(page) - 1) /
                                static_cast<size_t>(page));
  if (mincore(view, length, in.data()) != 0) return false;
  for (unsigned char flags : in) {
    if ((flags & 1) == 0) return false;
  }
  return true;
}

}  // namespace

bool MapWholeStream(FILE* file, size_t length, ByteStore* bytes) {
  int descriptor = fileno(file);
  struct stat about = {};
  if (length == 0 || descriptor < 0 || fstat(descriptor, &about) != 0 || !S_ISREG(about.st_mode) ||
      static_cast<size_t>(about.st_size) != length) {
    return false;
  }
  // Read-only first: populating a writable private view would copy every page.
  void* view = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
  if (view == MAP_FAILED) return false;
  if (!AllPagesIn(view, length) || mprotect(view, length, PROT_READ | PROT_WRITE) != 0) {
    munmap(view, length);
    return false;
  }
  *bytes = ByteStore::Mapped(static_cast<uint8_t*>(view), length);
  return true;
}

void UnmapView(uint8_t* view, size_t mappedLength) {
  munmap(view, mappedLength);
}

#else

bool MapWholeStream(FILE*, size_t, ByteStore*) {
  return false;
}

void UnmapView(uint8_t*, size_t) {}

#endif
