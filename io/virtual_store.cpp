#include "io/virtual_store.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "io/file_paths.h"

std::string ShadowCopyOf(const char* dllPath) {
  const char* store = std::getenv("LOCALAPPDATA");
  std::string path(dllPath);
  if (store == nullptr || store[0] == '\0' || path.size() < 3 ||
      !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
      (path[2] != '\\' && path[2] != '/')) {
    return "";
  }
  std::string copy = std::string(store) + "\\VirtualStore" + path.substr(2);
  std::error_code error;
  return std::filesystem::is_regular_file(NativePath(copy.c_str()), error) ? copy : "";
}

std::string ShadowCopyWarning(const std::string& copy, const char* dllPath) {
  return "Warning: Windows keeps an old copy of " + std::string(dllPath) + " at " + copy +
         ": the game may load that copy instead. Delete it, then start the game again";
}
