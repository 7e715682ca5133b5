// POSIX: a record lock on the first byte of a lock file that is never reached
// through a link. It is the lock Wine takes on the same file for the Windows
// build's LockFileEx, so the two builds exclude each other on one folder. An
// open-file-description lock (Linux) ends with its descriptor, and two in
// one process exclude each other too; elsewhere a classic record lock.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "io/change_lock.h"

namespace {

#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
#else
constexpr int kSetLock = F_SETLK;
#endif

}  // namespace

bool TryLockFile(const char* nativePath, intptr_t* handle, bool* busy) {
  *busy = false;
  int descriptor = open(nativePath, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (descriptor < 0) return false;
  struct flock firstByte = {};
  firstByte.l_type = F_WRLCK;
  firstByte.l_whence = SEEK_SET;
  firstByte.l_start = 0;
  firstByte.l_len = 1;  // the range LockFileEx(…, 0, 1, 0, …) takes
  if (fcntl(descriptor, kSetLock, &firstByte) != 0) {
    *busy = errno == EAGAIN || errno == EACCES;
    int error = errno;
    close(descriptor);
    errno = error;
    return false;
  }
  *handle = descriptor;
  return true;
}

void UnlockFile(intptr_t handle) {
  close(static_cast<int>(handle));  // releases the lock
}
