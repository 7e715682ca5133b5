// POSIX: fsync makes the bytes durable; rename replaces a file in one step,
// after the new file has taken the old one's mode and owner. A name made,
// moved or removed is durable only once its folder is flushed as well
// (fsync(2)); without that a power cut may keep a later rename and lose an
// earlier one.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "io/save_steps.h"

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
  // Saves write whole pieces: a stream buffer would only split them.
  if (file != nullptr) setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

bool RemoveWithoutFollowing(const char* nativePath) {
  return unlink(nativePath) == 0 || errno == ENOENT;
}

bool FlushFolderOf(const char* nativePathInFolder) {
  std::string folder(nativePathInFolder);
  size_t slash = folder.find_last_of('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return false;
  bool flushed = fsync(descriptor) == 0;
  return close(descriptor) == 0 && flushed;
}
