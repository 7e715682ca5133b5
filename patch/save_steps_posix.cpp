// POSIX: fsync makes the bytes durable; rename replaces a file in one step,
// after the new file has taken the old one's mode and owner.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "patch/file_error.h"
#include "patch/save_steps.h"

bool FlushFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
  return fsync(fileno(file)) == 0;
}

bool ReplaceFileAtomically(const char* fromNativePath, const char* toNativePath) {
  struct stat old = {};
  if (stat(toNativePath, &old) == 0) {
    // Only root may give a file away; anyone else keeps the file as theirs.
    if ((old.st_uid != geteuid() || old.st_gid != getegid()) &&
        chown(fromNativePath, old.st_uid, old.st_gid) != 0 && geteuid() == 0) {
      return false;
    }
    if (chmod(fromNativePath, old.st_mode & 07777) != 0) return false;
  }
  return std::rename(fromNativePath, toNativePath) == 0;
}

FILE* CreateNewFile(const char* nativePath) {
  int descriptor =
      open(nativePath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (descriptor < 0) return nullptr;
  FILE* file = fdopen(descriptor, "wb");
  if (file == nullptr) close(descriptor);
  return file;
}

void RemoveWithoutFollowing(const char* nativePath) {
  unlink(nativePath);
}

int LastSystemError() {
  return errno;
}

void SetSystemError(int code) {
  errno = code;
}

Problem ProblemOfSystemError(int code) {
  switch (code) {
    case ETXTBSY:
    case EBUSY:
      return Problem::kInUse;
    case EACCES:
    case EPERM:
    case EROFS:
      return Problem::kDenied;
    case ENOENT:
    case ENOTDIR:
      return Problem::kNotFound;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:  // no room for the file either: a quota or a file-size limit
      return Problem::kDiskFull;
  }
  return Problem::kOther;
}
