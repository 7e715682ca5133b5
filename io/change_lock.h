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

class ChangeLock {
 public:
  // Takes the lock of the folder that holds fileInFolder (a Windows path),
  // waiting at most waitMilliseconds while another run holds it. An empty
  // path names no folder: the lock is then not held.
  explicit ChangeLock(const char* fileInFolder, int waitMilliseconds = kLockWaitMilliseconds);
  ~ChangeLock();
  ChangeLock(const ChangeLock&) = delete;
  ChangeLock& operator=(const ChangeLock&) = delete;

  bool Held() const { return held_; }
  // Why it is not held (kNone when it is): kBusy, another run held it all
  // the time; or the system's reason the lock file could not be made (a
  // folder that is missing or not writable), naming the DLL for a folder
  // that is not there.
  FileError Error(const char* dllPath) const;
  // The lock file's Windows path, for messages.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool held_ = false;
  bool busy_ = false;
  intptr_t handle_ = -1;
  int error_ = 0;
};

// Platform calls, one file per platform: one attempt, no waiting. False when
// not taken; *busy then says whether another run holds it.
bool TryLockFile(const char* nativePath, intptr_t* handle, bool* busy);
void UnlockFile(intptr_t handle);

#endif  // ORVANEL_IO_CHANGE_LOCK_H_
