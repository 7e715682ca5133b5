// Reading a whole file into memory, shared by the DLL loads and the backups.
#ifndef ORVANEL_IO_WHOLE_FILE_H_
#define ORVANEL_IO_WHOLE_FILE_H_

#include <cstdint>
#include <cstdio>
#include <memory>

// The bytes of a whole file, owned; the one buffer type of file contents.
struct ByteBuffer {
  std::unique_ptr<uint8_t[]> data;
  int32_t size = 0;
};

// Reads an open stream from its start to its end into a new buffer of exactly
// its size. False (bytes untouched) when the size cannot be told or exceeds
// 2 GiB, memory runs out, or the read falls short or runs long.
bool ReadWholeStream(FILE* file, ByteBuffer* bytes);

// The same for the file at a Windows path, opened for reading only; false
// also when it cannot be opened.
bool ReadWholeFile(const char* windowsPath, ByteBuffer* bytes);

#endif  // ORVANEL_IO_WHOLE_FILE_H_
