// Shared by the fuzz targets. Each fuzzing process works in its own scratch
// folder (on /dev/shm when there is one, so the file-based loaders run at
// memory speed), and the log goes to /dev/null so refusals fill no disk.
// A failed check prints what was expected and aborts, and libFuzzer keeps the
// input that caused it.
#ifndef ORVANEL_FUZZ_FUZZ_SUPPORT_H_
#define ORVANEL_FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Enters the scratch folder (made on the first call) and empties its data/.
void EnterEmptyScratchFolder();
// Writes bytes to a path relative to the scratch folder, exactly as given.
void WriteScratchFile(const std::string& path, const void* bytes, size_t size);
// The whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

[[noreturn]] void FuzzCheckFailed(const char* condition, const char* file, int line);

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : FuzzCheckFailed(#condition, __FILE__, __LINE__))

#endif  // ORVANEL_FUZZ_FUZZ_SUPPORT_H_
