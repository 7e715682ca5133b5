#include "tables/table_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

#include "io/file_paths.h"
#include "tables/aspects.h"

namespace {

constexpr size_t kSkillColumns = 7;
const char kEndMarker[] = "|";

// A data line that became a record, with its line number in the file.
struct DataLine {
  int number;
  std::string text;
};

struct ScannedFile {
  std::string path;  // native, as the findings name it
  bool opened = false;
  bool notFile = false;  // something other than a file stands there
  bool utf16 = false;    // saved as UTF-16, which no line of it reads as
  bool endMarker = false;
  int crOnlyLine = 0;  // the first line ended by a CR alone
  int lastLine = 0;
  std::vector<DataLine> records;
  // Lines longer than a read, whose records the exchange refuses.
  std::vector<int> splitLines;
};

// Leaves the file where it was.
bool SavedAsUtf16(FILE* file) {
  long at = std::ftell(file);
  char start[3] = {};
  for (int i = 0; i < 2; ++i) {
    int c = std::fgetc(file);
    start[i] = static_cast<char>(c == EOF ? 0 : c);
  }
  std::fseek(file, at, SEEK_SET);
  return StartsAsUtf16(start);
}

// Reads a file in the very pieces the loaders read, so that the k-th data
// line here is the k-th record of the loader, and counts the lines.
ScannedFile Scan(const char* windowsPath) {
  ScannedFile scanned;
  scanned.path = NativePath(windowsPath);
  FILE* file = OpenFile(windowsPath, "r");
  if (file == nullptr) {
    std::error_code error;
    scanned.notFile = std::filesystem::exists(scanned.path, error) &&
                      !std::filesystem::is_regular_file(scanned.path, error);
    return scanned;
  }
  scanned.opened = true;
  scanned.utf16 = SavedAsUtf16(file);
  if (scanned.utf16) {
    std::fclose(file);
    return scanned;
  }
  char piece[kLineSize];
  char token[kLineSize];
  DataLineReader reader(file);
  while (reader.Next(piece)) {
    int number = reader.Line();
    if (FirstToken(piece, token, sizeof token) == 0) continue;
    if (reader.InPieces() && (scanned.splitLines.empty() || scanned.splitLines.back() != number)) {
      scanned.splitLines.push_back(number);
    }
    if (std::strcmp(token, kEndMarker) == 0) {
      scanned.endMarker = true;
      break;
    }
    scanned.records.push_back({number, piece});
  }
  scanned.lastLine = scanned.endMarker ? reader.Line() : reader.LastLine();
  scanned.crOnlyLine = reader.LoneCrLine();
  std::fclose(file);
  return scanned;
}

// The columns of a line, split where FirstToken splits.
std::vector<std::string> Columns(const std::string& line) {
  std::vector<std::string> columns;
  char token[kLineSize];
  const char* cursor = line.c_str();
  for (size_t length; (length = FirstToken(cursor, token, sizeof token)) > 0;) {
    // Only blanks stand before the token, so its first occurrence is itself.
    cursor = std::strstr(cursor, token) + length;
    columns.push_back(token);
  }
  return columns;
}

std::string Quoted(const char* text) {
  return std::string("\"") + text + "\"";
}

// The findings of one file, put in line order before they are handed out.
class FileReport {
 public:
  explicit FileReport(const ScannedFile& file) : path_(file.path) {}
  explicit FileReport(std::string path) : path_(std::move(path)) {}
  // about: kWholeLine, kNotOfSkill or the index of the offset's aspect.
  void Add(int line, const std::string& problem, int about = kWholeLine) {
    lines_.push_back({path_, line, about, problem, problem});
  }
  // A finding about the end of the file, shown after all others.
  void AddAtEnd(int line, const std::string& problem) {
    atEnd_.push_back({path_, line, kNotOfSkill, problem, problem});
  }
  int MoveTo(std::vector<TableFinding>* findings) {
    std::stable_sort(lines_.begin(), lines_.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
    lines_.insert(lines_.end(), atEnd_.begin(), atEnd_.end());
    for (TableFinding& finding : lines_) {
      finding.text = path_ + ":" + std::to_string(finding.line) + ": " + finding.text;
      findings->push_back(finding);
    }
    return static_cast<int>(lines_.size());
  }

 private:
  std::string path_;
  std::vector<TableFinding> lines_;  // text: the problem alone until moved, then with its place
  std::vector<TableFinding> atEnd_;
};

// "1 skill", "2 skills".
std::string Count(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// "1st", "2nd", "11th": positions as people count them.
std::string Ordinal(size_t number) {
  size_t tens = number % 100;
  size_t ones = number % 10;
  const char* suffix = (tens >= 11 && tens <= 13) ? "th"
                       : ones == 1                ? "st"
                       : ones == 2                ? "nd"
                       : ones == 3                ? "rd"
                                                  : "th";
  return std::to_string(number) + suffix;
}

// A file saved as UTF-16 reads as nothing the program understands: that is
// the one thing to say about it.
const char kUtf16[] =
    "is saved as UTF-16 (\"Unicode\" in Notepad), which the program cannot read: "
    "save it again as ANSI or UTF-8 (Notepad: File > Save As, Encoding)";

bool CheckEncoding(const ScannedFile& file, FileReport* report) {
  if (!file.utf16) return false;
  report->Add(0, kUtf16);
  return true;
}

// Findings every data file shares: the end marker and lines read in pieces.
std::string LongLineProblem() {
  return "line longer than " + std::to_string(kMaxLineLength) +
         " characters: the program reads it in pieces and exchanges none of them: shorten the "
         "line";
}

void CheckListShape(const ScannedFile& file, FileReport* report) {
  for (int line : file.splitLines) report->Add(line, LongLineProblem());
  if (file.crOnlyLine > 0) {
    report->Add(file.crOnlyLine,
                "lines end in CR alone: the program reads the lines after it as part of this "
                "one; save the file with Windows (CR LF) or Unix (LF) line ends");
  }
  if (!file.endMarker) {
    report->AddAtEnd(file.lastLine, "no end marker: the list must end with a line \"|\"");
  }
}

// what "Jab" is listed twice, first at line 11. False for a repeat.
bool CheckDuplicate(std::map<std::string, int>* seen, const char* what, const char* name, int line,
                    FileReport* report) {
  auto [first, inserted] = seen->emplace(name, line);
  if (!inserted) {
    report->Add(line, std::string(what) + " " + Quoted(name) + " is listed twice, first at line " +
                          std::to_string(first->second));
  }
  return inserted;
}

// The record the loader made of each data line, by position.
std::vector<RecordNode*> RecordsOf(RecordList list, const ScannedFile& file) {
  return ByPosition(list, file.records.size());
}

const char* NameOf(const RecordNode* node) {
  return node != nullptr ? node->name : nullptr;
}

int CheckVersions(RecordList versions, std::vector<TableFinding>* findings) {
  ScannedFile file = Scan("data\\versions.txt");
  FileReport report(file);
  if (!file.opened) {
    report.Add(0, "cannot be opened: no version can be chosen");
    return report.MoveTo(findings);
  }
  if (CheckEncoding(file, &report)) return report.MoveTo(findings);
  CheckListShape(file, &report);
  if (file.records.empty()) report.Add(file.lastLine, "lists no version");
  std::map<std::string, int> seen;
  std::vector<RecordNode*> records = RecordsOf(versions, file);
  for (size_t k = 0; k < file.records.size(); ++k) {
    const char* name = NameOf(records[k]);
    if (name == nullptr) continue;
    int line = file.records[k].number;
    CheckDuplicate(&seen, "version", name, line, &report);
    const VersionFiles& files = static_cast<VersionRecord*>(records[k])->files;
    if (files.Malformed()) {
      report.Add(line, "version " + Quoted(name) + ": " + Quoted(files.token.c_str()) +
                           " cannot be read (" + files.problem +
                           "): this version exchanges nothing");
    }
    for (const DllFingerprint& fingerprint :
         static_cast<VersionRecord*>(records[k])->fingerprints) {
      if (fingerprint.state != DllFingerprint::kMalformed) continue;
      report.Add(line, "version " + Quoted(name) + ": " + Quoted(fingerprint.token) +
                           " is no fingerprint (" + fingerprint.problem +
                           "): the exchange refuses this version");
    }
    std::string problem;
    if (SkillTableSuffix(versions, records[k]->position, &problem).empty()) {
      report.Add(line, "version " + Quoted(name) + " has no skill tables: " + problem);
    }
  }
  return report.MoveTo(findings);
}

// column is the text in the file, loaded what the loader kept of it.
// A column of six characters keeps the loaders' reading (the five digits
// before the dropped one); a shorter one of digits alone has lost its closing
// character.
void CheckOffset(int aspect, const std::string& column, const char* loaded, int line,
                 FileReport* report) {
  std::string name = kAspects[aspect].name;
  name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
  std::string what = name + " offset " + Quoted(column.c_str());
  if (column.size() > 2 && column[0] == '0' && (column[1] == 'x' || column[1] == 'X')) {
    std::string plain = column.substr(2);
    if (std::isxdigit(static_cast<unsigned char>(plain.back()))) plain += 'h';
    report->Add(line, what + " begins with 0x: write " + plain + ", without 0x", aspect);
  } else if (column.size() > 6) {
    report->Add(line,
                what +
                    " has more than five digits: the program reads offsets of at "
                    "most five, up to FFFFF (the first MiB of the DLL)",
                aspect);
  } else if (loaded[0] == '\0') {
    report->Add(line,
                what +
                    " is read as nothing: the program drops an offset's last "
                    "character; write the offset followed by h, as in 2A3F0h",
                aspect);
  } else if (!IsOffsetText(loaded)) {
    report->Add(line,
                what +
                    " is not upper-case hexadecimal: write digits 0-9 and A-F, "
                    "then h, as in 2A3F0h",
                aspect);
  } else if (column.size() < 6 && std::isxdigit(static_cast<unsigned char>(column.back()))) {
    report->Add(line,
                what +
                    " ends in a digit: the program drops an offset's last "
                    "character and would read " +
                    Quoted(loaded) + ": write " + column + "h",
                aspect);
  }
}

void CheckSkillLine(const DataLine& data, const SkillRecord& skill, FileReport* report) {
  std::vector<std::string> columns = Columns(data.text);
  if (columns.size() != kSkillColumns) {
    std::string problem = "skill line has " + std::to_string(columns.size()) +
                          " columns, expected " + std::to_string(kSkillColumns);
    // A name with a blank pushes an offset into the second column's place.
    if (columns.size() > kSkillColumns) {
      std::string second = columns[1];
      bool nameWhole = second.size() > 1 && second.back() == 'h' &&
                       IsOffsetText(second.substr(0, second.size() - 1).c_str());
      problem += nameWhole ? " (a note is one word: write its blanks as _)"
                           : " (write blanks in a name as _)";
    }
    report->Add(data.number, problem);
  }
  for (int a = 0; a < kAspectCount; ++a) {
    const Aspect& aspect = kAspects[a];
    if (aspect.column >= columns.size()) continue;  // reported with the column count
    CheckOffset(a, columns[aspect.column], skill.*aspect.offsets, data.number, report);
  }
}

void CheckSkillTable(const ScannedFile& file, RecordList skills, FileReport* report) {
  CheckListShape(file, report);
  std::map<std::string, int> seen;
  std::vector<RecordNode*> records = RecordsOf(skills, file);
  for (size_t k = 0; k < file.records.size(); ++k) {
    auto* skill = static_cast<const SkillRecord*>(records[k]);
    if (skill == nullptr) continue;
    int line = file.records[k].number;
    CheckSkillLine(file.records[k], *skill, report);
    CheckDuplicate(&seen, "skill", skill->name, line, report);
  }
}

// The window shows the names of the first table and exchanges the records at
// the same positions of the second: both must list the same skills in order.
void CompareTables(const ScannedFile& first, RecordList firstSkills, const ScannedFile& second,
                   RecordList secondSkills, FileReport* report) {
  size_t common = std::min(first.records.size(), second.records.size());
  std::vector<RecordNode*> shownRecords = RecordsOf(firstSkills, first);
  std::vector<RecordNode*> exchangedRecords = RecordsOf(secondSkills, second);
  for (size_t k = 0; k < common; ++k) {
    const char* shown = NameOf(shownRecords[k]);
    const char* exchanged = NameOf(exchangedRecords[k]);
    if (shown == nullptr || exchanged == nullptr || std::strcmp(shown, exchanged) == 0) continue;
    report->Add(second.records[k].number,
                "the " + Ordinal(k + 1) + " skill is " + Quoted(exchanged) + " here but " +
                    Quoted(shown) + " at " + first.path + ":" +
                    std::to_string(first.records[k].number) +
                    ": the skill boxes show the one, so the exchange refuses it; list the same "
                    "skills in the same order in both tables");
  }
  if (first.records.size() != second.records.size()) {
    int line = second.records.empty() ? second.lastLine : second.records.back().number;
    report->Add(line,
                "lists " + Count(second.records.size(), "skill") + " but " + first.path +
                    " lists " + std::to_string(first.records.size()) +
                    ": both tables must list the same skills in the same order",
                kNotOfSkill);
  }
}

int CheckClass(RecordList versions, const ClassRecord& record, int classLine,
               FileReport* classReport, std::vector<TableFinding>* findings,
               std::vector<SkillTableLines>* lines) {
  int32_t positions = VersionPositions(versions);
  std::vector<ScannedFile> tables(static_cast<size_t>(positions));
  lines->resize(tables.size());
  int found = 0;
  for (int32_t version = 0; version < positions; ++version) {
    // A version whose tables cannot be named is the versions file's finding.
    if (SkillTableSuffix(versions, version).empty()) continue;
    char path[kLineSize];
    if (!SkillTablePath(versions, record.name, version, path)) {
      classReport->Add(classLine, "class " + Quoted(record.name) +
                                      (LeadsOutsideData(record.name)
                                           ? " leads outside the data folder: its tables are "
                                             "not read"
                                           : " is too long a name for its tables"));
      if (LeadsOutsideData(record.name)) return 0;  // once for all tables
      continue;
    }
    // A later version may share a table with an earlier one: read it once.
    bool shared = false;
    for (int32_t earlier = 0; earlier < version; ++earlier) {
      shared = shared || tables[earlier].path == NativePath(path);
    }
    if (shared) continue;
    tables[version] = Scan(path);
    if (!tables[version].opened) {
      classReport->Add(classLine,
                       "class " + Quoted(record.name) + " has no table " + tables[version].path);
      continue;
    }
    (*lines)[version].path = tables[version].path;
    for (const DataLine& data : tables[version].records) {
      (*lines)[version].skillLines.push_back(data.number);
    }
  }
  // A class with no skill in any table is how the tables come: say what to
  // do, once.
  std::vector<std::string> emptyTables;
  bool anySkill = false;
  for (const ScannedFile& table : tables) {
    if (!table.opened) continue;
    if (table.utf16 || !table.records.empty()) anySkill = true;
    emptyTables.push_back(table.path);
  }
  if (!anySkill && !emptyTables.empty()) {
    std::string names = emptyTables[0];
    for (size_t t = 1; t < emptyTables.size(); ++t) {
      names += (t + 1 == emptyTables.size() ? " and " : ", ") + emptyTables[t];
    }
    classReport->Add(classLine, "class " + Quoted(record.name) + " has no skills yet: fill " +
                                    names + " with your DLLs' offsets, or remove the class here");
  }
  for (int32_t version = 0; version < positions; ++version) {
    if (!tables[version].opened) continue;
    FileReport report(tables[version]);
    if (CheckEncoding(tables[version], &report)) {
      found += report.MoveTo(findings);
      continue;
    }
    CheckSkillTable(tables[version], record.SkillsOf(version), &report);
    if (version > 0 && tables[0].opened && !tables[0].utf16) {
      CompareTables(tables[0], record.SkillsOf(0), tables[version], record.SkillsOf(version),
                    &report);
    }
    found += report.MoveTo(findings);
  }
  return found;
}

int CheckClasses(RecordList versions, RecordList classes, std::vector<TableFinding>* findings,
                 TableLines* lines) {
  ScannedFile file = Scan("data\\classes.txt");
  FileReport report(file);
  if (!file.opened) {
    report.Add(0, file.notFile ? "is not a file: the program cannot start"
                               : "cannot be opened: the program cannot start");
    return report.MoveTo(findings);
  }
  if (CheckEncoding(file, &report)) return report.MoveTo(findings);
  CheckListShape(file, &report);
  std::map<std::string, int> seen;
  std::vector<TableFinding> tableFindings;
  int found = 0;
  lines->resize(file.records.size());
  std::vector<RecordNode*> records = RecordsOf(classes, file);
  for (size_t k = 0; k < file.records.size(); ++k) {
    auto* record = static_cast<const ClassRecord*>(records[k]);
    if (record == nullptr) continue;
    int line = file.records[k].number;
    // A repeated class reads the same tables again: their findings once do.
    if (!CheckDuplicate(&seen, "class", record->name, line, &report)) continue;
    found += CheckClass(versions, *record, line, &report, &tableFindings, &(*lines)[k]);
  }
  found += report.MoveTo(findings);
  findings->insert(findings->end(), tableFindings.begin(), tableFindings.end());
  return found;
}

}  // namespace

std::vector<TableFinding> SkillLineFindings(const SkillRecord& skill, const char* windowsPath) {
  std::vector<TableFinding> findings;
  FileReport report(NativePath(windowsPath));
  if (skill.fromUtf16) {
    report.Add(0, kUtf16);
  } else if (skill.inPieces) {
    // Nothing in a piece of a line can be trusted, so nothing more is said.
    report.Add(skill.line, LongLineProblem());
  } else if (skill.line > 0) {  // a record not read from a table has no line to judge
    CheckSkillLine({skill.line, skill.lineText}, skill, &report);
  }
  report.MoveTo(&findings);
  return findings;
}

std::vector<TableFinding> PlacedTableFindings(RecordList versions, RecordList classes,
                                              TableLines* lines) {
  TableLines ignored;
  if (lines == nullptr) lines = &ignored;
  lines->clear();
  std::vector<TableFinding> findings;
  CheckVersions(versions, &findings);
  CheckClasses(versions, classes, &findings, lines);
  return findings;
}

int CheckTables(RecordList versions, RecordList classes, std::vector<std::string>* findings,
                TableLines* lines) {
  std::vector<TableFinding> placed = PlacedTableFindings(versions, classes, lines);
  for (const TableFinding& finding : placed) findings->push_back(finding.text);
  return static_cast<int>(placed.size());
}

bool SplitFinding(const std::string& text, TableFinding* finding) {
  // The path may hold colons itself (C:/...): the line is the first run of
  // digits between a colon and ": ".
  for (size_t colon = text.find(':'); colon != std::string::npos;
       colon = text.find(':', colon + 1)) {
    size_t end = colon + 1;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end == colon + 1 || text.compare(end, 2, ": ") != 0) continue;
    finding->path = text.substr(0, colon);
    finding->line = static_cast<int>(std::strtol(text.c_str() + colon + 1, nullptr, 10));
    finding->problem = text.substr(end + 2);
    return true;
  }
  return false;
}

std::string FindingInWords(const TableFinding& finding) {
  std::string place = ShownPath(finding.path);
  if (finding.line > 0) place += " line " + std::to_string(finding.line);
  return place + ": " + finding.problem;
}

const TableFinding* FindingAbout(const std::vector<TableFinding>& findings, const char* windowsPath,
                                 int line) {
  std::string path = NativePath(windowsPath);
  for (const TableFinding& finding : findings) {
    if (finding.path == path && (finding.line == line || finding.line == 0)) return &finding;
  }
  return nullptr;
}

const SkillTableLines* SeenTable(const TableLines& lines, size_t classIndex, int32_t version,
                                 size_t skillIndex) {
  if (classIndex >= lines.size() || version < 0 ||
      static_cast<size_t>(version) >= lines[classIndex].size()) {
    return nullptr;
  }
  const SkillTableLines& table = lines[classIndex][static_cast<size_t>(version)];
  return skillIndex < table.skillLines.size() ? &table : nullptr;
}
