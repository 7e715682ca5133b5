// POSIX: flock on a lock file that is never reached through a link.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "io/change_lock.h"

LockState TryLockFile(const char* nativePath, intptr_t* handle) {
  int descriptor = open(nativePath, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (descriptor < 0) return LockState::kFailed;
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    bool busy = errno == EWOULDBLOCK;
    close(descriptor);
    return busy ? LockState::kBusy : LockState::kFailed;
  }
  *handle = descriptor;
  return LockState::kHeld;
}

void UnlockFile(intptr_t handle) {
  close(static_cast<int>(handle));  // releases the lock
}
