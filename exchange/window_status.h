// The window's status line: the one thing that most stands in the way of an
// exchange, in the player's words with the next step, or that all is ready.
// StatusLine only words what ReadWindowFacts found, so that it can be tested
// on facts made by hand.
#ifndef ORVANEL_PATCH_WINDOW_STATUS_H_
#define ORVANEL_PATCH_WINDOW_STATUS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "files/fingerprint.h"
#include "patch/dll_patcher.h"
#include "tables/record_list.h"

// What the window shows selected.
struct WindowSelection {
  int32_t version = 0;
  int32_t firstClass = 0;
  int32_t secondClass = 0;
};

// What was read from disk for the status line.
struct WindowFacts {
  bool tablesChanged = false;     // the tables differ from those loaded
  bool ownFolderWritable = true;  // data\ takes new files
  bool folderSet = false;         // a game folder is chosen
  // The untouched form of each file a version names, or why not.
  std::vector<FileFingerprint> found;
  bool journalLeft = false;           // a stopped change could not be undone
  std::vector<std::string> findings;  // the table check's, "file:line: problem"
};

// The status line for the tables as loaded, the selection and the facts.
std::string StatusLine(RecordList versions, RecordList classes, const WindowSelection& selection,
                       const WindowFacts& facts);

// Reads the facts for the patcher's folder; loadedStamp is what TablesStamp
// gave when the tables were loaded.
WindowFacts ReadWindowFacts(const DllPatcher& patcher, RecordList versions, RecordList classes,
                            uint32_t loadedStamp);

// A CRC-32 of data\versions.txt, data\classes.txt and every skill table the
// classes name, as they are on disk now: it changes when any of them does.
uint32_t TablesStamp(RecordList versions, RecordList classes);

#endif  // ORVANEL_PATCH_WINDOW_STATUS_H_
