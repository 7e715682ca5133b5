// Reading a whole file into memory, shared by the DLL loads and the backups.
#ifndef ORVANEL_IO_WHOLE_FILE_H_
#define ORVANEL_IO_WHOLE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <utility>

// Owned bytes: memory of their own, or a private view of a file that was read
// whole (changes stay in memory, never reach the file). Moves, never copies.
// There is no way to hand it a pointer, so how the bytes are given back
// always matches how they were got.
class ByteStore {
 public:
  ByteStore() = default;
  ByteStore(ByteStore&& other) noexcept { *this = std::move(other); }
  ByteStore& operator=(ByteStore&& other) noexcept;
  ByteStore(const ByteStore&) = delete;
  ByteStore& operator=(const ByteStore&) = delete;
  ~ByteStore() { reset(); }

  // size bytes of new memory (at least one, so that an empty file still has
  // bytes); none when memory runs out.
  static ByteStore New(size_t size);
  // New memory holding a copy of size bytes; none when memory runs out.
  static ByteStore Copy(const uint8_t* bytes, size_t size);
  // Takes over a view of mappedLength bytes that MapWholeStream made.
  static ByteStore Mapped(uint8_t* view, size_t mappedLength);

  uint8_t* get() const { return bytes_; }
  uint8_t& operator[](size_t at) const { return bytes_[at]; }
  bool operator==(std::nullptr_t) const { return bytes_ == nullptr; }
  bool operator!=(std::nullptr_t) const { return bytes_ != nullptr; }
  // Gives the bytes back; none are held after.
  void reset();

 private:
  uint8_t* bytes_ = nullptr;
  size_t mappedLength_ = 0;  // 0: the bytes came from new[]
};

// The bytes of a whole file, owned; the one buffer type of file contents.
struct ByteBuffer {
  ByteStore data;
  int32_t size = 0;
};

// Reads an open stream from its start to its end into a buffer of exactly
// its size. False (bytes untouched) when the size cannot be told or exceeds
// 2 GiB, memory runs out, or the read falls short or runs long.
bool ReadWholeStream(FILE* file, ByteBuffer* bytes);

// The same for the file at a Windows path, opened for reading only; false
// also when it cannot be opened.
bool ReadWholeFile(const char* windowsPath, ByteBuffer* bytes);

// Platform calls, one file per platform. Where the system can, a regular
// file of length bytes (the stream's whole file) becomes a private view with
// every page already in memory, so that nothing is copied; false when it
// cannot, and the caller reads instead.
bool MapWholeStream(FILE* file, size_t length, ByteStore* bytes);
void UnmapView(uint8_t* view, size_t mappedLength);

#endif  // ORVANEL_IO_WHOLE_FILE_H_
