#include "io/whole_file.h"

#include <cstring>
#include <new>

#include "io/file_paths.h"

ByteStore& ByteStore::operator=(ByteStore&& other) noexcept {
  if (this != &other) {
    reset();
    bytes_ = other.bytes_;
    mappedLength_ = other.mappedLength_;
    other.bytes_ = nullptr;
    other.mappedLength_ = 0;
  }
  return *this;
}

ByteStore ByteStore::New(size_t size) {
  ByteStore store;
  store.bytes_ = new (std::nothrow) uint8_t[size > 0 ? size : 1];
  return store;
}

ByteStore ByteStore::Copy(const uint8_t* bytes, size_t size) {
  ByteStore store = New(size);
  if (store != nullptr && size > 0) std::memcpy(store.bytes_, bytes, size);
  return store;
}

ByteStore ByteStore::Mapped(uint8_t* view, size_t mappedLength) {
  ByteStore store;
  store.bytes_ = view;
  store.mappedLength_ = mappedLength;
  return store;
}

void ByteStore::reset() {
  if (bytes_ != nullptr && mappedLength_ > 0) UnmapView(bytes_, mappedLength_);
  if (bytes_ != nullptr && mappedLength_ == 0) delete[] bytes_;
  bytes_ = nullptr;
  mappedLength_ = 0;
}

bool ReadWholeStream(FILE* file, ByteBuffer* bytes) {
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length < 0 || length > INT32_MAX || std::fseek(file, 0, SEEK_SET) != 0) return false;
  ByteStore read;
  if (!MapWholeStream(file, static_cast<size_t>(length), &read)) {
    read = ByteStore::New(static_cast<size_t>(length));
    if (read == nullptr) return false;
    if (std::fread(read.get(), 1, static_cast<size_t>(length), file) !=
            static_cast<size_t>(length) ||
        std::fgetc(file) != EOF || std::ferror(file) != 0) {
      return false;
    }
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
