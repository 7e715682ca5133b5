#include "io/whole_file.h"

#include <new>

#include "io/file_paths.h"

bool ReadWholeStream(FILE* file, ByteBuffer* bytes) {
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length < 0 || length > INT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) return false;
  std::unique_ptr<uint8_t[]> read(new (std::nothrow) uint8_t[length > 0 ? length : 1]);
  if (read == nullptr) return false;
  if (std::fread(read.get(), 1, static_cast<size_t>(length), file) != static_cast<size_t>(length) ||
      std::fgetc(file) != EOF || std::ferror(file) != 0) {
    return false;
  }
  bytes->data = std::move(read);
  bytes->size = static_cast<int32_t>(length);
  return true;
}

bool ReadWholeFile(const char* windowsPath, ByteBuffer* bytes) {
  FILE* file = OpenFile(windowsPath, "rb");
  if (file == nullptr) return false;
  bool read = ReadWholeStream(file, bytes);
  std::fclose(file);
  return read;
}
