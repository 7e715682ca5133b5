// Checks the data tables the way the loaders read them and reports what
// would make an exchange wrong or fail. Each finding is one line
// "file:line: problem", the file as a native path and line 0 when the problem
// concerns the whole file; findings come in file order.
#ifndef ORVANEL_TABLES_TABLE_CHECK_H_
#define ORVANEL_TABLES_TABLE_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tables/data_files.h"
#include "tables/record_list.h"

// Where the loaders read each skill: per class (by position) and version
// position, the table's native path and the line of each skill by position.
struct SkillTableLines {
  std::string path;  // empty when the table could not be opened
  std::vector<int> skillLines;
};
using TableLines = std::vector<std::vector<SkillTableLines>>;

// The table of class classIndex at version position whose skill line
// skillIndex the check saw; null when it saw none, so that the lists are
// walked alongside the lines, never searched by position.
const SkillTableLines* SeenTable(const TableLines& lines, size_t classIndex, int32_t version,
                                 size_t skillIndex);

// A finding with its place, so that a change can refuse what the check
// finds in the lines it uses: about is the index (in kAspects) of the offset
// it concerns, kWholeLine for the line as a whole, kNotOfSkill for the file
// rather than the skill on its line.
constexpr int kWholeLine = -1;
constexpr int kNotOfSkill = -2;
struct TableFinding {
  std::string path;  // native
  int line = 0;
  int about = kWholeLine;
  std::string text;     // "file:line: problem", as CheckTables gives it
  std::string problem;  // the problem alone
};

// versions and classes are what LoadVersions("data\\versions.txt") and
// LoadClasses(versions) made of the files now in the data folder. Appends findings
// and fills lines (may be null). Returns the number of findings added.
int CheckTables(RecordList versions, RecordList classes, std::vector<std::string>* findings,
                TableLines* lines);

// What the check finds in one skill's line, from the record alone (the line
// it was read from), with windowsPath the table it was read from.
std::vector<TableFinding> SkillLineFindings(const SkillRecord& skill, const char* windowsPath);

// The findings of CheckTables with their places; lines as there.
std::vector<TableFinding> PlacedTableFindings(RecordList versions, RecordList classes,
                                              TableLines* lines = nullptr);
// A finding's text taken apart: its file (native path), line and problem.
// False when text is no "file:line: problem" finding.
bool SplitFinding(const std::string& text, TableFinding* finding);
// The finding as the window and the result box say it: "data\Amazon 109b.txt
// line 3: problem", or without the line for one about the whole file.
std::string FindingInWords(const TableFinding& finding);
// The first of findings about line of the table at windowsPath, or about
// that whole table; null when there is none.
const TableFinding* FindingAbout(const std::vector<TableFinding>& findings, const char* windowsPath,
                                 int line);

#endif  // ORVANEL_TABLES_TABLE_CHECK_H_
