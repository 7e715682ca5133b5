#include "io/change_lock.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "io/file_paths.h"
#include "io/save_steps.h"

namespace {

constexpr int kPollMilliseconds = 20;

std::string LockPathBeside(const char* fileInFolder) {
  return FolderPartOf(fileInFolder) + "orvanel.lock";
}

// Temporary files of dead runs; links among them are removed, not followed.
void RemoveLeftovers(const std::string& lockPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path folder = fs::path(NativePath(lockPath.c_str())).parent_path();
  if (folder.empty()) folder = ".";
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (IsTemporaryName(it->path().filename().string())) {
      RemoveWithoutFollowing(it->path().string().c_str());
    }
  }
}

}  // namespace

ChangeLock::ChangeLock(const char* fileInFolder, int waitMilliseconds)
    : path_(LockPathBeside(fileInFolder)) {
  if (fileInFolder[0] == '\0') return;  // no folder: nothing to lock, nothing to change
  std::string native = NativePath(path_.c_str());
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
  while (!(held_ = TryLockFile(native.c_str(), &handle_, &busy_)) && busy_ &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
  }
  if (!held_ && !busy_) error_ = LastSystemError();
  if (held_) RemoveLeftovers(path_);
}

FileError ChangeLock::Error(const char* dllPath) const {
  if (held_) return FileError();
  if (busy_) return {Problem::kBusy, 0, path_, ""};
  // Waiting or trying again never helps there.
  FileError notAFile = NotAFile(path_.c_str());
  if (notAFile.Failed()) return notAFile;
  FileError error{error_ != 0 ? ProblemOfSystemError(error_) : Problem::kNotFound, error_, path_,
                  "could not be made"};
  if (error.problem == Problem::kNotFound) error.file = dllPath;
  if (error.problem == Problem::kOther) error.detail = "could not be made, so nothing can change";
  return error;
}

ChangeLock::~ChangeLock() {
  if (held_) UnlockFile(handle_);
}
