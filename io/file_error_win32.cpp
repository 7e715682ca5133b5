// Windows: the system's code is GetLastError; what each code means for the user.
#include <windows.h>

#include "io/file_error.h"

int LastSystemError() {
  return static_cast<int>(GetLastError());
}

void SetSystemError(int code) {
  SetLastError(static_cast<DWORD>(code));
}

Problem ProblemOfSystemError(int code) {
  switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return Problem::kInUse;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      return Problem::kDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return Problem::kNotFound;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Problem::kDiskFull;
  }
  return Problem::kOther;
}
