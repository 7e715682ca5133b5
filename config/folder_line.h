// The setting line of data\config.txt, "Folder: <folder>", read one way by
// the start-up and by check: the key in the first column, letter case
// mattering; white space after the colon optional; the folder the run of
// non-blank characters after it; anything after the folder ignored.
#ifndef ORVANEL_CONFIG_FOLDER_LINE_H_
#define ORVANEL_CONFIG_FOLDER_LINE_H_

#include <string>

struct FolderLine {
  bool isSetting = false;  // the line begins with "Folder:"
  std::string folder;      // the folder as the program reads it ("" when none)
  std::string written;     // everything after the colon, outer white space dropped
};

FolderLine ReadFolderLine(const char* line);

#endif  // ORVANEL_CONFIG_FOLDER_LINE_H_
