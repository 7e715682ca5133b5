// POSIX: the system's code is errno; what each code means for the user.
#include <errno.h>

#include "io/file_error.h"

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
