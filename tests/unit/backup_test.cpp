// The one-time backups: made from the untouched file before the first save,
// kept ever after, and refused changes when they cannot be made.
#include "files/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "files/fingerprint.h"
#include "files/journal.h"
#include "io/save_steps.h"
#include "patch/dll_patcher.h"
#include "tests/unit/patch_test_support.h"

namespace fs = std::filesystem;

namespace {

using BackupTest = GameFolderTest;

TEST_F(BackupTest, TheFirstChangeKeepsTheUntouchedFileAndLaterChangesKeepThatBackup) {
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  std::string once = ReadFileBytes("game/d2game.dll");
  EXPECT_NE(once, game_);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);

  ASSERT_EQ(Change(kGameDll, "300", "400"), 1);
  EXPECT_NE(ReadFileBytes("game/d2game.dll"), once);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);
  // Only the changed DLL has a backup, and no temporary file is left.
  EXPECT_EQ(ListFolder("game"),
            (std::vector<std::string>{"d2client.dll", "d2game.dll", "d2game.dll.bak"}));
  EXPECT_FALSE(fs::exists("log.txt"));
}

// A backup that was there before is used, and never overwritten, only when
// it can be this DLL's original: a file of its own, of the DLL's size, equal
// to it outside the ranges the tables name. Anything else refuses the change
// with what is wrong and what to do.
TEST_F(BackupTest, AnExistingBackupIsUsedOnlyWhenItCanBeTheOriginal) {
  std::string older = game_;
  older.replace(0x10, 12, std::string(12, 'o'));  // inside a range the tables name
  WriteFileBytes("game/d2game.dll.bak", older);
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == older);
  fs::remove("game/d2game.dll.bak");

  std::string foreign = game_;
  foreign[0x300] ^= 1;
  struct Case {
    std::string backup;  // empty: a link to the DLL itself
    const char* problem;
  };
  const Case cases[] = {
      {"junk!", "has 5 bytes, the DLL 5000"},
      {foreign, "differs from the DLL at offset 0x300, outside every range the tables name"},
#ifndef _WIN32
      {"", "is a symbolic link, not a copy"},
#endif
  };
  std::string before = ReadFileBytes("game/d2game.dll");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    if (c.backup.empty()) {
      fs::create_symlink("d2game.dll", "game/d2game.dll.bak");
    } else {
      WriteFileBytes("game/d2game.dll.bak", c.backup);
    }
    EXPECT_EQ(Change(kGameDll, "10", "200"), 0);
    EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == before);
    EXPECT_EQ(patcher_.lastError.problem, Problem::kBackup);
    EXPECT_EQ(patcher_.lastError.detail, c.problem);
    fs::remove("game/d2game.dll.bak");
  }
}

TEST_F(BackupTest, ABackupThatCannotBeMadeRefusesTheChange) {
  struct Case {
    FaultySteps::Fault fault;
    SaveStep step;
  };
  const Case cases[] = {
      {FaultySteps::kOpen, SaveStep::kCreate},    {FaultySteps::kWrite, SaveStep::kWrite},
      {FaultySteps::kFlush, SaveStep::kWrite},    {FaultySteps::kClose, SaveStep::kWrite},
      {FaultySteps::kCorrupt, SaveStep::kVerify}, {FaultySteps::kReplace, SaveStep::kReplace},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    FaultySteps steps(c.fault);
    patcher_.saveSteps = &steps;
    EXPECT_EQ(Change(kGameDll, "10", "200"), 0);
    patcher_.saveSteps = &SaveSteps::System();
    EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
    EXPECT_EQ(ListFolder("game"), (std::vector<std::string>{"d2client.dll", "d2game.dll"}));
    EXPECT_EQ(patcher_.lastError.step, c.step);
  }
  // Something that is no file stands where the backup belongs.
  fs::create_directory("game/d2game.dll.bak");
  EXPECT_EQ(Change(kGameDll, "10", "200"), 0);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
  EXPECT_EQ(patcher_.lastError.detail, "is not a file");
  fs::remove("game/d2game.dll.bak");

  // With the disk well again, the change goes ahead and the backup is made.
  EXPECT_EQ(Change(kGameDll, "10", "200"), 1);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);
}

// The DLL's CRC is derived from its backup's and the ranges where the two
// differ (found as the backup is judged): it must be the CRC of the DLL.
TEST_F(BackupTest, TheDllsCrcFollowsFromItsBackupsAndTheRangesThatDiffer) {
  const ByteRanges ranges = {{0x10, 16}, {0x18, 12}, {0x40, 4}, {0xFFC, 4}};
  const std::string backup = DllBytes(4096, 7);
  WriteFileBytes("game/d2game.dll.bak", backup);
  for (size_t changed = 0; changed <= ranges.size(); ++changed) {
    std::string dll = backup;
    for (size_t r = 0; r < changed; ++r) dll[ranges[r].start + ranges[r].length - 1] ^= 0x5A;
    WriteFileBytes("game/d2game.dll", dll);
    DllAndBackup files = ReadDllAndBackup(patcher_.dllPaths[kGameDll], ranges);
    ASSERT_TRUE(files.BackupUsable()) << changed;
    UntouchedFingerprint(files);  // takes the backup's CRC
    EXPECT_EQ(DllCrc(files), ImageCrc(reinterpret_cast<const uint8_t*>(dll.data()), dll.size()))
        << changed;
  }
}

// Differences inside the ranges are allowed, even where ranges touch or
// overlap; the first one outside is found exactly.
TEST(BackupCompare, FindsTheFirstDifferenceOutsideTheRanges) {
  const size_t size = 200000;
  std::string dll = DllBytes(size, 4);
  const ByteRanges ranges = {{0xFFF8, 16}, {0x20000, 12}, {0x1FFFA, 10}};
  std::string backup = dll;
  for (const ByteRange& range : ranges) {
    for (uint32_t i = 0; i < range.length; ++i) backup[range.start + i] ^= 0x55;
  }
  auto mismatch = [&](const std::string& file) {
    return ContentMismatch(reinterpret_cast<const uint8_t*>(file.data()), file.size(),
                           reinterpret_cast<const uint8_t*>(dll.data()), size, ranges)
        .detail;
  };
  EXPECT_EQ(mismatch(backup), "");
  for (size_t at : {size_t{0x10008}, size_t{0x2000C}, size - 1}) {
    std::string changed = backup;
    changed[at] ^= 1;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%zX", at);
    EXPECT_EQ(mismatch(changed), std::string("differs from the DLL at offset ") + hex +
                                     ", outside every range the tables name");
  }
}

}  // namespace
