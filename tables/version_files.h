// The files a version keeps its skills in: "files=NAME" on its line of
// data\versions.txt when one file holds effects, graphics and descriptions
// (from 1.14 on: "files=Game.exe"), "files=EFFECTS,GRAPHICS_AND_DESCRIPTIONS"
// for two; without it d2game.dll and d2client.dll. A name is a plain file
// name of the game folder: letters, digits, '.', '_' and '-', no "..".
#ifndef ORVANEL_TABLES_VERSION_FILES_H_
#define ORVANEL_TABLES_VERSION_FILES_H_

#include <cstddef>
#include <string>

constexpr int kMaxVersionFiles = 2;
// The game folder is kept short enough for "\d2client.dll": a longer name
// would not fit its path.
constexpr size_t kMaxFileNameLength = 12;

struct VersionFiles {
  int count = 2;
  std::string names[kMaxVersionFiles] = {"d2game.dll", "d2client.dll"};
  // For a files= that cannot be read: the word as written (cut) and what is
  // wrong. The names then stay the default ones, and the version exchanges
  // nothing.
  std::string token;
  std::string problem;

  bool Malformed() const { return !problem.empty(); }
  // d2game.dll and d2client.dll, in any letter case.
  bool AreDefault() const;
  // The file number of an aspect that the default files keep in file dll.
  int FileOf(int dll) const { return count == 1 ? 0 : dll; }
  // The index of the file named name (letter case aside); -1 when it is none
  // of these.
  int IndexOf(const std::string& name) const;
};

// Whether two names are one file name, letter case aside (as Windows finds
// files).
bool SameFileName(const std::string& a, const std::string& b);

// True when word is a files= declaration (its "files=" in any letter case);
// *files then holds what it declares, or is malformed with why.
bool ReadFilesWord(const char* word, VersionFiles* files);

// "" when name is a plain file name of the game folder; else what is wrong.
std::string FileNameProblem(const std::string& name);

#endif  // ORVANEL_TABLES_VERSION_FILES_H_
