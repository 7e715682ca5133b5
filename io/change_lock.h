// One change at a time per folder: every operation that changes files in the
// game folder (or data\config.txt in the data folder) holds the folder's lock
// from its first read to its last write. It is an operating-system lock on
// the file "orvanel.lock" in that folder, so it dies with its process and a
// crash never leaves a stale lock. Taking it also clears away the temporary
// files of runs that died, which no live run can be writing then.
#ifndef ORVANEL_IO_CHANGE_LOCK_H_
#define ORVANEL_IO_CHANGE_LOCK_H_

#include <cstdint>
#include <string>

#include "io/file_error.h"

// How long a second run waits for the first before it refuses.
constexpr int kLockWaitMilliseconds = 3000;

enum class LockState { kHeld, kBusy, kFailed };

class ChangeLock {
 public:
  // Takes the lock of the folder that holds fileInFolder (a Windows path),
  // waiting at most waitMilliseconds while another run holds it. An empty
  // path names no folder: the lock is then kFailed.
  explicit ChangeLock(const char* fileInFolder, int waitMilliseconds = kLockWaitMilliseconds);
  ~ChangeLock();
  ChangeLock(const ChangeLock&) = delete;
  ChangeLock& operator=(const ChangeLock&) = delete;

  // kBusy: another run held it all the time; kFailed: the lock file cannot
  // be made (a folder that is missing or not writable).
  LockState State() const { return state_; }
  bool Held() const { return state_ == LockState::kHeld; }
  // Why it is not held: kBusy, or the system's reason the lock file could
  // not be made, naming the DLL for a folder that is not there.
  FileError Error(const char* dllPath) const;
  // The lock file's Windows path, for messages.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  LockState state_ = LockState::kFailed;
  intptr_t handle_ = -1;
  int error_ = 0;
};

// Platform calls, one file per platform: one attempt, no waiting.
LockState TryLockFile(const char* nativePath, intptr_t* handle);
void UnlockFile(intptr_t handle);

#endif  // ORVANEL_IO_CHANGE_LOCK_H_
