// The one-time backups of the DLLs.
#include "files/backup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "files/pe_version.h"
#include "io/file_case.h"
#include "io/file_paths.h"
#include "patch/logger.h"
#include "tables/aspects.h"

std::vector<std::pair<size_t, size_t>> MergedRanges(const ByteRanges& ranges) {
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

namespace {

// The first offset outside every range where a and b differ; size if none.
// With differing, also the ranges (merged) inside which they differ.
size_t FirstDifferenceOutside(const uint8_t* a, const uint8_t* b, size_t size,
                              const ByteRanges& ranges,
                              std::vector<std::pair<size_t, size_t>>* differing = nullptr) {
  size_t at = 0;
  std::vector<std::pair<size_t, size_t>> skip = MergedRanges(ranges);
  skip.emplace_back(size, size);
  for (const auto& interval : skip) {
    size_t gapEnd = std::min(size, interval.first);
    if (at < gapEnd && std::memcmp(a + at, b + at, gapEnd - at) != 0) {
      while (a[at] == b[at]) ++at;
      return at;
    }
    at = std::max(at, gapEnd);
    size_t end = std::max(at, std::min(size, interval.second));
    if (differing != nullptr && at < end && std::memcmp(a + at, b + at, end - at) != 0) {
      differing->emplace_back(at, end);
    }
    at = end;
  }
  return size;
}

}  // namespace

std::string BackupPath(const char* dllPath) {
  return std::string(dllPath) + ".bak";
}

void DllAndBackup::RefuseBackup(const std::string& why) {
  backupRefusal = {Problem::kBackup, 0, BackupPath(path.c_str()), why};
}

bool BackupThere(const char* dllPath) {
  std::error_code error;
  return std::filesystem::symlink_status(NativePath(BackupPath(dllPath).c_str()), error).type() !=
         std::filesystem::file_type::not_found;
}

namespace {

// ContentMismatch, also giving the ranges where the two differ when they may.
FileError Mismatch(const uint8_t* backup, size_t size, const uint8_t* dll, size_t dllSize,
                   const ByteRanges& changeable,
                   std::vector<std::pair<size_t, size_t>>* differing) {
  if (size != dllSize) {
    FileError error{Problem::kBackup, 0, "",
                    "has " + std::to_string(size) + " bytes, the DLL " + std::to_string(dllSize)};
    error.found = std::to_string(size);
    error.expected = std::to_string(dllSize);
    return error;
  }
  size_t at = FirstDifferenceOutside(backup, dll, size, changeable, differing);
  if (at == size) return FileError();
  return {
      Problem::kBackup, 0, "",
      "differs from the DLL at offset " + HexOffset(at) + ", outside every range the tables name"};
}

}  // namespace

FileError ContentMismatch(const uint8_t* backup, size_t size, const uint8_t* dll, size_t dllSize,
                          const ByteRanges& changeable) {
  return Mismatch(backup, size, dll, dllSize, changeable, nullptr);
}

void ReadBackupOf(DllAndBackup* files, const ByteRanges& changeable, SaveSteps& steps) {
  namespace fs = std::filesystem;
  std::string backup = BackupPath(files->path.c_str());
  files->backupThere = BackupThere(files->path.c_str());
  if (!files->backupThere) return;
  std::error_code error;
  fs::file_status status = fs::symlink_status(NativePath(backup.c_str()), error);
  if (fs::is_symlink(status)) {
    files->RefuseBackup("is a symbolic link, not a copy");
  } else if (error || !fs::is_regular_file(status)) {
    files->RefuseBackup("is not a file");
  } else if (!steps.ReadWhole(backup.c_str(), &files->backup)) {
    files->RefuseBackup("cannot be read");
  } else if (files->DllRead()) {
    FileError mismatch = Mismatch(files->backup.data.get(), static_cast<size_t>(files->backup.size),
                                  files->dll.data.get(), static_cast<size_t>(files->dll.size),
                                  changeable, &files->differing);
    if (mismatch.Failed()) {
      mismatch.file = backup;
      files->backupRefusal = mismatch;
    }
  }
}

DllAndBackup ReadDllAndBackup(const char* path, const ByteRanges& changeable, SaveSteps& steps) {
  DllAndBackup files;
  files.path = path;
  SetSystemError(0);
  if (path[0] == '\0') {
    files.dllError = {Problem::kNotFound, 0, "the game folder", ""};
  } else if ((files.dllError = AmbiguousName(path)).Failed()) {
  } else if (!steps.ReadWhole(path, &files.dll)) {
    files.dllError = SystemFileError(path, "could not be read");
    FileError elsewhere =
        files.dllError.problem == Problem::kNotFound ? KeptInGameExe(steps, path) : FileError();
    if (elsewhere.Failed()) files.dllError = elsewhere;
  }
  if (path[0] != '\0') ReadBackupOf(&files, changeable, steps);
  return files;
}

FileError EnsureBackup(SaveSteps& steps, const DllAndBackup& files) {
  const char* dllPath = files.path.c_str();
  std::string backup = BackupPath(dllPath);
  if (files.backupThere) {
    if (files.BackupUsable()) return FileError();  // the first backup is the one worth keeping
    logger.Print(
        "* The backup %s %s, so it cannot be the original of %s; %s left unchanged. If %s is "
        "the untouched file (after a game update), move the backup aside and try again",
        backup.c_str(), files.backupRefusal.detail.c_str(), dllPath, dllPath, dllPath);
    return files.backupRefusal;
  }
  if (!files.DllRead()) {
    logger.Print("* Couldn't read file %s to back it up; it is left unchanged%s", dllPath,
                 LogReason(files.dllError).c_str());
    return files.dllError;
  }
  FileError error = SaveBytes(steps, files.dll.data.get(), static_cast<size_t>(files.dll.size),
                              backup.c_str(), true);
  // The backup's name is on the disk before the DLL it keeps is replaced.
  if (!error.Failed() && !steps.FlushFolder(backup.c_str())) {
    error = SystemFileError(backup, "could not be replaced");
    error.step = SaveStep::kReplace;
  }
  if (error.Failed()) {
    logger.Print("* The backup %s %s; %s left unchanged%s", backup.c_str(), error.detail.c_str(),
                 dllPath, LogReason(error).c_str());
  }
  return error;
}
