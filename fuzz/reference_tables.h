// A second, deliberately simple reading of the table rules (std::string,
// no fixed buffers), against which the fuzz targets compare the loaders:
// lines are read in pieces of at most 254 characters, a NUL ends what the
// program sees of a piece, comment ('/') and empty pieces are skipped; a
// UTF-8 byte-order mark at the very start is no part of the text.
#ifndef ORVANEL_FUZZ_REFERENCE_TABLES_H_
#define ORVANEL_FUZZ_REFERENCE_TABLES_H_

#include <string>
#include <vector>

// Every piece the line reader gives, in order (comments and empty lines
// already skipped, white-space-only lines kept).
std::vector<std::string> ReferencePieces(const std::string& content);
// The pieces that make records: white-space-only pieces dropped, ending
// before the first piece whose first token is "|".
std::vector<std::string> ReferenceRecordLines(const std::string& content);
// The whitespace-separated tokens of a line (blank, tab, CR, LF separate).
std::vector<std::string> ReferenceTokens(const std::string& line);

struct ReferenceSkill {
  std::string name;
  std::string columns[6];  // offsets as kept (last character dropped), texts as kept
};
std::vector<ReferenceSkill> ReferenceSkillTable(const std::string& content);

// The files a version line names: those of its one files= word when that
// names one or two plain file names, else d2game.dll and d2client.dll.
std::vector<std::string> ReferenceVersionFiles(const std::string& line);

// A version line's fingerprint of one of its files (by default 0 d2game.dll,
// 1 d2client.dll): state 0 absent, 1 declared, 2 malformed, as
// tables/fingerprint_token.h describes them.
struct ReferenceFingerprint {
  int state = 0;
  unsigned long long size = 0;
  unsigned long crc = 0;
};
ReferenceFingerprint ReferenceVersionFingerprint(const std::string& line, int dll);

// The first `width - 1` characters of text: what a field of that width keeps.
std::string Cut(const std::string& text, size_t width);

#endif  // ORVANEL_FUZZ_REFERENCE_TABLES_H_
