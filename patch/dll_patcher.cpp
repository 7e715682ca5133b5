// Loading, changing and saving the one DLL image.
#include "patch/dll_patcher.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "files/backup.h"
#include "files/dll_file.h"
#include "files/dll_links.h"
#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/logger.h"
#include "tables/aspects.h"
#include "tables/data_files.h"

namespace {

bool FileNumberIsValid(int fileNumber, int slots) {
  return fileNumber >= 0 && fileNumber < slots;
}

}  // namespace

bool HasGameFolder(const DllPatcher& patcher) {
  return patcher.folder[0] != '\0';
}

int DllPatcher::LoadFile(int fileNumber) {
  if (!FileNumberIsValid(fileNumber, kPathSlots)) return 0;
  ByteBuffer bytes;
  lastError = ReadDllForUpdate(*saveSteps, dllPaths[fileNumber], &bytes);
  if (lastError.Failed()) return 0;
  image = std::move(bytes.data);
  imageSize = bytes.size;
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
  for (const char* text : {offsetA, offsetB}) {
    bool inside = lengthFits && image != nullptr &&
                  RangeInside(text, length, static_cast<uint64_t>(imageSize));
    if (!inside) {
      lastError = {Problem::kTable, 0, path,
                   std::string("offset \"") + text + "\" of " + std::to_string(length) +
                       " bytes is missing, not upper-case hexadecimal or outside " + path};
      logger.Print("* Bad offset %s in file %s", text, path);
      return 0;
    }
  }

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
    lastError = {Problem::kNotFound, 0, "the game folder", ""};
    logger.Print("* Couldn't open file %s", path);
    return 0;
  }
  // Only the image of this very file may be written over it.
  if (image == nullptr || loadedFile != fileNumber) {
    lastError = {Problem::kNotLoaded, 0, path, ""};
    logger.Print("* Couldn't write file %s", path);
    return 0;
  }
  DllAndBackup files = ReadDllAndBackup(path, changeable[fileNumber], *saveSteps);
  lastError =
      SaveDll(*saveSteps, files, SaveTarget(path), image.get(), static_cast<size_t>(imageSize));
  return lastError.Failed() ? 0 : 1;
}
