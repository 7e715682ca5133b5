// The one-time backups of the DLLs.
#include "patch/backup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "io/file_paths.h"
#include "io/whole_file.h"
#include "patch/logger.h"

namespace {

struct FileBytes {
  std::unique_ptr<uint8_t[]> data;
  int32_t size = 0;
};

bool ReadFileBytes(const char* windowsPath, FileBytes* bytes) {
  return ReadWholeFile(windowsPath, &bytes->data, &bytes->size);
}

// Reads of a backup being compared go through a buffer of this size, so a
// compare costs no second image of the DLL.
constexpr size_t kCompareChunk = 64 * 1024;

// The changeable ranges as sorted, disjoint [start, end) intervals.
std::vector<std::pair<size_t, size_t>> Merged(const ByteRanges& ranges) {
  std::vector<std::pair<size_t, size_t>> merged;
  for (const ByteRange& range : ranges) {
    merged.emplace_back(range.start, static_cast<size_t>(range.start) + range.length);
  }
  std::sort(merged.begin(), merged.end());
  size_t kept = 0;
  for (const auto& interval : merged) {
    if (kept > 0 && interval.first <= merged[kept - 1].second) {
      merged[kept - 1].second = std::max(merged[kept - 1].second, interval.second);
    } else {
      merged[kept++] = interval;
    }
  }
  merged.resize(kept);
  return merged;
}

// The first offset outside every range where file's next size bytes differ
// from dll: size if none, -1 when the file ends early or cannot be read.
int64_t FirstDifferenceOutside(FILE* file, const uint8_t* dll, size_t size,
                               const ByteRanges& ranges) {
  std::vector<std::pair<size_t, size_t>> skip = Merged(ranges);
  std::vector<uint8_t> chunk(kCompareChunk);
  size_t next = 0;  // the first interval that may still lie ahead
  for (size_t start = 0; start < size;) {
    size_t end = std::min(size, start + kCompareChunk);
    if (std::fread(chunk.data(), 1, end - start, file) != end - start) return -1;
    for (size_t at = start; at < end;) {
      while (next < skip.size() && skip[next].second <= at) ++next;
      size_t gapEnd = next < skip.size() ? std::min(end, std::max(at, skip[next].first)) : end;
      if (std::memcmp(chunk.data() + (at - start), dll + at, gapEnd - at) != 0) {
        for (; chunk[at - start] == dll[at]; ++at) {
        }
        return static_cast<int64_t>(at);
      }
      at = next < skip.size() && gapEnd < end ? std::min(end, skip[next].second) : end;
    }
    start = end;
  }
  return static_cast<int64_t>(size);
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
  FILE* file = OpenFile(backupPath.c_str(), "rb");
  long length = -1;
  if (file != nullptr && std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  bool readable = length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  int64_t at = -1;
  if (readable && dll != nullptr && static_cast<size_t>(length) == size) {
    at = FirstDifferenceOutside(file, dll, size, changeable);
  }
  if (file != nullptr) std::fclose(file);
  if (!readable || (at < 0 && dll != nullptr && static_cast<size_t>(length) == size)) {
    return "cannot be read";
  }
  if (dll == nullptr) return "";
  if (static_cast<size_t>(length) != size) {
    return "has " + std::to_string(length) + " bytes, the DLL " + std::to_string(size);
  }
  if (at == static_cast<int64_t>(size)) return "";
  char offset[24];
  std::snprintf(offset, sizeof offset, "%llX", static_cast<unsigned long long>(at));
  return std::string("differs from the DLL at offset ") + offset +
         ", outside every range the tables name";
}

int EnsureBackup(SaveSteps& steps, const char* dllPath, const ByteRanges& changeable,
                 const uint8_t* changed, size_t changedSize, FileError* why) {
  FileError ignored;
  if (why == nullptr) why = &ignored;
  std::string backup = BackupPath(dllPath);
  std::error_code error;
  bool present = std::filesystem::symlink_status(NativePath(backup.c_str()), error).type() !=
                 std::filesystem::file_type::not_found;
  if (present) {
    // What is about to be written equals the DLL outside the changeable
    // ranges, so it stands in for the DLL: no second read of the file.
    std::string mismatch = BackupMismatch(backup, changed, changedSize, changeable);
    if (mismatch.empty()) return 1;  // the first backup is the one worth keeping
    *why = {Problem::kBackup, 0, backup, mismatch};
    logger.Print(
        "* The backup %s %s, so it cannot be the original of %s; %s left unchanged. If %s is "
        "the untouched file (after a game update), move the backup aside and try again",
        backup.c_str(), mismatch.c_str(), dllPath, dllPath, dllPath);
    return 0;
  }
  FileBytes original;
  SetSystemError(0);
  if (!ReadFileBytes(dllPath, &original)) {
    *why = SystemFileError(dllPath, "could not be read to back it up");
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
