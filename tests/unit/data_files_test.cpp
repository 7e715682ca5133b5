// The data tables: the line reader, the offset conversion and the three
// loaders, with the file shapes the program meets (comments, end marker or
// none, CR LF, blank lines, overlong columns) and allocation failure.
#include "tables/data_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "tests/unit/test_support.h"

// Records are allocated with new (std::nothrow); a test can make the n-th
// such allocation from now fail. Nothing else in the program uses it.
namespace {
int failingAllocation = -1;  // -1: never fail
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (failingAllocation >= 0 && failingAllocation-- == 0) return nullptr;
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

namespace {

#if defined(_WIN32)
const char kLogLineEnd[] = "\r\n";
#else
const char kLogLineEnd[] = "\n";
#endif

std::vector<std::string> Names(RecordNode* head) {
  std::vector<std::string> names;
  for (RecordNode* node = head; node != nullptr; node = node->next) names.push_back(node->name);
  return names;
}

SkillRecord* SkillAt(RecordList skills, int32_t position) {
  return static_cast<SkillRecord*>(AtPosition(skills, position));
}

// Every test starts in an empty folder with empty tables and leaves them so.
class DataFiles : public InTempDir {
 protected:
  void TearDown() override {
    failingAllocation = -1;
    FreeDataTables();
    InTempDir::TearDown();
  }

  // Loads data/versions.txt holding content and returns the names.
  std::vector<std::string> VersionNames(const std::string& content) {
    WriteFileBytes("data/versions.txt", content);
    RecordList versions = LoadVersions("data\\versions.txt");
    std::vector<std::string> names = Names(versions);
    FreeList<VersionRecord>(&versions);
    return names;
  }
};

using Strings = std::vector<std::string>;

TEST_F(DataFiles, ReadDataLineSkipsCommentAndEmptyLinesOnly) {
  WriteFileBytes("t.txt", "// comment\n\n\r\n/also a comment\n  indented\n\tdata\nlast");
  FILE* file = std::fopen("t.txt", "r");
  ASSERT_NE(file, nullptr);
  char line[kLineSize];
  EXPECT_EQ(ReadDataLine(file, line), 1);
  EXPECT_STREQ(line, "  indented\n");
  EXPECT_EQ(ReadDataLine(file, line), 1);
  EXPECT_STREQ(line, "\tdata\n");
  EXPECT_EQ(ReadDataLine(file, line), 1);
  EXPECT_STREQ(line, "last");
  EXPECT_EQ(ReadDataLine(file, line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(ReadDataLine(file, line), 0);
  std::fclose(file);
}

TEST_F(DataFiles, ReadDataLineReadsALongLineIn254CharacterPieces) {
  WriteFileBytes("t.txt", std::string(300, 'A') + "\n");
  FILE* file = std::fopen("t.txt", "r");
  ASSERT_NE(file, nullptr);
  char line[kLineSize];
  ASSERT_EQ(ReadDataLine(file, line), 1);
  EXPECT_EQ(std::string(line), std::string(254, 'A'));
  ASSERT_EQ(ReadDataLine(file, line), 1);
  EXPECT_EQ(std::string(line), std::string(46, 'A') + "\n");
  EXPECT_EQ(ReadDataLine(file, line), 0);
  std::fclose(file);

  // Each piece is a line of its own, so it gives a record of its own.
  EXPECT_EQ(VersionNames(std::string(300, 'V') + "\n|\n"),
            (Strings{std::string(254, 'V'), std::string(46, 'V')}));
}

TEST(FirstToken, StopsAtBlanksTabsAndLineEndsAndCutsToTheBuffer) {
  char token[kLineSize];
  EXPECT_EQ(FirstToken(" \t1.09b rest\n", token, sizeof token), 5u);
  EXPECT_STREQ(token, "1.09b");
  EXPECT_EQ(FirstToken("Amazon\r\n", token, sizeof token), 6u);
  EXPECT_STREQ(token, "Amazon");
  EXPECT_EQ(FirstToken(" \t \r\n", token, sizeof token), 0u);
  EXPECT_STREQ(token, "");
  char small[4];
  EXPECT_EQ(FirstToken("abcdefg", small, sizeof small), 7u);
  EXPECT_STREQ(small, "abc");
}

TEST(HexToNumber, ConvertsUpperCaseHexAndWrapsAt32Bits) {
  uint32_t value = 12345;
  HexToNumber(&value, "1A2B3");
  EXPECT_EQ(value, 107187u);
  HexToNumber(&value, "");
  EXPECT_EQ(value, 0u);
  HexToNumber(&value, "FFFFFFFF");
  EXPECT_EQ(value, 4294967295u);
  HexToNumber(&value, "100000000");
  EXPECT_EQ(value, 0u);
  // Nothing is rejected: a lower-case letter counts its code minus 55.
  HexToNumber(&value, "a");
  EXPECT_EQ(value, 42u);
}

TEST_F(DataFiles, LoadVersionsReadsFirstTokensUntilTheEndMarker) {
  EXPECT_EQ(LoadVersions("data\\versions.txt"), nullptr);  // no file
  EXPECT_EQ(VersionNames("// versions\n|\n1.09b\n"), Strings{});
  EXPECT_EQ(VersionNames("// header\n"
                         "1.09b  the first words are ignored\n"
                         "\n"
                         "/comment between\n"
                         "\t1.09d\n"
                         "Lord_of_Destruction\n"
                         "|bar is only a marker alone\n"
                         "  |  \n"
                         "1.10\n"
                         "// after the marker\n"),
            (Strings{"1.09b", "1.09d", "Lord of Destruction", "|bar"}));
}

TEST_F(DataFiles, AFileWithoutEndMarkerEndsAtItsLastLineTakenOnce) {
  EXPECT_EQ(VersionNames("1.09b\n1.09d\n"), (Strings{"1.09b", "1.09d"}));
  EXPECT_EQ(VersionNames("1.09b\n1.09d"), (Strings{"1.09b", "1.09d"}));
  EXPECT_EQ(VersionNames("1.09b\n// trailing comment\n\n"), Strings{"1.09b"});
  EXPECT_EQ(VersionNames(""), Strings{});
}

TEST_F(DataFiles, LinesOfBlanksAndTabsOnlyAreSkipped) {
  EXPECT_EQ(VersionNames(" \n1.09b\n\t \t\n  \r\n1.09d\n \t\n|\n"), (Strings{"1.09b", "1.09d"}));
}

// Notepad's byte-order mark never becomes part of a name, and every record
// knows its line and whether that line was read in pieces.
TEST_F(DataFiles, AByteOrderMarkIsSkippedAndLongLinesAreMarked) {
  EXPECT_EQ(VersionNames("\xEF\xBB\xBF// versions\n1.09b\n|\n"), Strings{"1.09b"});
  WriteFileBytes("data/classes.txt",
                 "\xEF\xBB\xBF"
                 "Amazon\n|\n");
  std::string longLine = "Jab 21000h fx 31000h gfx" + std::string(240, ' ') + "41000h desc\n";
  WriteFileBytes("data/Amazon 109b.txt", "\xEF\xBB\xBFMagic_Arrow 1h a 1h b 1h c\n" + longLine +
                                             "Fire_Arrow 2h a 2h b 2h c\n|\n");
  ASSERT_EQ(LoadClasses(), 1);
  ASSERT_NE(classList, nullptr);
  EXPECT_STREQ(classList->name, "Amazon");
  std::vector<std::string> seen;
  for (RecordNode* k = static_cast<ClassRecord*>(classList)->skillLists[0]; k != nullptr;
       k = k->next) {
    seen.push_back(std::string(k->name) + ":" + std::to_string(k->line) + (k->inPieces ? "*" : ""));
  }
  EXPECT_EQ(seen, (Strings{"Magic Arrow:1", "Jab:2*", "41000h:2*", "Fire Arrow:3"}));
}

TEST_F(DataFiles, CrLfFilesReadLikeLfFiles) {
  const std::string lf = "// v\n1.09b\n\n1.09d\n|\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(VersionNames(crlf), VersionNames(lf));
  EXPECT_EQ(VersionNames(crlf), (Strings{"1.09b", "1.09d"}));

  // The CR never ends up in a column: not in the last one, not in a class
  // name (whose skill tables would then never be found).
  WriteFileBytes("data/classes.txt", "Amazon\r\n|\r\n");
  WriteFileBytes("data/Amazon 109b.txt", "Jab\t21000h\tfx\t31000h\tgfx\t41000h\tdesc\r\n|\r\n");
  ASSERT_EQ(LoadClasses(), 1);
  ASSERT_NE(classList, nullptr);
  EXPECT_STREQ(classList->name, "Amazon");
  SkillRecord* jab = SkillAt(static_cast<ClassRecord*>(classList)->skillLists[0], 0);
  ASSERT_NE(jab, nullptr);
  EXPECT_STREQ(jab->descriptionsText, "desc");
}

TEST_F(DataFiles, LoadSkillTableFillsTheSevenColumns) {
  WriteFileBytes("table.txt",
                 "// name effects text graphics text descriptions text\n"
                 "Fist_of_the_Heavens 1A2B3h E_fx 0FF00h G_gfx 12345, D_desc\n"
                 "Bash\t21040h\tfx\n"
                 "|\n");
  RecordList skills = LoadSkillTable("table.txt");
  ASSERT_EQ(Names(skills), (Strings{"Fist of the Heavens", "Bash"}));

  SkillRecord* fist = SkillAt(skills, 0);
  EXPECT_STREQ(fist->effectsOffset, "1A2B3");
  EXPECT_STREQ(fist->effectsText, "E_fx");
  EXPECT_STREQ(fist->graphicsOffset, "0FF00");
  EXPECT_STREQ(fist->graphicsText, "G_gfx");
  EXPECT_STREQ(fist->descriptionsOffset, "12345");
  EXPECT_STREQ(fist->descriptionsText, "D_desc");

  // Missing columns leave their fields empty; the record is kept.
  SkillRecord* bash = SkillAt(skills, 1);
  EXPECT_STREQ(bash->effectsOffset, "21040");
  EXPECT_STREQ(bash->effectsText, "fx");
  EXPECT_STREQ(bash->graphicsOffset, "");
  EXPECT_STREQ(bash->descriptionsText, "");
  FreeList<SkillRecord>(&skills);

  EXPECT_EQ(LoadSkillTable("missing.txt"), nullptr);
}

TEST_F(DataFiles, OverlongColumnsStayInsideTheirFields) {
  WriteFileBytes("table.txt",
                 // Text columns one past their widths (11, 19, 15), and
                 // columns after the seventh.
                 "Zeal 21000h ABCDEFGHIJKL 31000h ABCDEFGHIJKLMNOPQRST 41000h ABCDEFGHIJKLMNOP "
                 "extra 99999h more\n"
                 // Offsets of six digits and a letter: too long to be right,
                 // so left out rather than cut to a different offset.
                 "Smite 123456h fx 1234567h gfx 0000001h desc\n"
                 // Shorter offsets keep all but their last character.
                 "Leap 1234h fx h gfx 12h desc\n"
                 "|\n");
  RecordList skills = LoadSkillTable("table.txt");
  ASSERT_EQ(Names(skills), (Strings{"Zeal", "Smite", "Leap"}));

  SkillRecord* zeal = SkillAt(skills, 0);
  EXPECT_STREQ(zeal->effectsText, "ABCDEFGHIJK");
  EXPECT_STREQ(zeal->graphicsOffset, "31000");
  EXPECT_STREQ(zeal->graphicsText, "ABCDEFGHIJKLMNOPQRS");
  EXPECT_STREQ(zeal->descriptionsOffset, "41000");
  EXPECT_STREQ(zeal->descriptionsText, "ABCDEFGHIJKLMNO");

  SkillRecord* smite = SkillAt(skills, 1);
  EXPECT_STREQ(smite->effectsOffset, "");
  EXPECT_STREQ(smite->graphicsOffset, "");
  EXPECT_STREQ(smite->descriptionsOffset, "");
  EXPECT_STREQ(smite->effectsText, "fx");
  EXPECT_STREQ(smite->descriptionsText, "desc");

  SkillRecord* leap = SkillAt(skills, 2);
  EXPECT_STREQ(leap->effectsOffset, "1234");
  EXPECT_STREQ(leap->graphicsOffset, "");
  EXPECT_STREQ(leap->descriptionsOffset, "12");
  FreeList<SkillRecord>(&skills);
}

TEST_F(DataFiles, LoadClassesReadsBothTablesOfEveryClass) {
  WriteFileBytes("data/classes.txt",
                 "// classes\n"
                 "Amazon and words that change nothing\n"
                 "Fire_Mage\n"
                 "|\n"
                 "Paladin\n");
  WriteFileBytes("data/Amazon 109b.txt", "Jab 21000h fx 31000h gfx 41000h desc\n|\n");
  WriteFileBytes("data/Amazon 109d.txt", "Jab 64800h fx 74800h gfx 84800h desc\n|\n");
  // The class name keeps its underscores, in the record and in the table
  // names; only the 109b table exists.
  WriteFileBytes("data/Fire_Mage 109b.txt",
                 "Fire_Bolt 21400h fx 31400h gfx 41400h desc\nMeteor 21440h fx\n|\n");

  ASSERT_EQ(LoadClasses(), 1);
  ASSERT_EQ(Names(classList), (Strings{"Amazon", "Fire_Mage"}));
  ClassRecord* amazon = static_cast<ClassRecord*>(classList);
  ASSERT_EQ(Names(amazon->skillLists[0]), Strings{"Jab"});
  ASSERT_EQ(Names(amazon->skillLists[1]), Strings{"Jab"});
  EXPECT_STREQ(SkillAt(amazon->skillLists[0], 0)->effectsOffset, "21000");
  EXPECT_STREQ(SkillAt(amazon->skillLists[1], 0)->effectsOffset, "64800");

  ClassRecord* mage = static_cast<ClassRecord*>(AtPosition(classList, 1));
  EXPECT_EQ(Names(mage->skillLists[0]), (Strings{"Fire Bolt", "Meteor"}));
  EXPECT_EQ(mage->skillLists[1], nullptr);
  // A missing skill table is not a failure worth a log line.
  EXPECT_EQ(ListFolder("."), Strings{"data"});
}

// Positions 0 and 1 keep their fixed tables whatever their names; a later
// version names its own from its first token without the dots.
TEST_F(DataFiles, EachVersionReadsTheTablesItsPositionAndNameGive) {
  struct Row {
    const char* version;  // as versions.txt writes it
    const char* suffix;   // of its tables; "" for none
    const char* skill;    // the skill its table lists, "" when none is read
  } rows[] = {
      {"Classic_1.00", " 109b.txt", "From_109b"},
      {"1.09d", " 109d.txt", "From_109d"},
      {"1.10", " 110.txt", "From_110"},
      {"1.13c", " 113c.txt", "From_113c"},
      {"1.14_x-2", " 114_x-2.txt", "From_114_x-2"},
      {"1.14+", "", ""},
  };
  std::string versions;
  for (const Row& row : rows) {
    versions += std::string(row.version) + "\n";
    if (row.suffix[0] != '\0') {
      WriteFileBytes(std::string("data/Amazon") + row.suffix,
                     std::string(row.skill) + " 21000h fx 31000h gfx 41000h desc\n|\n");
    }
  }
  WriteFileBytes("data/versions.txt", versions + "|\n");
  WriteFileBytes("data/classes.txt", "Amazon\n|\n");
  versionList = LoadVersions("data\\versions.txt");
  ASSERT_EQ(LoadClasses(versionList), 1);
  auto* amazon = static_cast<ClassRecord*>(classList);
  ASSERT_EQ(amazon->skillLists.size(), std::size(rows));
  for (int32_t position = 0; position < static_cast<int32_t>(std::size(rows)); ++position) {
    const Row& row = rows[position];
    SCOPED_TRACE(row.version);
    std::string problem;
    EXPECT_EQ(SkillTableSuffix(versionList, position, &problem), row.suffix);
    EXPECT_EQ(problem.empty(), row.suffix[0] != '\0');
    RecordList skills = amazon->SkillsOf(position);
    std::string name = row.skill;
    std::replace(name.begin(), name.end(), '_', ' ');
    EXPECT_EQ(skills != nullptr ? skills->name : "", name);
  }
  std::string problem;
  SkillTableSuffix(versionList, 5, &problem);
  EXPECT_EQ(problem,
            "its name leaves \"+\" once the dots are dropped: a table name may hold only letters, "
            "digits, - and _");
  EXPECT_EQ(amazon->SkillsOf(6), nullptr);
}

TEST_F(DataFiles, LoadClassesWithNoClassSucceedsAndWithNoFileLogs) {
  WriteFileBytes("data/classes.txt", "// none yet\n|\nAmazon\n");
  EXPECT_EQ(LoadClasses(), 1);
  EXPECT_EQ(classList, nullptr);
  EXPECT_EQ(ListFolder("."), Strings{"data"});

  std::filesystem::remove("data/classes.txt");
  EXPECT_EQ(LoadClasses(), 0);
  EXPECT_EQ(classList, nullptr);
  EXPECT_EQ(ReadFileBytes("log.txt"),
            std::string("* Couldn't read the data\\classes.txt file") + kLogLineEnd);
}

TEST_F(DataFiles, ARecordThatCannotBeAllocatedEndsTheListThere) {
  WriteFileBytes("data/versions.txt", "a\nb\nc\nd\n|\n");
  failingAllocation = 2;
  RecordList versions = LoadVersions("data\\versions.txt");
  EXPECT_EQ(Names(versions), (Strings{"a", "b"}));
  FreeList<VersionRecord>(&versions);

  WriteFileBytes("table.txt", "Jab 21000h\nLeap 21040h\nBash 21080h\n|\n");
  failingAllocation = 1;
  RecordList skills = LoadSkillTable("table.txt");
  EXPECT_EQ(Names(skills), Strings{"Jab"});
  FreeList<SkillRecord>(&skills);

  // Classes: the first class and its two skills are made, the second class
  // is not; the loader still reports that it read the file.
  WriteFileBytes("data/classes.txt", "Amazon\nDruid\nAssassin\n|\n");
  WriteFileBytes("data/Amazon 109b.txt", "Jab 21000h\n|\n");
  WriteFileBytes("data/Amazon 109d.txt", "Jab 64800h\n|\n");
  failingAllocation = 3;
  EXPECT_EQ(LoadClasses(), 1);
  EXPECT_EQ(Names(classList), Strings{"Amazon"});
  EXPECT_EQ(Names(static_cast<ClassRecord*>(classList)->skillLists[1]), Strings{"Jab"});
}

TEST(FreeDataTables, FreesEveryTableAndLeavesTheHeadsNull) {
  FreeDataTables();
  EXPECT_EQ(versionList, nullptr);
  EXPECT_EQ(classList, nullptr);

  (new VersionRecord)->AddToList(&versionList);
  (new VersionRecord)->AddToList(&versionList);
  ClassRecord* empty = new ClassRecord;  // no skills in either version
  empty->AddToList(&classList);
  ClassRecord* full = new ClassRecord;
  (new SkillRecord)->AddToList(&full->skillLists[0]);
  (new SkillRecord)->AddToList(&full->skillLists[0]);
  (new SkillRecord)->AddToList(&full->skillLists[1]);
  full->AddToList(&classList);

  // Leaks or double frees show under the sanitizers.
  FreeDataTables();
  EXPECT_EQ(versionList, nullptr);
  EXPECT_EQ(classList, nullptr);
  FreeDataTables();
  EXPECT_EQ(versionList, nullptr);
}

}  // namespace
