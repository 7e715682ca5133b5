#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "patch/logger.h"

Logger logger;

namespace fs = std::filesystem;

namespace {

fs::path scratch;

void RemoveScratch() {
  std::error_code ignored;
  fs::current_path(fs::temp_directory_path(), ignored);
  fs::remove_all(scratch, ignored);
}

}  // namespace

void EnterEmptyScratchFolder() {
  if (scratch.empty()) {
    std::error_code failure;
    fs::path base =
        fs::is_directory("/dev/shm", failure) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "orvanel-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) FuzzCheckFailed("mkdtemp", __FILE__, __LINE__);
    scratch = pattern;
    fs::current_path(scratch);
    std::atexit(RemoveScratch);
    std::snprintf(logger.fileName, sizeof logger.fileName, "%s", "/dev/null");
  }
  std::error_code ignored;
  fs::remove_all(scratch / "data", ignored);
  fs::create_directory(scratch / "data", ignored);
}

void WriteScratchFile(const std::string& path, const void* bytes, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) FuzzCheckFailed(path.c_str(), __FILE__, __LINE__);
  if (size > 0) std::fwrite(bytes, 1, size, file);
  std::fclose(file);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void FuzzCheckFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: expected %s, found otherwise\n", file, line, condition);
  std::abort();
}
