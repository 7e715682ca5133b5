// The table check: silent on sound tables, one exact finding per fault, and
// line numbers as an editor shows them.
#include "tables/table_check.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "io/file_paths.h"
#include "tables/data_files.h"
#include "tests/unit/test_support.h"

namespace {

using Strings = std::vector<std::string>;

const char kVersions[] = "// versions\r\n1.09b\r\n1.09d\r\n|\r\n";
const char kClasses[] = "Amazon\r\nSorceress\r\n|\r\n";

// A sound skill line: name, offsets 2100h/3100h/4100h plus 64 * index.
std::string SkillLine(const std::string& name, int index) {
  char line[128];
  std::snprintf(line, sizeof line, "%s\t%05Xh\tfx\t%05Xh\tgfx\t%05Xh\tdesc\r\n", name.c_str(),
                0x2100 + 64 * index, 0x3100 + 64 * index, 0x4100 + 64 * index);
  return line;
}

std::string Table(const Strings& names) {
  std::string table = "// Columns: name, effects, text, graphics, text, descriptions, text\r\n";
  for (size_t i = 0; i < names.size(); ++i) table += SkillLine(names[i], static_cast<int>(i));
  return table + "|\r\n";
}

class TableCheckTest : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    WriteFileBytes("data/versions.txt", kVersions);
    WriteFileBytes("data/classes.txt", kClasses);
    for (const char* name : {"Amazon", "Sorceress"}) {
      for (const char* suffix : {" 109b.txt", " 109d.txt"}) {
        WriteFileBytes(std::string("data/") + name + suffix, Table({"Jab", "Magic_Arrow"}));
      }
    }
  }
  // Loads the tables as the program does and checks them.
  Strings Check(TableLines* lines = nullptr) {
    versionList = LoadVersions("data\\versions.txt");
    EXPECT_EQ(LoadClasses(versionList), 1);
    Strings findings;
    int count = CheckTables(versionList, classList, &findings, lines);
    FreeDataTables();
    EXPECT_EQ(count, static_cast<int>(findings.size()));
    return findings;
  }
};

TEST_F(TableCheckTest, SoundTablesGiveNoFindingAndTheLineOfEverySkill) {
  TableLines lines;
  EXPECT_EQ(Check(&lines), Strings{});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1][1].path, "data/Sorceress 109d.txt");
  EXPECT_EQ(lines[1][1].skillLines, (std::vector<int>{2, 3}));
}

TEST_F(TableCheckTest, ListFilesMissingUnendedOrRepeated) {
  WriteFileBytes("data/versions.txt", "1.09b\r\n1.09d\r\n1.09b\r\n\r\n// no end\r\n");
  WriteFileBytes("data/classes.txt", "Amazon\n\nDruid\nAmazon\n|\n");
  EXPECT_EQ(Check(), (Strings{
                         "data/versions.txt:3: version \"1.09b\" is listed twice, first at line 1",
                         "data/versions.txt:5: no end marker: the list must end with a line \"|\"",
                         "data/classes.txt:3: class \"Druid\" has no table data/Druid 109b.txt",
                         "data/classes.txt:3: class \"Druid\" has no table data/Druid 109d.txt",
                         "data/classes.txt:4: class \"Amazon\" is listed twice, first at line 1",
                     }));

  std::remove("data/versions.txt");
  std::remove("data/classes.txt");
  EXPECT_EQ(LoadClasses(), 0);  // logs, as at start-up
  Strings findings;
  CheckTables(nullptr, nullptr, &findings, nullptr);
  EXPECT_EQ(findings, (Strings{"data/versions.txt:0: cannot be opened: no version can be chosen",
                               "data/classes.txt:0: cannot be opened: the program cannot start"}));
}

TEST_F(TableCheckTest, EveryFaultOfASkillLineIsFoundOnItsLine) {
  WriteFileBytes("data/Amazon 109b.txt",
                 "// header\n"
                 "Jab\t2100h\tfx\t3100h\tgfx\n"                       // 2: five columns
                 "Magic Arrow\t2140h\tfx\t3140h\tgfx\t4140h\tdesc\n"  // 3: blank in name
                 "Fire_Arrow\t21a0h\tfx\t2100000h\tgfx\th\tdesc\n"    // 4: three offsets
                 "Inner_Sight\t21C0\tfx\t31C0h\tgfx\t41C0h\tdesc\n"   // 5: no closing h
                 "\n"
                 "Jab\t2200h\tfx\t3200h\tgfx\t4200h\tdesc\n"        // 7: repeated
                 "Fend\t0x3D020h\tfx\t3300h\tgfx\t4300h\tdesc\n"    // 8: C notation
                 "Strafe\t2280h\tfx\t3280h\tgfx\t4280h\tmy desc\n"  // 9: blank in a note
                 "Guard\t31040\tfx\t0A2B07\tgfx\t4300h\tdesc\n"     // 10: no h; six: sound
                 "|\n");
  EXPECT_EQ(Check(),
            (Strings{
                "data/Amazon 109b.txt:2: skill line has 5 columns, expected 7",
                "data/Amazon 109b.txt:3: skill line has 8 columns, expected 7 (write blanks in a "
                "name as _)",
                "data/Amazon 109b.txt:3: effects offset \"Arrow\" is not upper-case hexadecimal: "
                "write digits 0-9 and A-F, then h, as in 2A3F0h",
                "data/Amazon 109b.txt:3: graphics offset \"fx\" is not upper-case hexadecimal: "
                "write digits 0-9 and A-F, then h, as in 2A3F0h",
                "data/Amazon 109b.txt:3: descriptions offset \"gfx\" is not upper-case "
                "hexadecimal: write digits 0-9 and A-F, then h, as in 2A3F0h",
                "data/Amazon 109b.txt:4: effects offset \"21a0h\" is not upper-case hexadecimal: "
                "write digits 0-9 and A-F, then h, as in 2A3F0h",
                "data/Amazon 109b.txt:4: graphics offset \"2100000h\" has more than five digits: "
                "the program reads offsets of at most five, up to FFFFF (the first MiB of the DLL)",
                "data/Amazon 109b.txt:4: descriptions offset \"h\" is read as nothing: the "
                "program drops an offset's last character; write the offset followed by h, as "
                "in 2A3F0h",
                "data/Amazon 109b.txt:5: effects offset \"21C0\" ends in a digit: the program "
                "drops an offset's last character and would read \"21C\": write 21C0h",
                "data/Amazon 109b.txt:7: skill \"Jab\" is listed twice, first at line 2",
                "data/Amazon 109b.txt:8: effects offset \"0x3D020h\" begins with 0x: write "
                "3D020h, without 0x",
                "data/Amazon 109b.txt:9: skill line has 8 columns, expected 7 (a note is one "
                "word: write its blanks as _)",
                "data/Amazon 109b.txt:10: effects offset \"31040\" ends in a digit: the program "
                "drops an offset's last character and would read \"3104\": write 31040h",
                // The first table's names are what the window shows.
                "data/Amazon 109d.txt:3: the 2nd skill is \"Magic Arrow\" here but \"Magic\" at "
                "data/Amazon 109b.txt:3: the skill boxes show the one, so the exchange refuses "
                "it; list the same skills in the same order in both tables",
                "data/Amazon 109d.txt:3: lists 2 skills but data/Amazon 109b.txt lists 8: both "
                "tables must list the same skills in the same order",
            }));
}

TEST_F(TableCheckTest, TablesThatDisagreeOrOverflow) {
  Strings many;
  for (int i = 0; i < 257; ++i) many.push_back("Skill_" + std::to_string(i));
  WriteFileBytes("data/Sorceress 109b.txt", Table(many));
  many[256] = "Other";
  std::string unended = Table(many);
  unended.erase(unended.size() - 3);  // the end marker
  WriteFileBytes("data/Sorceress 109d.txt", unended);
  WriteFileBytes("data/Amazon 109d.txt", Table({"Magic_Arrow", "Jab", "Extra"}));
  EXPECT_EQ(
      Check(),
      (Strings{
          "data/Amazon 109d.txt:2: the 1st skill is \"Magic Arrow\" here but \"Jab\" at "
          "data/Amazon 109b.txt:2: the skill boxes show the one, so the exchange refuses it; list "
          "the same skills in "
          "the same order in both tables",
          "data/Amazon 109d.txt:3: the 2nd skill is \"Jab\" here but \"Magic Arrow\" at "
          "data/Amazon 109b.txt:3: the skill boxes show the one, so the exchange refuses it; list "
          "the same skills in "
          "the same order in both tables",
          "data/Amazon 109d.txt:4: lists 3 skills but data/Amazon 109b.txt lists 2: both "
          "tables must list the same skills in the same order",
          "data/Sorceress 109d.txt:258: the 257th skill is \"Other\" here but \"Skill 256\" at "
          "data/Sorceress 109b.txt:258: the skill boxes show the one, so the exchange refuses it; "
          "list the same skills in "
          "the same order in both tables",
          "data/Sorceress 109d.txt:258: no end marker: the list must end with a line \"|\"",
      }));
}

// A line longer than one read: the loader takes its rest for another skill,
// and the exchange refuses both. 253 characters still read whole.
TEST_F(TableCheckTest, ALineReadInPiecesIsFound) {
  auto padded = [](std::string line, size_t length) {
    line.insert(line.size() - 2, std::string(length + 2 - line.size(), ' '));
    return line;
  };
  WriteFileBytes("data/Amazon 109b.txt", "// x\n" + padded(SkillLine("Jab", 0), 254) +
                                             padded(SkillLine("Magic_Arrow", 1), 253) + "|\n");
  Strings findings = Check();
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings[0],
            "data/Amazon 109b.txt:2: line longer than 253 characters: the program reads it in "
            "pieces and exchanges none of them: shorten the line");
  for (const std::string& finding : findings)
    EXPECT_EQ(finding.find(":3: line"), std::string::npos);
}

// Empty tables are how a release comes: said once per class, with the files
// to fill. A table saved as UTF-16 is said to be that, and nothing more.
TEST_F(TableCheckTest, EmptyClassesAndUtf16TablesSayWhatToDo) {
  for (const char* suffix : {" 109b.txt", " 109d.txt"}) {
    WriteFileBytes(std::string("data/Amazon") + suffix, "// to be filled\n|\n");
  }
  WriteFileBytes("data/Sorceress 109d.txt", std::string("\xFF\xFE/\0/\0\r\0\n\0", 8));
  EXPECT_EQ(Check(), (Strings{
                         "data/classes.txt:1: class \"Amazon\" has no skills yet: fill "
                         "data/Amazon 109b.txt and data/Amazon 109d.txt with your DLLs' offsets, "
                         "or remove the class here",
                         "data/Sorceress 109d.txt:0: is saved as UTF-16 (\"Unicode\" in Notepad), "
                         "which the program cannot read: save it again as ANSI or UTF-8 (Notepad: "
                         "File > Save As, Encoding)",
                     }));
}

// files= names the files a version keeps its skills in; anything but one or
// two plain file names is found on its line, and the version keeps the
// default names.
TEST_F(TableCheckTest, FilesOfAVersionAreReadAndBadNamesFound) {
  struct Row {
    const char* files;
    const char* problem;  // "" when the line is sound
    int count;
    const char* first;
  };
  const Row rows[] = {
      {"files=Game.exe", "", 1, "Game.exe"},
      {"FILES=D2Game.dll,D2Client.dll", "", 2, "D2Game.dll"},
      {"files=Game.exe,d2client.dll", "", 2, "Game.exe"},
      {"files=", "an empty name", 2, "d2game.dll"},
      {"files=Game.exe,", "an empty name", 2, "d2game.dll"},
      {"files=..\\Game.exe", "\"..\\Game.exe\" names a path, not a file", 2, "d2game.dll"},
      {"files=sub/Game.exe", "\"sub/Game.exe\" names a path, not a file", 2, "d2game.dll"},
      {"files=C:Game.exe", "\"C:Game.exe\" names a path, not a file", 2, "d2game.dll"},
      {"files=Game*.exe",
       "\"Game*.exe\" holds \"*\": a file name may hold only letters, digits, ., _ and -", 2,
       "d2game.dll"},
      {"files=..", "\"..\" holds \"..\" or only dots: name a file of the game folder", 2,
       "d2game.dll"},
      {"files=.", "\".\" holds \"..\" or only dots: name a file of the game folder", 2,
       "d2game.dll"},
      {"files=a..dll", "\"a..dll\" holds \"..\" or only dots: name a file of the game folder", 2,
       "d2game.dll"},
      {"files=d2game_1.14.dll", "\"d2game_1.14.dll\" is longer than 12 characters", 2,
       "d2game.dll"},
      {"files=nul.dll", "\"nul.dll\" is a device name on Windows, not a file", 2, "d2game.dll"},
      {"files=a,b,c", "a version keeps its skills in one file or two", 2, "d2game.dll"},
      {"files=Game.exe,GAME.EXE", "\"Game.exe\" is named twice", 2, "d2game.dll"},
      {"files=Game.exe files=Game.exe", "files= is declared twice on this line", 2, "d2game.dll"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.files);
    WriteFileBytes("data/versions.txt", std::string("1.09b\r\n1.09d ") + row.files + "\r\n|\r\n");
    std::string token = row.files;
    if (std::string(row.problem) == "files= is declared twice on this line") {
      token = token.substr(token.find(' ') + 1);
    }
    Strings expected;
    if (row.problem[0] != '\0') {
      expected.push_back("data/versions.txt:2: version \"1.09d\": \"" + token +
                         "\" cannot be read (" + row.problem + "): this version exchanges nothing");
    }
    EXPECT_EQ(Check(), expected);
    RecordList versions = LoadVersions("data\\versions.txt");
    ASSERT_NE(versions, nullptr);
    const VersionFiles& files = static_cast<VersionRecord*>(versions->next)->files;
    EXPECT_EQ(files.count, row.count);
    EXPECT_EQ(files.names[0], row.first);
    FreeList<VersionRecord>(&versions);
  }
}

// The data folder can be elsewhere; findings name the files where they are.
TEST_F(TableCheckTest, FindingsNameTheChosenDataFolder) {
  std::filesystem::rename("data", "mod");
  SetDataFolder("mod");
  WriteFileBytes("mod/Amazon 109d.txt", Table({"Jab"}));
  Strings findings = Check();
  SetDataFolder(nullptr);
  EXPECT_EQ(findings,
            (Strings{"mod/Amazon 109d.txt:2: lists 1 skill but mod/Amazon 109b.txt "
                     "lists 2: both tables must list the same skills in the same order"}));
  EXPECT_EQ(NativePath("data\\classes.txt"), "data/classes.txt");
}

}  // namespace
