// The range check against the DLLs: a range must end inside its own DLL,
// with the length of its aspect; a missing DLL is a finding of its own.
#include "exchange/range_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "tables/data_files.h"
#include "tables/overlap_check.h"
#include "tables/table_check.h"
#include "tests/unit/test_support.h"

namespace {

using Strings = std::vector<std::string>;

class RangeCheckTest : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    WriteFileBytes("data/versions.txt", "1.09b\n1.09d\n|\n");
    WriteFileBytes("data/classes.txt", "Amazon\n|\n");
    ASSERT_EQ(patcher_.UseFolder("game"), 1);
  }
  Strings Check(bool overlaps = false) {
    versionList = LoadVersions("data\\versions.txt");
    EXPECT_EQ(LoadClasses(versionList), 1);
    Strings findings;
    TableLines lines;
    CheckTables(versionList, classList, &findings, &lines);
    findings.clear();  // only the ranges are looked at here
    int count = overlaps ? CheckOverlaps(classList, lines, &findings, versionList)
                         : CheckRanges(versionList, classList, lines, patcher_, &findings);
    FreeDataTables();
    EXPECT_EQ(count, static_cast<int>(findings.size()));
    return findings;
  }

  DllPatcher patcher_;
};

// 0x1000-byte DLLs: a 12-byte effects range may start at FF4 at most, a
// 20-byte graphics range at FEC, a 16-byte descriptions range at FF0.
TEST_F(RangeCheckTest, ARangeMustEndInsideItsOwnDll) {
  WriteFileBytes("game/d2game.dll", std::string(0x1000, 'g'));
  WriteFileBytes("game/d2client.dll", std::string(0x1000, 'c'));
  WriteFileBytes("data/Amazon 109b.txt",
                 "Fits\tFF4h\tx\tFECh\tx\tFF0h\tx\n"
                 "Over\tFF5h\tx\tFEDh\tx\tFF1h\tx\n"
                 "Bad\tzzh\tx\th\tx\t123456789h\tx\n"  // the table check's findings
                 "|\n");
  WriteFileBytes("data/Amazon 109d.txt", "// d\nFar\t10000h\tx\t0h\tx\t0h\tx\n|\n");
  EXPECT_EQ(Check(),
            (Strings{
                "data/Amazon 109b.txt:2: Effects range 0xFF5..0x1000 of \"Over\" lies outside "
                "game/d2game.dll (4096 bytes)",
                "data/Amazon 109b.txt:2: Graphics range 0xFED..0x1000 of \"Over\" lies "
                "outside game/d2client.dll (4096 bytes)",
                "data/Amazon 109b.txt:2: Descriptions range 0xFF1..0x1000 of \"Over\" lies "
                "outside game/d2client.dll (4096 bytes)",
                "data/Amazon 109d.txt:2: Effects range 0x10000..0x1000B of \"Far\" lies "
                "outside game/d2game.dll (4096 bytes)",
            }));
}

TEST_F(RangeCheckTest, AMissingDllIsFoundAndItsRangesAreLeftAlone) {
  WriteFileBytes("game/d2game.dll", std::string(0x10, 'g'));
  WriteFileBytes("data/Amazon 109b.txt", "Skill\t0h\tx\t10000h\tx\t10000h\tx\n|\n");
  EXPECT_EQ(Check(),
            (Strings{"game/d2client.dll:0: cannot be opened: its ranges were not checked"}));
}

// Two swaps of skills whose ranges overlap would scramble both; ranges that
// only touch, the same offsets in the other version or the other DLL, and a
// skill's own graphics and descriptions are fine.
TEST_F(RangeCheckTest, OverlappingRangesOfTwoSkillsAreFoundWithBothLines) {
  WriteFileBytes("data/classes.txt", "Amazon\nSorceress\n|\n");
  WriteFileBytes("data/Amazon 109b.txt",
                 "Jab\t1A2B0h\tx\t30000h\tx\t30014h\tx\n"
                 "Touch\t1A2BCh\tx\t30024h\tx\t30000h\tx\n|\n");
  WriteFileBytes("data/Amazon 109d.txt", "Jab\t1A2B4h\tx\t0h\tx\t14h\tx\n|\n");
  WriteFileBytes("data/Sorceress 109b.txt", "Bolt\t1A2B4h\tx\t40000h\tx\t40014h\tx\n|\n");
  EXPECT_EQ(
      Check(true),
      (Strings{
          "data/Sorceress 109b.txt:1: Effects range 0x1A2B4..0x1A2BF of \"Bolt\" overlaps "
          "Effects range 0x1A2B0..0x1A2BB of \"Jab\" at data/Amazon 109b.txt:1: exchanging "
          "one would change the other; correct the offset that is wrong",
          "data/Amazon 109b.txt:2: Effects range 0x1A2BC..0x1A2C7 of \"Touch\" overlaps "
          "Effects range 0x1A2B4..0x1A2BF of \"Bolt\" at data/Sorceress 109b.txt:1: exchanging "
          "one would change the other; correct the offset that is wrong",
          "data/Amazon 109b.txt:2: Descriptions range 0x30000..0x3000F of \"Touch\" overlaps "
          "Graphics range 0x30000..0x30013 of \"Jab\" at data/Amazon 109b.txt:1: exchanging "
          "one would change the other; correct the offset that is wrong",
      }));
}

}  // namespace

namespace {

// One file holds all three aspects of a one-file version: their ranges may
// not overlap there, nor two aspects of one skill; the same offsets in a
// version of two files are apart.
TEST_F(RangeCheckTest, AspectsOfAOneFileVersionMayNotOverlap) {
  WriteFileBytes("data/versions.txt", "1.09b files=Game.exe\n1.09d\n|\n");
  WriteFileBytes("data/Amazon 109b.txt",
                 "Jab\t1000h\tx\t100Ah\tx\t3000h\tx\n"
                 "Bolt\t2000h\tx\t4000h\tx\t2004h\tx\n|\n");
  WriteFileBytes("data/Amazon 109d.txt",
                 "Jab\t1000h\tx\t5000h\tx\t6000h\tx\n"
                 "Bolt\t2000h\tx\t4000h\tx\t2004h\tx\n|\n");
  EXPECT_EQ(Check(true),
            (Strings{
                "data/Amazon 109b.txt:1: Graphics range 0x100A..0x101D of \"Jab\" overlaps "
                "Effects range 0x1000..0x100B of \"Jab\" at data/Amazon 109b.txt:1: exchanging "
                "one would change the other; correct the offset that is wrong",
                "data/Amazon 109b.txt:2: Descriptions range 0x2004..0x2013 of \"Bolt\" overlaps "
                "Effects range 0x2000..0x200B of \"Bolt\" at data/Amazon 109b.txt:2: exchanging "
                "one would change the other; correct the offset that is wrong",
            }));
}

}  // namespace
