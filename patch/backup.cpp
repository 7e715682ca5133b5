// The one-time backups of the DLLs.
#include "patch/backup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "patch/logger.h"
#include "patch/whole_file.h"
#include "tables/file_paths.h"

namespace {

struct FileBytes {
  std::unique_ptr<uint8_t[]> data;
  int32_t size = 0;
};

bool ReadFileBytes(const char* windowsPath, FileBytes* bytes) {
  return ReadWholeFile(windowsPath, &bytes->data, &bytes->size);
}

// The first offset outside every range where a and b differ; size if none.
size_t FirstDifferenceOutside(const uint8_t* a, const uint8_t* b, size_t size, ByteRanges ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const ByteRange& x, const ByteRange& y) { return x.start < y.start; });
  size_t at = 0;
  for (const ByteRange& range : ranges) {
    size_t start = std::min<size_t>(range.start, size);
    for (; at < start; ++at) {
      if (a[at] != b[at]) return at;
    }
    at = std::max<size_t>(at,
                          std::min<size_t>(static_cast<size_t>(range.start) + range.length, size));
  }
  for (; at < size; ++at) {
    if (a[at] != b[at]) return at;
  }
  return size;
}

const char* SaveProblem(SaveFailure failure) {
  switch (failure) {
    case SaveFailure::kCreate:
      return "could not be created";
    case SaveFailure::kWrite:
      return "could not be written";
    case SaveFailure::kVerify:
      return "did not read back the same as the file";
    case SaveFailure::kReplace:
      return "could not be moved into place";
    case SaveFailure::kNone:
      break;
  }
  return "";
}

}  // namespace

std::string BackupPath(const char* dllPath) {
  return std::string(dllPath) + ".bak";
}

std::string BackupMismatch(const std::string& backupPath, const uint8_t* dll, size_t size,
                           const ByteRanges& changeable) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::file_status status = fs::symlink_status(NativePath(backupPath.c_str()), error);
  if (fs::is_symlink(status)) return "is a symbolic link, not a copy";
  if (error || !fs::is_regular_file(status)) return "is not a file";
  FileBytes backup;
  if (!ReadFileBytes(backupPath.c_str(), &backup)) return "cannot be read";
  if (dll == nullptr) return "";
  if (static_cast<size_t>(backup.size) != size) {
    return "has " + std::to_string(backup.size) + " bytes, the DLL " + std::to_string(size);
  }
  size_t at = FirstDifferenceOutside(backup.data.get(), dll, size, changeable);
  if (at == size) return "";
  char offset[16];
  std::snprintf(offset, sizeof offset, "%zX", at);
  return std::string("differs from the DLL at offset ") + offset +
         ", outside every range the tables name";
}

int EnsureBackup(SaveSteps& steps, const char* dllPath, const ByteRanges& changeable,
                 FileError* why) {
  FileError ignored;
  if (why == nullptr) why = &ignored;
  std::string backup = BackupPath(dllPath);
  std::error_code error;
  bool present = std::filesystem::symlink_status(NativePath(backup.c_str()), error).type() !=
                 std::filesystem::file_type::not_found;
  FileBytes original;
  SetSystemError(0);
  bool readable = ReadFileBytes(dllPath, &original);
  if (!readable) *why = SystemFileError(dllPath, "could not be read to back it up");
  if (present) {
    // A DLL that is gone (restore brings it back) is compared with nothing.
    std::string mismatch = BackupMismatch(backup, readable ? original.data.get() : nullptr,
                                          static_cast<size_t>(original.size), changeable);
    if (mismatch.empty()) return 1;  // the first backup is the one worth keeping
    *why = {Problem::kBackup, 0, backup, mismatch};
    logger.Print(
        "* The backup %s %s, so it cannot be the original of %s; %s left unchanged. If %s is "
        "the untouched file (after a game update), move the backup aside and try again",
        backup.c_str(), mismatch.c_str(), dllPath, dllPath, dllPath);
    return 0;
  }
  if (!readable) {
    logger.Print("* Couldn't read file %s to back it up; it is left unchanged%s", dllPath,
                 LogReason(*why).c_str());
    return 0;
  }
  SaveFailure failure = SaveBytes(steps, original.data.get(), static_cast<size_t>(original.size),
                                  backup.c_str(), true, why);
  if (failure != SaveFailure::kNone) {
    logger.Print("* The backup %s %s; %s left unchanged%s", backup.c_str(), SaveProblem(failure),
                 dllPath, LogReason(*why).c_str());
    return 0;
  }
  return 1;
}
