// The steps of a safe save, one call each, so that tests can make any one of
// them fail. Paths are the program's Windows-style paths.
#ifndef ORVANEL_PATCH_SAVE_STEPS_H_
#define ORVANEL_PATCH_SAVE_STEPS_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class SaveSteps {
 public:
  virtual ~SaveSteps() = default;
  // Creates or truncates path for binary writing; null on failure.
  virtual FILE* Open(const char* path);
  // Writes count bytes; false unless all were written.
  virtual bool Write(FILE* file, const uint8_t* bytes, size_t count);
  // Pushes the stream's buffer and the operating system's cache to the disk.
  virtual bool Flush(FILE* file);
  virtual bool Close(FILE* file);
  // Moves from over to in one step, replacing to.
  virtual bool Replace(const char* from, const char* to);
  virtual void Remove(const char* path);

  // The real file system.
  static SaveSteps& System();
};

// The file a save writes first, in the same folder as path, the file it is
// to replace, and with a name of the same length.
std::string TemporaryPathFor(const char* path);

// Platform calls, one file per platform.
bool FlushFileToDisk(FILE* file);
bool ReplaceFileAtomically(const char* fromNativePath, const char* toNativePath);

#endif  // ORVANEL_PATCH_SAVE_STEPS_H_
