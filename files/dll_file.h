// A game DLL as a change reads and saves it. Reading opens it for update, so
// that one in use or read-only is refused before anything is written. The one
// way a changed DLL reaches the disk: never through a link into a backup, the
// untouched file kept as its backup first (files/backup.h), then the file the
// DLL's path names in the end replaced in one step.
#ifndef ORVANEL_FILES_DLL_FILE_H_
#define ORVANEL_FILES_DLL_FILE_H_

#include <cstddef>
#include <cstdint>

#include "files/backup.h"
#include "io/file_case.h"
#include "io/file_error.h"
#include "io/save_steps.h"
#include "io/whole_file.h"

// Reads the DLL at path whole, opened for update ("rb+"). Logs the failed
// step's line ("* Couldn't open file ..."). kNone when read.
FileError ReadDllForUpdate(SaveSteps& steps, const char* path, ByteBuffer* bytes);

// Saves size bytes as the DLL of files (read by the operation under way, so
// nothing is read again) over target, SaveTarget of its path, found once. Logs the failed step's
// line ("* Couldn't replace file ..."); the error names the DLL. kNone when saved.
FileError SaveDll(SaveSteps& steps, const DllAndBackup& files, const std::string& target,
                  const uint8_t* bytes, size_t size);

#endif  // ORVANEL_FILES_DLL_FILE_H_
