#include "tables/data_files.h"

#include <cctype>
#include <cstring>
#include <new>

#include "io/file_paths.h"
#include "patch/logger.h"

namespace {

const char kEndMarker[] = "|";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsLineEnd(const char* line) {
  return line[0] == '\n' || (line[0] == '\r' && (line[1] == '\n' || line[1] == '\0'));
}

// Copies the next token at *cursor into field (cut to fieldSize - 1
// characters) and moves the cursor past it. Returns the token's full length.
size_t NextToken(const char** cursor, char* field, size_t fieldSize) {
  const char* start = *cursor;
  while (*start != '\0' && IsBlank(*start)) ++start;
  const char* end = start;
  while (*end != '\0' && !IsBlank(*end)) ++end;
  size_t length = static_cast<size_t>(end - start);
  size_t kept = length < fieldSize ? length : fieldSize - 1;
  std::memcpy(field, start, kept);
  field[kept] = '\0';
  *cursor = end;
  return length;
}

void UnderscoresToBlanks(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text == '_') *text = ' ';
  }
}

// An offset column is up to five digits and one further character, which is
// dropped. A longer column is left out rather than cut, so that a wrong
// offset can never be taken for a right one: the exchange refuses an empty one.
void ReadOffsetColumn(const char** cursor, char field[6]) {
  char column[kLineSize];
  size_t length = NextToken(cursor, column, sizeof column);
  if (length > 6) length = 0;
  if (length > 0) length -= 1;
  std::memcpy(field, column, length);
  field[length] = '\0';
}

// Appends one record per data line to *head until the end marker or the end
// of the file, each marked with where it was read. makeRecord builds a record
// from a line (null when it cannot be allocated, which ends the list there).
template <typename MakeRecord>
void ReadRecords(FILE* file, RecordList* head, MakeRecord makeRecord) {
  char line[kLineSize];
  char token[kLineSize];
  ListAppender list(head);
  DataLineReader reader(file);
  while (reader.Next(line)) {
    if (FirstToken(line, token, sizeof token) == 0) continue;
    if (std::strcmp(token, kEndMarker) == 0) break;
    RecordNode* record = makeRecord(line, token);
    if (record == nullptr) break;
    record->line = reader.Line();
    record->inPieces = reader.InPieces();
    list.Add(record);
  }
}

// The files= word first, wherever it stands: the tokens are read by its names.
void ReadVersionFiles(const char* line, VersionRecord* version) {
  char word[kLineSize];
  const char* cursor = line;
  NextToken(&cursor, word, sizeof word);  // the name
  bool declared = false;
  while (NextToken(&cursor, word, sizeof word) > 0) {
    VersionFiles files;
    if (!ReadFilesWord(word, &files)) continue;
    if (declared) {
      version->files = VersionFiles();
      version->files.token = std::string(word).substr(0, 60);
      version->files.problem = "files= is declared twice on this line";
      return;
    }
    declared = true;
    version->files = files;
  }
}

void ReadFingerprints(const char* line, VersionRecord* version) {
  char word[kLineSize];
  const char* cursor = line;
  NextToken(&cursor, word, sizeof word);  // the name
  const VersionFiles& files = version->files;
  while (NextToken(&cursor, word, sizeof word) > 0) {
    VersionFiles ignored;
    if (ReadFilesWord(word, &ignored)) continue;
    DllFingerprint fingerprint;
    int dll = ParseFingerprintToken(word, files.names, files.count, &fingerprint);
    if (dll < 0) continue;
    DllFingerprint& declared = version->fingerprints[dll];
    if (declared.state != DllFingerprint::kAbsent) {
      fingerprint = DllFingerprint();
      fingerprint.state = DllFingerprint::kMalformed;
      fingerprint.problem = "declared twice on this line";
      std::snprintf(fingerprint.token, sizeof fingerprint.token, "%.60s", word);
    }
    declared = fingerprint;
  }
}

}  // namespace

bool LeadsOutsideData(const char* className) {
  return std::strstr(className, "..\\") != nullptr || std::strstr(className, "../") != nullptr;
}

int32_t VersionPositions(RecordList versions) {
  RecordNode* last = Tail(versions);
  int32_t listed = last != nullptr ? last->position + 1 : 0;
  return listed > kFixedTableVersions ? listed : kFixedTableVersions;
}

std::string SkillTableSuffix(RecordList versions, int32_t position, std::string* problem) {
  static const char* const kFixedSuffixes[kFixedTableVersions] = {" 109b.txt", " 109d.txt"};
  std::string why;
  if (problem == nullptr) problem = &why;
  problem->clear();
  if (position >= 0 && position < kFixedTableVersions) return kFixedSuffixes[position];
  const RecordNode* version = AtPosition(versions, position);
  if (version == nullptr) {
    *problem = "no version at position " + std::to_string(position);
    return "";
  }
  // The name is the first token with its underscores as blanks.
  std::string stem;
  for (const char* c = version->name; *c != '\0'; ++c) {
    if (*c == '.') continue;
    char kept = *c == ' ' ? '_' : *c;
    if (!std::isalnum(static_cast<unsigned char>(kept)) && kept != '-' && kept != '_') {
      *problem = std::string("its name leaves \"") + kept +
                 "\" once the dots are dropped: a table name may hold only letters, digits, "
                 "- and _";
      return "";
    }
    stem += kept;
  }
  if (stem.empty()) {
    *problem = "its name is only dots";
    return "";
  }
  return " " + stem + ".txt";
}

bool SkillTablePath(RecordList versions, const char* className, int32_t version,
                    char path[kLineSize]) {
  std::string suffix = SkillTableSuffix(versions, version);
  if (suffix.empty() || LeadsOutsideData(className)) return false;
  int written = std::snprintf(path, kLineSize, "data\\%s%s", className, suffix.c_str());
  return written > 0 && written < kLineSize;
}

ClassRecord::~ClassRecord() {
  for (RecordList& skills : skillLists) FreeList<SkillRecord>(&skills);
}

RecordList ClassRecord::SkillsOf(int32_t version) const {
  if (version < 0 || static_cast<size_t>(version) >= skillLists.size()) return nullptr;
  return skillLists[static_cast<size_t>(version)];
}

int ReadDataLine(FILE* file, char line[kLineSize]) {
  while (std::fgets(line, kLineSize - 1, file) != nullptr) {
    if (IsDataLine(line)) return 1;
  }
  line[0] = '\0';
  return 0;
}

int DataLineReader::Next(char line[kLineSize]) {
  while (std::fgets(line, kLineSize - 1, file_) != nullptr) {
    int32_t number = nextLine_;
    bool startsMidLine = midLine_;
    size_t length = std::strlen(line);
    bool ended = length > 0 && line[length - 1] == '\n';
    bool continues = false;
    if (!ended) {
      int following = std::fgetc(file_);
      if (following != EOF) std::ungetc(following, file_);
      // A CR LF cut between its two characters ends the line all the same.
      continues =
          following != EOF && !(following == '\n' && length > 0 && line[length - 1] == '\r');
    }
    midLine_ = !ended;
    if (ended) ++nextLine_;
    lastLine_ = number;
    const char* cr = loneCrLine_ == 0 ? std::strchr(line, '\r') : nullptr;
    while (cr != nullptr && (cr[1] == '\n' || cr[1] == '\0')) cr = std::strchr(cr + 1, '\r');
    if (cr != nullptr) loneCrLine_ = number;
    if (!IsDataLine(line)) continue;
    line_ = number;
    inPieces_ = startsMidLine || continues;
    return 1;
  }
  line[0] = '\0';
  return 0;
}

bool IsDataLine(const char* line) {
  return line[0] != '/' && !IsLineEnd(line);
}

size_t FirstToken(const char* line, char* token, size_t tokenSize) {
  return NextToken(&line, token, tokenSize);
}

void HexToNumber(uint32_t* result, const char* text) {
  uint32_t sum = 0;
  uint32_t weight = 1;
  for (size_t i = std::strlen(text); i > 0; --i) {
    unsigned char c = static_cast<unsigned char>(text[i - 1]);
    uint32_t value = c > 64 ? c - 55u : c - 48u;
    sum += value * weight;
    weight *= 16;
  }
  *result = sum;
}

bool IsOffsetText(const char* text) {
  size_t length = std::strlen(text);
  if (length == 0 || length > 8) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

RecordList LoadVersions(const char* path) {
  FILE* file = OpenFile(path, "r");
  if (file == nullptr) return nullptr;
  RecordList versions = nullptr;
  ReadRecords(file, &versions, [](const char* line, const char* token) -> RecordNode* {
    VersionRecord* version = new (std::nothrow) VersionRecord;
    if (version == nullptr) return nullptr;
    std::snprintf(version->name, sizeof version->name, "%s", token);
    UnderscoresToBlanks(version->name);
    ReadVersionFiles(line, version);
    ReadFingerprints(line, version);
    return version;
  });
  std::fclose(file);
  return versions;
}

bool StartsAsUtf16(const char* text) {
  auto first = static_cast<unsigned char>(text[0]);
  auto second = static_cast<unsigned char>(first == 0 ? 0 : text[1]);
  return (first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF);
}

RecordList LoadSkillTable(const char* path) {
  FILE* file = OpenFile(path, "r");
  if (file == nullptr) return nullptr;
  RecordList skills = nullptr;
  ReadRecords(file, &skills, [](const char* line, const char*) -> RecordNode* {
    SkillRecord* skill = new (std::nothrow) SkillRecord;
    if (skill == nullptr) return nullptr;
    std::snprintf(skill->lineText, sizeof skill->lineText, "%s", line);
    const char* cursor = line;
    NextToken(&cursor, skill->name, sizeof skill->name);
    ReadOffsetColumn(&cursor, skill->effectsOffset);
    NextToken(&cursor, skill->effectsText, sizeof skill->effectsText);
    ReadOffsetColumn(&cursor, skill->graphicsOffset);
    NextToken(&cursor, skill->graphicsText, sizeof skill->graphicsText);
    ReadOffsetColumn(&cursor, skill->descriptionsOffset);
    NextToken(&cursor, skill->descriptionsText, sizeof skill->descriptionsText);
    UnderscoresToBlanks(skill->name);
    return skill;
  });
  // A table saved as UTF-16 begins with its byte-order mark, read as the start
  // of its first line: every record of it is marked, seeking nothing (text
  // mode on Windows cannot be trusted to seek back).
  bool utf16 = skills != nullptr && skills->line == 1 &&
               StartsAsUtf16(static_cast<SkillRecord*>(skills)->lineText);
  for (RecordNode* node = skills; utf16 && node != nullptr; node = node->next) {
    static_cast<SkillRecord*>(node)->fromUtf16 = true;
  }
  std::fclose(file);
  return skills;
}

int LoadClasses(RecordList versions) {
  FILE* file = OpenFile("data\\classes.txt", "r");
  if (file == nullptr) {
    logger.Print("* Couldn't read the data\\classes.txt file");
    return 0;
  }
  int32_t positions = VersionPositions(versions);
  ReadRecords(file, &classList, [&](const char*, const char* token) -> RecordNode* {
    ClassRecord* record = new (std::nothrow) ClassRecord;
    if (record == nullptr) return nullptr;
    std::snprintf(record->name, sizeof record->name, "%s", token);
    record->skillLists.assign(static_cast<size_t>(positions), nullptr);
    char path[kLineSize];
    for (int32_t version = 0; version < positions; ++version) {
      if (SkillTablePath(versions, token, version, path)) {
        record->skillLists[static_cast<size_t>(version)] = LoadSkillTable(path);
      }
    }
    return record;
  });
  std::fclose(file);
  return 1;
}

void FreeDataTables() {
  FreeList<VersionRecord>(&versionList);
  FreeList<ClassRecord>(&classList);
  versionList = nullptr;
  classList = nullptr;
}
