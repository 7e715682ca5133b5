#include "io/file_paths.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

const char kDataPrefix[] = "data\\";

// Empty: the data folder is "data" in the current directory.
std::string& DataFolder() {
  static std::string folder;
  return folder;
}

void SkipByteOrderMark(FILE* file) {
  static const unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
  for (unsigned char expected : kMark) {
    if (std::fgetc(file) != expected) {
      std::rewind(file);
      return;
    }
  }
}

}  // namespace

void SetDataFolder(const char* folder) {
  DataFolder() = folder != nullptr ? folder : "";
}

std::string NativePath(const char* windowsPath) {
  std::string path(windowsPath);
  size_t prefix = sizeof kDataPrefix - 1;
  if (!DataFolder().empty() && std::strncmp(windowsPath, kDataPrefix, prefix) == 0) {
    path = DataFolder() + "\\" + path.substr(prefix);
  }
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

std::string ShownPath(const std::string& windowsPath) {
  std::string path = NativePath(windowsPath.c_str());
#ifdef _WIN32
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return path;
}

FILE* OpenFile(const char* windowsPath, const char* mode) {
  std::string native = NativePath(windowsPath);
  // A FIFO or a device would block the program forever, or feed it
  // anything: only regular files are read (a missing one may be created).
  std::error_code error;
  auto type = std::filesystem::status(native, error).type();
  if (type != std::filesystem::file_type::regular &&
      type != std::filesystem::file_type::not_found) {
    return nullptr;
  }
  FILE* file = std::fopen(native.c_str(), mode);
  if (file != nullptr && std::strcmp(mode, "r") == 0) SkipByteOrderMark(file);
  return file;
}

std::string NotAFileReason(const char* windowsPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::file_type type = fs::symlink_status(NativePath(windowsPath), error).type();
  const char* kind = type == fs::file_type::symlink     ? "a link"
                     : type == fs::file_type::directory ? "a folder"
                     : type == fs::file_type::regular || type == fs::file_type::not_found ||
                             type == fs::file_type::none
                         ? nullptr
                         : "something other than a file";
  if (kind == nullptr) return "";
  return ShownPath(windowsPath) + " is " + kind +
         ", not a file of Orvanel's: remove it, and Orvanel makes its own file there";
}
