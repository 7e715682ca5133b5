#include "io/save_steps.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "io/file_paths.h"
#include "io/whole_file.h"

namespace {

// Saves are written in pieces of this size, each write checked.
constexpr size_t kWriteChunk = 1024 * 1024;
// Fresh names tried before a save gives up on making its temporary file.
constexpr int kNameAttempts = 32;

const char kTemporaryPrefix[] = "~ov";
const char kTemporarySuffix[] = ".tmp";

// Tags differ between runs (the clock) and between the files of one run
// (the counter); a clash only costs another attempt.
uint32_t NextTag() {
  static uint32_t counter = 0;
  uint64_t now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  uint64_t mixed = (now ^ (now >> 29)) * 0x9E3779B97F4A7C15ull + ++counter * 0x85EBCA6Bu;
  return static_cast<uint32_t>(mixed ^ (mixed >> 32));
}

FILE* CreateTemporaryBeside(SaveSteps& steps, const char* target, std::string* temporary) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    *temporary = TemporaryPathFor(target, NextTag());
    FILE* file = steps.Open(temporary->c_str());
    if (file != nullptr) return file;
  }
  return nullptr;
}

bool WriteAll(SaveSteps& steps, FILE* file, const uint8_t* bytes, size_t size) {
  for (size_t done = 0; done < size;) {
    size_t piece = std::min(kWriteChunk, size - done);
    if (!steps.Write(file, bytes + done, piece)) return false;
    done += piece;
  }
  return true;
}

bool ReadsBackAs(const char* path, const uint8_t* bytes, size_t size) {
  ByteBuffer copy;
  return ReadWholeFile(path, &copy) && static_cast<size_t>(copy.size) == size &&
         std::memcmp(copy.data.get(), bytes, size) == 0;
}

}  // namespace

bool SaveSteps::ReadWhole(const char* path, ByteBuffer* bytes) {
  return ReadWholeFile(path, bytes);
}

FILE* SaveSteps::OpenForUpdate(const char* path) {
  return OpenFile(path, "rb+");
}

FILE* SaveSteps::Open(const char* path) {
  return CreateNewFile(NativePath(path).c_str());
}

bool SaveSteps::Write(FILE* file, const uint8_t* bytes, size_t count) {
  return std::fwrite(bytes, 1, count, file) == count;
}

bool SaveSteps::Flush(FILE* file) {
  return FlushFileToDisk(file);
}

bool SaveSteps::Close(FILE* file) {
  return std::fclose(file) == 0;
}

bool SaveSteps::Replace(const char* from, const char* to) {
  return ReplaceFileAtomically(NativePath(from).c_str(), NativePath(to).c_str());
}

bool SaveSteps::Remove(const char* path) {
  return RemoveWithoutFollowing(NativePath(path).c_str());
}

bool SaveSteps::FlushFolder(const char* pathInFolder) {
  return FlushFolderOf(NativePath(pathInFolder).c_str());
}

std::string TemporaryPathFor(const char* path, uint32_t tag) {
  std::string folder = FolderPartOf(path);
  char name[16];
  std::snprintf(name, sizeof name, "%s%08X%s", kTemporaryPrefix, static_cast<unsigned>(tag),
                kTemporarySuffix);
  return folder + name;
}

bool IsTemporaryName(const std::string& fileName) {
  const size_t prefix = sizeof kTemporaryPrefix - 1;
  const size_t suffix = sizeof kTemporarySuffix - 1;
  if (fileName.size() != prefix + 8 + suffix) return false;
  if (fileName.compare(0, prefix, kTemporaryPrefix) != 0) return false;
  if (fileName.compare(prefix + 8, suffix, kTemporarySuffix) != 0) return false;
  return std::all_of(fileName.begin() + prefix, fileName.begin() + prefix + 8,
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

namespace {

FileError StepFailed(SaveStep step, FileError error) {
  error.step = step;
  return error;
}

}  // namespace

FileError SaveBytes(SaveSteps& steps, const uint8_t* bytes, size_t size, const char* target,
                    bool verify) {
  std::string temporary;
  FILE* file = CreateTemporaryBeside(steps, target, &temporary);
  if (file == nullptr) {
    return StepFailed(SaveStep::kCreate, SystemFileError(temporary, "could not be created"));
  }
  // The system's code is taken before any later call can change it.
  FileError why;
  bool written = WriteAll(steps, file, bytes, size) && steps.Flush(file);
  if (!written) why = StepFailed(SaveStep::kWrite, SystemFileError(target, "could not be written"));
  if (!steps.Close(file) && written) {
    written = false;
    why = StepFailed(SaveStep::kWrite, SystemFileError(target, "could not be written"));
  }
  if (written && verify && !ReadsBackAs(temporary.c_str(), bytes, size)) {
    why = {Problem::kReadBackDiffers, 0, target, ""};
    why.step = SaveStep::kVerify;
  } else if (written && !steps.Replace(temporary.c_str(), target)) {
    why = StepFailed(SaveStep::kReplace, SystemFileError(target, "could not be replaced"));
  }
  if (why.Failed()) steps.Remove(temporary.c_str());
  return why;
}

SaveSteps& SaveSteps::System() {
  static SaveSteps system;
  return system;
}
