// Loading, changing and saving the one DLL image.
#include "patch/dll_patcher.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/backup.h"
#include "patch/dll_links.h"
#include "patch/logger.h"
#include "tables/aspects.h"
#include "tables/data_files.h"

namespace {

bool FileNumberIsValid(int fileNumber, int slots) {
  return fileNumber >= 0 && fileNumber < slots;
}

}  // namespace

int DllPatcher::LoadFile(int fileNumber) {
  if (!FileNumberIsValid(fileNumber, kPathSlots)) return 0;
  const char* path = dllPaths[fileNumber];
  if (fileNumber < 2 && dllNameErrors[fileNumber].problem != Problem::kNone) {
    lastError = dllNameErrors[fileNumber];
    logger.Print("* Couldn't open file %s%s", path, LogReason(lastError).c_str());
    return 0;
  }
  SetSystemError(0);  // a refusal without a system call leaves no stale code
  FILE* file = path[0] != '\0' ? OpenFile(path, "rb+") : nullptr;
  if (file == nullptr) {
    if (path[0] == '\0') {
      lastError = {Problem::kNotFound, 0, "the game folder", ""};
      logger.Print("* Couldn't open file %s", path);
      return 0;
    }
    lastError = SystemFileError(path, "could not be opened");
    logger.Print("* Couldn't open file %s%s", path, LogReason(lastError).c_str());
    return 0;
  }

  ByteBuffer bytes;
  SetSystemError(0);
  bool read = ReadWholeStream(file, &bytes);
  if (!read) lastError = SystemFileError(path, "could not be read whole");
  std::fclose(file);
  if (!read) {
    logger.Print("* Couldn't read file %s%s", path, LogReason(lastError).c_str());
    return 0;
  }

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
    lastError = {Problem::kOther, 0, path, "was not loaded before its save"};
    logger.Print("* Couldn't write file %s", path);
    return 0;
  }
  // A link into a backup would turn the backup into the changed file.
  FileError refused = LinkRefusal(path);
  if (refused.problem != Problem::kNone) {
    lastError = refused;
    logger.Print("* %s: nothing was written", refused.detail.c_str());
    return 0;
  }
  // Before the first change the untouched file is kept beside it: no backup,
  // no change.
  DllAndBackup readNow;
  const DllAndBackup* files = onDisk[fileNumber];
  if (files == nullptr) {
    readNow = ReadDllAndBackup(path, changeable[fileNumber]);
    files = &readNow;
  }
  if (!EnsureBackup(*saveSteps, *files, &lastError)) return 0;
  std::string target = SaveTarget(path);
  FileError error;
  SaveFailure failure = SaveBytes(*saveSteps, image.get(), static_cast<size_t>(imageSize),
                                  target.c_str(), false, &error);
  if (failure == SaveFailure::kNone) return 1;
  // The file the log names is the one that stood in the way.
  if (error.file == target) error.file = path;
  lastError = error;
  const char* format = failure == SaveFailure::kCreate    ? "* Couldn't open file %s%s"
                       : failure == SaveFailure::kReplace ? "* Couldn't replace file %s%s"
                                                          : "* Couldn't write file %s%s";
  logger.Print(format, error.file.c_str(), LogReason(error).c_str());
  return 0;
}
