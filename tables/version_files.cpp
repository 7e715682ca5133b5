#include "tables/version_files.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

const char kFilesKey[] = "files=";

std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

bool IsNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
}

// CON, NUL, COM1 and the like open a device on Windows, whatever follows the dot.
bool IsDeviceName(const std::string& name) {
  std::string stem = Folded(name.substr(0, name.find('.')));
  if (stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

bool SameFileName(const std::string& a, const std::string& b) {
  // Asked for every skill range of the tables: no copies.
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

int VersionFiles::IndexOf(const std::string& name) const {
  for (int n = 0; n < count; ++n) {
    if (SameFileName(names[n], name)) return n;
  }
  return -1;
}

bool VersionFiles::AreDefault() const {
  return count == 2 && Folded(names[0]) == "d2game.dll" && Folded(names[1]) == "d2client.dll";
}

std::string FileNameProblem(const std::string& name) {
  if (name.empty()) return "an empty name";
  for (char c : name) {
    if (c == '/' || c == '\\' || c == ':') return "\"" + name + "\" names a path, not a file";
    if (!IsNameCharacter(c)) {
      return "\"" + name + "\" holds \"" + c +
             "\": a file name may hold only letters, digits, ., _ and -";
    }
  }
  if (name.find("..") != std::string::npos || name.find_first_not_of('.') == std::string::npos) {
    return "\"" + name + "\" holds \"..\" or only dots: name a file of the game folder";
  }
  if (name.size() > kMaxFileNameLength) {
    return "\"" + name + "\" is longer than " + std::to_string(kMaxFileNameLength) + " characters";
  }
  if (IsDeviceName(name)) return "\"" + name + "\" is a device name on Windows, not a file";
  return "";
}

bool ReadFilesWord(const char* word, VersionFiles* files) {
  size_t keyLength = std::strlen(kFilesKey);
  if (Folded(std::string(word).substr(0, keyLength)) != kFilesKey) return false;
  *files = VersionFiles();
  files->token = std::string(word).substr(0, 60);
  std::string list = word + keyLength;
  std::vector<std::string> names;
  for (size_t start = 0; names.size() <= kMaxVersionFiles;) {
    size_t comma = list.find(',', start);
    names.push_back(list.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (names.size() > kMaxVersionFiles) {
    files->problem = "a version keeps its skills in one file or two";
    return true;
  }
  int count = static_cast<int>(names.size());
  for (int n = 0; n < count && files->problem.empty(); ++n) {
    files->problem = FileNameProblem(names[n]);
  }
  if (files->problem.empty() && count == 2 && Folded(names[0]) == Folded(names[1])) {
    files->problem = "\"" + names[0] + "\" is named twice";
  }
  if (!files->problem.empty()) return true;
  files->count = count;
  for (int n = 0; n < count; ++n) files->names[n] = names[n];
  files->token.clear();
  return true;
}
