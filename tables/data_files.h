// The plain-text tables in data\: versions, classes and per-class skill
// tables, their shared line reader and the offset conversion.
// Loaders return lists owned by the caller (null when the file cannot be
// opened or holds no record); LoadClasses fills classList.
#ifndef ORVANEL_TABLES_DATA_FILES_H_
#define ORVANEL_TABLES_DATA_FILES_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tables/fingerprint_token.h"
#include "tables/record_list.h"
#include "tables/version_files.h"

// Version positions 0 and 1 read the tables " 109b.txt" and " 109d.txt",
// whatever the versions' names; a later one its own (SkillTableSuffix).
constexpr int kFixedTableVersions = 2;

class ClassRecord : public RecordNode {
 public:
  ClassRecord() = default;
  // Frees the skill list of each version position in turn.
  ~ClassRecord();

  // The skill list of a version position; null when it has none.
  RecordList SkillsOf(int32_t version) const;

  // One list per version position, at least the two of the fixed tables.
  std::vector<RecordList> skillLists = std::vector<RecordList>(kFixedTableVersions, nullptr);
};

// A version line: its name, the files it keeps its skills in
// (tables/version_files.h) and the fingerprints it declares, by the index of
// those files (tables/fingerprint_token.h).
class VersionRecord : public RecordNode {
 public:
  VersionFiles files;
  DllFingerprint fingerprints[kFingerprintDlls];
};
static_assert(kMaxVersionFiles == kFingerprintDlls, "a fingerprint per file of a version");

// A skill as one version's table gives it; the list it is in says which
// version position that is.
class SkillRecord : public RecordNode {
 public:
  char effectsOffset[6] = {};
  char effectsText[12] = {};
  char graphicsOffset[6] = {};
  char graphicsText[20] = {};
  char descriptionsOffset[6] = {};
  char descriptionsText[16] = {};
  // The line as read (the piece, for a line read in pieces), and whether its
  // table is saved as UTF-16: what the table check judges, kept so that an
  // exchange judges the skills it uses without reading the table again.
  char lineText[256] = {};
  bool fromUtf16 = false;
};

constexpr int kLineSize = 256;
// The longest line, line end not counted, that ReadDataLine gives whole.
constexpr int kMaxLineLength = kLineSize - 3;

// Whether text begins as Notepad's "Unicode" or "Unicode big endian" files
// do (their byte-order mark).
bool StartsAsUtf16(const char* text);

// Reads the next line that is neither a comment (first character '/') nor
// empty into line: at most 254 characters, the line end included, so a longer
// line comes in pieces. A CR before the LF belongs to the line end on every
// platform. Returns 1 when a line was read, 0 at the end of the file (line is
// then empty).
int ReadDataLine(FILE* file, char line[kLineSize]);
// The rule ReadDataLine skips by: false for a comment or an empty line.
bool IsDataLine(const char* line);

// ReadDataLine's reading that also tells where each piece came from: the
// line number in the file and whether that line was longer than one read
// (the piece is its start, or a rest that the loaders read as a line of its
// own).
class DataLineReader {
 public:
  explicit DataLineReader(FILE* file) : file_(file) {}
  int Next(char line[kLineSize]);
  int32_t Line() const { return line_; }
  bool InPieces() const { return inPieces_; }
  // The line of the last piece read, comment or empty ones included.
  int32_t LastLine() const { return lastLine_; }
  // The first line ended by a CR alone (0: none so far): the reader runs it
  // and the lines after it together.
  int32_t LoneCrLine() const { return loneCrLine_; }

 private:
  FILE* file_;
  int32_t nextLine_ = 1;
  bool midLine_ = false;
  int32_t line_ = 0;
  bool inPieces_ = false;
  int32_t lastLine_ = 0;
  int32_t loneCrLine_ = 0;
};

// Copies the first run of non-blank characters of line (blank, tab, CR and LF
// separate) into token, cut to tokenSize - 1 characters. Returns its full
// length, 0 when the line holds only white space.
size_t FirstToken(const char* line, char* token, size_t tokenSize);

// Hexadecimal text to number, most significant digit first, wrapping at 32
// bits. Characters are not checked: above '@' counts code - 55, else code - 48.
void HexToNumber(uint32_t* result, const char* text);
// The offsets an exchange may use: 1 to 8 upper-case hexadecimal digits, so
// that HexToNumber neither guesses at a character nor wraps.
bool IsOffsetText(const char* text);

// One VersionRecord per line: the first word is the name, a files= word after
// it fills files (a second one makes them malformed), fingerprint tokens of
// those files fill fingerprints (a file declared twice is malformed).
RecordList LoadVersions(const char* path);
// The number of version positions with skill lists: every version of
// versions, and at least the two of the fixed tables.
int32_t VersionPositions(RecordList versions);
// How the skill tables of the version at position end: " 109b.txt" (0) and
// " 109d.txt" (1) whatever the versions' names; for a later one a blank, the
// version's first token without its dots, and ".txt" ("1.13c" gives
// " 113c.txt"). "" when the version has no tables, with why in problem (when
// given): a token that leaves anything but letters, digits, '-' and '_'.
std::string SkillTableSuffix(RecordList versions, int32_t position, std::string* problem = nullptr);
// Reads data\classes.txt and the skill tables of each class for every
// version position of versions (null: positions 0 and 1) into classList.
// Returns 0 (and logs) when data\classes.txt cannot be opened, else 1.
int LoadClasses(RecordList versions = nullptr);
// A class name that climbs out of the data folder ("..\" or "../" in it).
bool LeadsOutsideData(const char* className);
// "data\" + class name + the version's SkillTableSuffix. False when the
// version has no tables, the name leads outside the data folder or the path
// does not fit the buffer.
bool SkillTablePath(RecordList versions, const char* className, int32_t version,
                    char path[kLineSize]);
RecordList LoadSkillTable(const char* path);
// Frees versionList, then classList with every class's skill lists.
void FreeDataTables();

#endif  // ORVANEL_TABLES_DATA_FILES_H_
