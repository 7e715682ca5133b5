// The steps of a safe save, one call each, so that tests can make any one of
// them fail, and the safe save itself: a new temporary file beside the target,
// written, flushed, then moved over the target in one step. Paths are the
// program's Windows-style paths.
#ifndef ORVANEL_IO_SAVE_STEPS_H_
#define ORVANEL_IO_SAVE_STEPS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "io/file_error.h"
#include "io/whole_file.h"

class SaveSteps {
 public:
  virtual ~SaveSteps() = default;
  // Reads the file at path whole (a regular file only). False when it cannot
  // be; the system's code is left for SystemFileError.
  virtual bool ReadWhole(const char* path, ByteBuffer* bytes);
  // Opens path for reading and update ("rb+"), so that a file in use or
  // read-only is refused before anything is written; null when it cannot be.
  virtual FILE* OpenForUpdate(const char* path);
  // Creates path for binary writing. Fails (null) when anything stands there
  // already, a symbolic link included: a temporary file is never shared.
  virtual FILE* Open(const char* path);
  // Writes count bytes; false unless all were written.
  virtual bool Write(FILE* file, const uint8_t* bytes, size_t count);
  // Pushes the stream's buffer and the operating system's cache to the disk.
  virtual bool Flush(FILE* file);
  virtual bool Close(FILE* file);
  // Gives from the mode and owner (POSIX) or the attributes (Windows) of to,
  // when to exists, and moves from over to in one step, replacing to.
  virtual bool Replace(const char* from, const char* to);
  // Removes the file at path itself, never what a link there points to;
  // false when it is still there.
  virtual bool Remove(const char* path);
  // Makes the names created, moved and removed so far in the folder that
  // holds pathInFolder survive a power cut: a flushed file's name is not
  // durable until its folder is. Where order matters (the journal before the
  // first DLL, the last DLL before the journal's removal) a change calls it.
  virtual bool FlushFolder(const char* pathInFolder);

  // The real file system.
  static SaveSteps& System();
};

// A temporary file's path beside path: its folder, then "~ov", eight
// hexadecimal digits from tag and ".tmp". Fifteen characters fit wherever
// "d2client.dll" fits, so the longest folder still saves on Windows.
std::string TemporaryPathFor(const char* path, uint32_t tag);
// Whether a file name is one that TemporaryPathFor gives.
bool IsTemporaryName(const std::string& fileName);

// Replaces target by size bytes the safe way. The temporary file gets a name
// no other run uses; with verify it is read back and compared before the
// move. On any failure the temporary file is removed and target untouched,
// and the error says why: the step that failed, the system's code taken
// right after it, and the file it concerns (the temporary file when it could
// not be made, else target). kNone when saved.
FileError SaveBytes(SaveSteps& steps, const uint8_t* bytes, size_t size, const char* target,
                    bool verify);

// Platform calls, one file per platform.
bool FlushFileToDisk(FILE* file);
bool ReplaceFileAtomically(const char* fromNativePath, const char* toNativePath);
FILE* CreateNewFile(const char* nativePath);
bool RemoveWithoutFollowing(const char* nativePath);
bool FlushFolderOf(const char* nativePathInFolder);

#endif  // ORVANEL_IO_SAVE_STEPS_H_
