// The window's status line: each state in its words, and the one that stands
// most in the way when several do.
#include "exchange/window_status.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "io/file_paths.h"
#include "tables/data_files.h"
#include "tests/unit/test_support.h"

namespace {

// 1.09b declares the DLLs the facts find; 1.09d other ones.
const char kVersions[] =
    "1.09b d2game.dll=100:0000000A d2client.dll=200:0000000B\r\n"
    "1.09d d2game.dll=300:0000000C d2client.dll=400:0000000D\r\n|\r\n";
const char kSkill[] = "Jab\t21080h\tfx\t31040h\tgfx\t41000h\tdesc\r\n|\r\n";

struct StatusRow {
  const char* name;
  bool emptyTables;  // every class without skills, as the release's tables
  WindowSelection selection;
  std::function<void(WindowFacts*)> fault;
  std::string expected;
};

std::string Table(const char* windowsPath) {
  return ShownPath(windowsPath);
}

class WindowStatusTest : public InTempDir {
 protected:
  std::string StatusFor(const StatusRow& row) {
    WriteFileBytes("data/versions.txt", kVersions);
    WriteFileBytes("data/classes.txt", "Amazon\r\nSorceress\r\n|\r\n");
    for (const char* suffix : {" 109b.txt", " 109d.txt"}) {
      WriteFileBytes(std::string("data/Amazon") + suffix, row.emptyTables ? "|\r\n" : kSkill);
      WriteFileBytes(std::string("data/Sorceress") + suffix, "|\r\n");
    }
    versionList = LoadVersions("data\\versions.txt");
    EXPECT_EQ(LoadClasses(versionList), 1);
    WindowFacts facts;
    facts.folderSet = true;
    facts.found.resize(2);
    for (int n : {0, 1}) {
      facts.found[n].name = n == 0 ? "d2game.dll" : "d2client.dll";
      facts.found[n].read = true;
      facts.found[n].size = n == 0 ? 100 : 200;
      facts.found[n].crc = n == 0 ? 0xA : 0xB;
    }
    if (row.fault) row.fault(&facts);
    std::string line = StatusLine(versionList, classList, row.selection, facts);
    FreeDataTables();
    return line;
  }
};

void Missing(WindowFacts* facts) {
  facts->found[0] = FileFingerprint();
  facts->found[0].name = "d2game.dll";
  facts->found[0].why.problem = Problem::kNotFound;
}

TEST_F(WindowStatusTest, EachStateInItsWordsAndTheFirstInTheWayWins) {
  const WindowSelection amazon = {0, 0, 0};
  const StatusRow rows[] = {
      {"ready", false, amazon, nullptr,
       "Ready: pick two skills, tick what to exchange and press Swap"},
      {"tables changed", false, amazon,
       [](WindowFacts* f) {
         f->tablesChanged = true;
         f->folderSet = false;
       },
       "The tables in data\\ changed since Orvanel started: close Orvanel and start it again to "
       "use them; nothing is exchanged until then"},
      {"own folder read-only", false, amazon,
       [](WindowFacts* f) {
         f->ownFolderWritable = false;
         f->folderSet = false;
       },
       "Orvanel's own folder cannot be written: unpack Orvanel where you can write (not in "
       "Program Files) and start it there (README.txt, section 3)"},
      {"folder not set", false, amazon, [](WindowFacts* f) { f->folderSet = false; },
       "The game folder is not set: choose File > Set .dll Location (README.txt, section 5)"},
      {"folder without the DLLs", false, amazon,
       [](WindowFacts* f) {
         Missing(f);
         f->journalLeft = true;
       },
       "The game folder holds no d2game.dll: choose File > Set .dll Location and pick the folder "
       "with d2game.dll and d2client.dll (README.txt, section 5)"},
      {"journal left", false, amazon, [](WindowFacts* f) { f->journalLeft = true; },
       "A change was stopped half way and could not be undone: choose File > Restore Original "
       "DLLs (README.txt, section 6)"},
      {"another version's DLLs",
       false,
       {1, 0, 0},
       nullptr,
       "1.09d is not the version of these DLLs: the DLLs are the 1.09b files: choose 1.09b"},
      {"tables empty", true, amazon, [](WindowFacts* f) { f->folderSet = false; },
       "The skill tables come empty: write your DLLs' offsets into " +
           Table("data\\Amazon 109b.txt") +
           " and the other classes' tables (README.txt, "
           "section 2)"},
      {"class without skills",
       false,
       {0, 0, 1},
       [](WindowFacts* f) { f->findings = {"data/versions.txt:2: version problem"}; },
       "Class \"Sorceress\" has no skills yet: fill " + Table("data\\Sorceress 109b.txt") +
           " with your DLLs' offsets (README.txt, section 2)"},
      {"broken table of the version",
       false,
       {1, 0, 0},
       [](WindowFacts* f) {
         f->found[0].size = 300;
         f->found[0].crc = 0xC;
         f->found[1].size = 400;
         f->found[1].crc = 0xD;
         f->findings = {"data/elsewhere.txt:1: not read", "data/Amazon 109d.txt:3: bad line"};
       },
       Table("data\\Amazon 109d.txt") + " line 3: bad line (README.txt, section 2)"},
      {"no version to choose",
       false,
       {-1, 0, 0},
       [](WindowFacts* f) { f->findings = {"data/versions.txt:0: cannot be opened"}; },
       Table("data\\versions.txt") + ": cannot be opened (README.txt, section 2)"},
      {"broken table of another version", false, amazon,
       [](WindowFacts* f) { f->findings = {"data/Amazon 109d.txt:3: bad line"}; },
       "Ready: pick two skills, tick what to exchange and press Swap"},
  };
  for (const StatusRow& row : rows) {
    EXPECT_EQ(StatusFor(row), row.expected) << row.name;
  }
}

TEST_F(WindowStatusTest, TheStampChangesWithAnyTableAndReadsTheFolderAsItIs) {
  WriteFileBytes("data/versions.txt", kVersions);
  WriteFileBytes("data/classes.txt", "Amazon\r\n|\r\n");
  WriteFileBytes("data/Amazon 109b.txt", kSkill);
  WriteFileBytes("data/Amazon 109d.txt", kSkill);
  versionList = LoadVersions("data\\versions.txt");
  ASSERT_EQ(LoadClasses(versionList), 1);
  uint32_t loaded = TablesStamp(versionList, classList);
  DllPatcher patcher;
  EXPECT_FALSE(ReadWindowFacts(patcher, versionList, classList, loaded).tablesChanged);
  WriteFileBytes("data/Amazon 109d.txt", std::string(kSkill) + "\r\n");
  EXPECT_TRUE(ReadWindowFacts(patcher, versionList, classList, loaded).tablesChanged);
  std::filesystem::remove("data/Amazon 109d.txt");
  WindowFacts facts = ReadWindowFacts(patcher, versionList, classList, loaded);
  EXPECT_TRUE(facts.tablesChanged);
  EXPECT_FALSE(facts.folderSet);
  EXPECT_TRUE(facts.ownFolderWritable);
  FreeDataTables();
}

}  // namespace
