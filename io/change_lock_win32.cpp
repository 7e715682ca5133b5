// Windows: LockFileEx on a lock file that every run opens for reading and
// writing; the lock ends with the handle, or with the process.
#include <windows.h>

#include "io/change_lock.h"

bool TryLockFile(const char* nativePath, intptr_t* handle, bool* busy) {
  HANDLE file = CreateFileA(nativePath, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *busy = GetLastError() == ERROR_SHARING_VIOLATION;
    return false;
  }
  OVERLAPPED whole = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    *busy = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return false;
  }
  *busy = false;
  *handle = reinterpret_cast<intptr_t>(file);
  return true;
}

void UnlockFile(intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}
