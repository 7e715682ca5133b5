#include "files/dll_file.h"

#include <cstdio>
#include <string>

#include "files/dll_links.h"
#include "files/pe_version.h"
#include "io/file_paths.h"
#include "patch/logger.h"

FileError ReadDllForUpdate(SaveSteps& steps, const char* path, ByteBuffer* bytes) {
  SetSystemError(0);  // a refusal without a system call leaves no stale code
  if (path[0] == '\0') {
    logger.Print("* Couldn't open file %s", path);
    return {Problem::kNotFound, 0, "the game folder", ""};
  }
  FileError ambiguous = AmbiguousName(path);
  if (ambiguous.Failed()) {
    logger.Print("* Couldn't open file %s%s", path, LogReason(ambiguous).c_str());
    return ambiguous;
  }
  FILE* file = steps.OpenForUpdate(path);
  if (file == nullptr) {
    FileError error = SystemFileError(path, "could not be opened");
    logger.Print("* Couldn't open file %s%s", path, LogReason(error).c_str());
    FileError elsewhere =
        error.problem == Problem::kNotFound ? KeptInGameExe(steps, path) : FileError();
    return elsewhere.Failed() ? elsewhere : error;
  }
  SetSystemError(0);
  bool read = ReadWholeStream(file, bytes);
  FileError error = read ? FileError() : SystemFileError(path, "could not be read whole");
  std::fclose(file);
  if (!read) logger.Print("* Couldn't read file %s%s", path, LogReason(error).c_str());
  return error;
}

FileError SaveDll(SaveSteps& steps, const DllAndBackup& files, const std::string& target,
                  const uint8_t* bytes, size_t size) {
  const char* path = files.path.c_str();
  // A link into a backup would turn the backup into the changed file.
  FileError refused = LinkRefusal(path, target);
  if (refused.Failed()) {
    logger.Print("* %s: nothing was written", UserReason(refused).c_str());
    return refused;
  }
  // No backup, no change.
  FileError error = EnsureBackup(steps, files);
  if (error.Failed()) return error;
  error = SaveBytes(steps, bytes, size, target.c_str(), false);
  if (!error.Failed()) return error;
  // The file the log names is the one that stood in the way.
  if (error.file == target) error.file = path;
  logger.Print("* %s%s", SaveStepWords(error).c_str(), LogReason(error).c_str());
  return error;
}
