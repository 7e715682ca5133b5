#include "config/folder_line.h"

#include <cstring>

namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

FolderLine ReadFolderLine(const char* line) {
  static const char kKey[] = "Folder:";
  FolderLine read;
  if (std::strncmp(line, kKey, sizeof kKey - 1) != 0) return read;
  read.isSetting = true;
  const char* start = line + sizeof kKey - 1;
  while (IsWhiteSpace(*start)) ++start;
  const char* end = start;
  while (*end != '\0' && !IsWhiteSpace(*end)) ++end;
  const char* last = start + std::strlen(start);
  while (last > end && IsWhiteSpace(last[-1])) --last;
  read.folder.assign(start, end);
  read.written.assign(start, last);
  return read;
}
