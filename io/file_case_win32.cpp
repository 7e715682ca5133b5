// Windows: the system finds a file whatever the letter case of its name; the
// name as the folder holds it is asked for, so that a backup and the
// messages spell it the same way.
#include <windows.h>

#include <string>

#include "io/file_case.h"

std::string FindFileName(const char* folder, const char* name, FileError* error) {
  *error = FileError();
  // The names asked for are plain file names: no wildcard can match another.
  std::string pattern = std::string(folder) + "\\" + name;
  if (pattern.find_first_of("*?") != std::string::npos) return name;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return name;
  FindClose(search);
  std::string asFound = found.cFileName;
  // A short (8.3) name matched instead of the long one is no spelling of it.
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, asFound.c_str(), -1, name, -1) ==
                 CSTR_EQUAL
             ? asFound
             : name;
}

FileError AmbiguousName(const char*) {
  return FileError();
}
