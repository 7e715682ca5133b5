// The one-time backups of the DLLs.
#include "patch/backup.h"

#include <cstdint>
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

bool SameBytes(const FileBytes& a, const FileBytes& b) {
  return a.size == b.size && std::memcmp(a.data.get(), b.data.get(), a.size) == 0;
}

// Writes bytes to a temporary file beside target, reads it back, then moves
// it onto target. Returns an empty text, or what went wrong.
const char* WriteCheckedCopy(SaveSteps& steps, const FileBytes& bytes, const std::string& target) {
  std::string temporary = TemporaryPathFor(target.c_str());
  steps.Remove(temporary.c_str());
  FILE* file = steps.Open(temporary.c_str());
  if (file == nullptr) return "could not be created";
  bool written =
      steps.Write(file, bytes.data.get(), static_cast<size_t>(bytes.size)) && steps.Flush(file);
  written = steps.Close(file) && written;
  const char* problem = "";
  FileBytes copy;
  if (!written) {
    problem = "could not be written";
  } else if (!ReadFileBytes(temporary.c_str(), &copy) || !SameBytes(copy, bytes)) {
    problem = "did not read back the same as the file";
  } else if (!steps.Replace(temporary.c_str(), target.c_str())) {
    problem = "could not be moved into place";
  }
  if (problem[0] != '\0') steps.Remove(temporary.c_str());
  return problem;
}

}  // namespace

std::string BackupPath(const char* dllPath) {
  return std::string(dllPath) + ".bak";
}

int BackupFileState(const std::string& backupPath) {
  std::error_code error;
  auto status = std::filesystem::status(NativePath(backupPath.c_str()), error);
  if (status.type() == std::filesystem::file_type::not_found) return 0;
  if (error) return -1;
  return std::filesystem::is_regular_file(status) ? 1 : -1;
}

int EnsureBackup(SaveSteps& steps, const char* dllPath) {
  std::string backup = BackupPath(dllPath);
  int exists = BackupFileState(backup);
  if (exists == 1) return 1;  // the first backup is the one worth keeping
  if (exists < 0) {
    logger.Print("* The backup %s is not a file; %s left unchanged", backup.c_str(), dllPath);
    return 0;
  }
  FileBytes original;
  if (!ReadFileBytes(dllPath, &original)) {
    logger.Print("* Couldn't read file %s to back it up; it is left unchanged", dllPath);
    return 0;
  }
  const char* problem = WriteCheckedCopy(steps, original, backup);
  if (problem[0] != '\0') {
    logger.Print("* The backup %s %s; %s left unchanged", backup.c_str(), problem, dllPath);
    return 0;
  }
  return 1;
}
