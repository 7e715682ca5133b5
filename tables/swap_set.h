// A swap set: exchanges written down as text, to save, share and apply
// again. Lines beginning with '#' are comments, blank lines mean nothing;
// one line "version NAME"; then one line per exchange, applied in the order
// written:
//   CLASS:SKILL <-> CLASS:SKILL: Effects, Graphics, Descriptions
// with the names as the lists show them (blanks in skill names, not
// underscores). Only the text is read here: the names are looked up where
// the set is applied.
#ifndef ORVANEL_TABLES_SWAP_SET_H_
#define ORVANEL_TABLES_SWAP_SET_H_

#include <string>
#include <vector>

#include "io/file_error.h"
#include "tables/aspects.h"

struct SetSkill {
  std::string className;
  std::string skillName;
};

struct SetExchange {
  int line = 0;  // 1-based, in the text it was read from (0: not read)
  SetSkill first;
  SetSkill second;
  bool aspects[kAspectCount] = {};  // by index of kAspects
};

struct SwapSet {
  int versionLine = 0;
  std::string version;
  std::vector<SetExchange> exchanges;
};

// The largest swap set file read: far more lines than any tables give.
constexpr size_t kMaxSwapSetFileSize = 1024 * 1024;

// The bytes of the swap set file at windowsPath: a regular file (or a link
// to one) of at most kMaxSwapSetFileSize bytes. kNone when read; else
// kSetUnreadable, its detail what stands there ("it is a folder, not a swap
// set file").
FileError ReadSwapSetFile(const char* windowsPath, std::string* bytes);

// Reads text (LF or CR LF lines) in UTF-8, with or without a byte-order mark,
// or in UTF-16 of either byte order with its mark, as Windows tools save it
// (PowerShell's ">", Notepad). kNone when it is a set; else kSetLine with the
// line and what is wrong there, at the first line that is not a comment, a blank
// line, the one version line or an exchange line with a known aspect named
// once; also when the version line is missing or comes after an exchange.
FileError ReadSwapSet(const std::string& setBytes, SwapSet* set);

// "Amazon:Jab <-> Sorceress:Fire Bolt: Effects, Graphics" (no line end).
std::string SetExchangeLine(const SetExchange& exchange);

// The whole set as ReadSwapSet reads it: the version line, then one line
// per exchange, each ended by a line feed.
std::string SwapSetText(const SwapSet& set);

// "CLASS:SKILL" as the console and a swap set both name a skill: split at
// the first colon, each side without blanks around it; false without one.
bool SplitClassSkill(const std::string& text, std::string* className, std::string* skillName);

#endif  // ORVANEL_TABLES_SWAP_SET_H_
