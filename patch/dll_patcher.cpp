// Loading, changing and saving the one DLL image.
#include "patch/dll_patcher.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "patch/backup.h"
#include "patch/logger.h"
#include "patch/whole_file.h"
#include "tables/data_files.h"
#include "tables/file_paths.h"

namespace {

// Saves are written in pieces of this size, each write checked.
constexpr size_t kWriteChunk = 64 * 1024;

bool FileNumberIsValid(int fileNumber, int slots) {
  return fileNumber >= 0 && fileNumber < slots;
}

}  // namespace

int DllPatcher::LoadFile(int fileNumber) {
  if (!FileNumberIsValid(fileNumber, kPathSlots)) return 0;
  const char* path = dllPaths[fileNumber];
  FILE* file = path[0] != '\0' ? OpenFile(path, "rb+") : nullptr;
  if (file == nullptr) {
    logger.Print("* Couldn't open file %s", path);
    return 0;
  }

  std::unique_ptr<uint8_t[]> bytes;
  int32_t size = 0;
  bool read = ReadWholeStream(file, &bytes, &size);
  std::fclose(file);
  if (!read) {
    logger.Print("* Couldn't read file %s", path);
    return 0;
  }

  image = std::move(bytes);
  imageSize = size;
  loadedFile = fileNumber;
  return 1;
}

void DllPatcher::SetOffset(const char* text) {
  uint32_t value = 0;
  HexToNumber(&value, text);
  offset = static_cast<int32_t>(value);
}

void DllPatcher::ReadWindow(int32_t length) {
  std::memset(window, 0, sizeof window);
  if (length > kWindowSize) length = kWindowSize;
  for (int32_t i = 0; i < length; ++i) {
    int64_t at = static_cast<int64_t>(offset) + i;
    if (at >= 0 && at < imageSize) window[i] = image[at];
  }
  windowLength = length;
}

void DllPatcher::WriteWindow() {
  for (int32_t k = 0; k < windowLength; ++k) {
    int64_t at = static_cast<int64_t>(offset) + k;
    if (at >= 0 && at < imageSize) image[at] = window[k];
  }
}

int DllPatcher::SwapRanges(int32_t length, const char* offsetA, const char* offsetB) {
  const char* path = FileNumberIsValid(loadedFile, kPathSlots) ? dllPaths[loadedFile] : "";
  bool lengthFits = length >= 1 && length <= kWindowSize;
  int refused = 0;
  for (const char* text : {offsetA, offsetB}) {
    uint32_t start = 0;
    if (IsOffsetText(text)) HexToNumber(&start, text);
    bool inside = IsOffsetText(text) && lengthFits && image != nullptr &&
                  static_cast<uint64_t>(start) + static_cast<uint64_t>(length) <=
                      static_cast<uint64_t>(imageSize);
    if (!inside) {
      logger.Print("* Bad offset %s in file %s", text, path);
      ++refused;
    }
  }
  if (refused > 0) return 0;

  uint8_t first[kWindowSize];
  uint8_t second[kWindowSize];
  SetOffset(offsetA);
  ReadWindow(length);
  std::memcpy(first, window, length);
  SetOffset(offsetB);
  ReadWindow(length);
  std::memcpy(second, window, length);

  std::memcpy(window, first, length);
  WriteWindow();  // the former bytes of A now stand at B
  SetOffset(offsetA);
  std::memcpy(window, second, length);
  WriteWindow();  // and the former bytes of B at A; where they overlap, A wins
  return 1;
}

int DllPatcher::SaveFile(int fileNumber) {
  if (!FileNumberIsValid(fileNumber, 2)) return 0;
  const char* path = dllPaths[fileNumber];
  if (path[0] == '\0') {
    logger.Print("* Couldn't open file %s", path);
    return 0;
  }
  // Only the image of this very file may be written over it.
  if (image == nullptr || loadedFile != fileNumber) {
    logger.Print("* Couldn't write file %s", path);
    return 0;
  }
  // Before the first change the untouched file is kept beside it: no backup,
  // no change.
  if (!EnsureBackup(*saveSteps, path)) return 0;
  // A leftover from a save that was cut short is simply replaced.
  std::string temporary = TemporaryPathFor(path);
  saveSteps->Remove(temporary.c_str());

  FILE* file = saveSteps->Open(temporary.c_str());
  if (file == nullptr) {
    logger.Print("* Couldn't open file %s", path);
    return 0;
  }
  bool written = true;
  for (int32_t done = 0; written && done < imageSize;) {
    size_t piece = std::min(kWriteChunk, static_cast<size_t>(imageSize - done));
    written = saveSteps->Write(file, image.get() + done, piece);
    done += static_cast<int32_t>(piece);
  }
  written = written && saveSteps->Flush(file);
  written = saveSteps->Close(file) && written;
  if (!written) {
    saveSteps->Remove(temporary.c_str());
    logger.Print("* Couldn't write file %s", path);
    return 0;
  }
  if (!saveSteps->Replace(temporary.c_str(), path)) {
    saveSteps->Remove(temporary.c_str());
    logger.Print("* Couldn't open file %s", path);
    return 0;
  }
  return 1;
}
