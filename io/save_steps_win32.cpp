// Windows: _commit (FlushFileBuffers) makes the bytes durable; MoveFileExA
// replaces a file in one step, and fails (leaving it whole) while another
// program holds it. The new file takes the old one's attributes first.
// What the order of a change relies on here: _commit puts a file's bytes on
// the disk before it is moved; MOVEFILE_WRITE_THROUGH promises a flushed
// move for one done as copy and delete, and within one folder a move is a
// rename that NTFS writes to its log, whose records reach the disk in the
// order they were made. So a power cut may lose the last renames and
// removals, but never keeps a later one without the earlier: the journal is
// on the disk before any DLL that follows it. There is no folder to open
// and flush, so FlushFolderOf has nothing to do.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>

#include "io/save_steps.h"

namespace {

// What a replaced file keeps; read-only would make the move itself fail,
// and the program never changes a read-only DLL.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

bool FlushFileToDisk(FILE* file) {
  if (std::fflush(file) != 0) return false;
  return _commit(_fileno(file)) == 0;
}

bool ReplaceFileAtomically(const char* fromNativePath, const char* toNativePath) {
  DWORD old = GetFileAttributesA(toNativePath);
  if (old != INVALID_FILE_ATTRIBUTES && (old & kKeptAttributes) != 0 &&
      !SetFileAttributesA(fromNativePath, old & kKeptAttributes)) {
    return false;
  }
  if (MoveFileExA(fromNativePath, toNativePath,
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  // A file another program holds open (the game) refuses the move as "access
  // denied" too; telling the two apart gives the user the right next step.
  if (GetLastError() == ERROR_ACCESS_DENIED) {
    HANDLE probe =
        CreateFileA(toNativePath, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD why = probe == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    SetLastError(why == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
  }
  return false;
}

FILE* CreateNewFile(const char* nativePath) {
  // CREATE_NEW fails on anything already there, links included.
  HANDLE handle = CreateFileA(nativePath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(descriptor, "wb");
  if (file == nullptr) _close(descriptor);
  // Saves write whole pieces: a stream buffer would only split them.
  if (file != nullptr) setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

bool RemoveWithoutFollowing(const char* nativePath) {
  // Windows deletes no read-only file; a link's own mark is the link's.
  DWORD attributes = GetFileAttributesA(nativePath);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetFileAttributesA(nativePath, attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD why = GetLastError();
    return why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && DeleteFileA(nativePath) != 0;
}

bool FlushFolderOf(const char*) {
  return true;
}
