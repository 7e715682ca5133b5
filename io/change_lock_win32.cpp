// Windows: LockFileEx on a lock file that every run opens for reading and
// writing; the lock ends with the handle, or with the process.
#include <windows.h>

#include "io/change_lock.h"

LockState TryLockFile(const char* nativePath, intptr_t* handle) {
  HANDLE file = CreateFileA(nativePath, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_SHARING_VIOLATION ? LockState::kBusy : LockState::kFailed;
  }
  OVERLAPPED whole = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    bool busy = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return busy ? LockState::kBusy : LockState::kFailed;
  }
  *handle = reinterpret_cast<intptr_t>(file);
  return LockState::kHeld;
}

void UnlockFile(intptr_t handle) {
  CloseHandle(reinterpret_cast<HANDLE>(handle));
}
