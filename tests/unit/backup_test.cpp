// The one-time backups: made from the untouched file before the first save,
// kept ever after, refused changes when they cannot be made, and restored
// through the same one-step replacement as every save.
#include "patch/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "patch/dll_patcher.h"
#include "patch/save_steps.h"
#include "tests/unit/test_support.h"

namespace fs = std::filesystem;

namespace {

// Bytes that differ from position to position, with line-end bytes early on
// that a text-mode copy would change.
std::string Bytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned state = seed;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  bytes.replace(0, 4, "\r\n\x1A\0", 4);
  return bytes;
}

// log.txt with its line ends as "\n" (text mode writes CR LF on Windows).
std::string LogText() {
  std::string text = ReadFileBytes("log.txt");
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// The real file system, except that one step fails, or every written byte is
// changed on its way to the disk.
class FaultySteps : public SaveSteps {
 public:
  enum Fault { kOpen, kWrite, kFlush, kClose, kReplace, kCorrupt };
  explicit FaultySteps(Fault fault) : fault_(fault) {}
  FILE* Open(const char* path) override {
    return fault_ == kOpen ? nullptr : SaveSteps::Open(path);
  }
  bool Write(FILE* file, const uint8_t* bytes, size_t count) override {
    if (fault_ == kWrite) return false;
    if (fault_ != kCorrupt) return SaveSteps::Write(file, bytes, count);
    std::vector<uint8_t> changed(bytes, bytes + count);
    for (uint8_t& byte : changed) byte ^= 0x20;
    return SaveSteps::Write(file, changed.data(), count);
  }
  bool Flush(FILE* file) override { return fault_ != kFlush && SaveSteps::Flush(file); }
  bool Close(FILE* file) override { return SaveSteps::Close(file) && fault_ != kClose; }
  bool Replace(const char* from, const char* to) override {
    return fault_ != kReplace && SaveSteps::Replace(from, to);
  }

 private:
  Fault fault_;
};

class BackupTest : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    std::snprintf(patcher_.dllPaths[kGameDll], kTextSize, "game\\d2game.dll");
    std::snprintf(patcher_.dllPaths[kClientDll], kTextSize, "game\\d2client.dll");
    game_ = Bytes(5000, 1);
    client_ = Bytes(7000, 2);
    WriteFileBytes("game/d2game.dll", game_);
    WriteFileBytes("game/d2client.dll", client_);
  }
  // One change as the exchange makes it: load, swap, save.
  int Change(int fileNumber, const char* a, const char* b) {
    return patcher_.LoadFile(fileNumber) && patcher_.SwapRanges(12, a, b) &&
           patcher_.SaveFile(fileNumber);
  }

  DllPatcher patcher_;
  std::string game_;
  std::string client_;
};

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

TEST_F(BackupTest, AnExistingBackupIsNeverOverwritten) {
  std::string older = Bytes(5000, 9);
  WriteFileBytes("game/d2game.dll.bak", older);
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == older);
  // An empty backup is a backup too: the program never decides it is wrong.
  WriteFileBytes("game/d2client.dll.bak", "");
  ASSERT_EQ(Change(kClientDll, "10", "200"), 1);
  EXPECT_EQ(ReadFileBytes("game/d2client.dll.bak"), "");
}

TEST_F(BackupTest, ABackupThatCannotBeMadeRefusesTheChange) {
  struct Case {
    FaultySteps::Fault fault;
    const char* logged;
  };
  const Case cases[] = {
      {FaultySteps::kOpen,
       "* The backup game\\d2game.dll.bak could not be created; "
       "game\\d2game.dll left unchanged\n"},
      {FaultySteps::kWrite,
       "* The backup game\\d2game.dll.bak could not be written; "
       "game\\d2game.dll left unchanged\n"},
      {FaultySteps::kFlush,
       "* The backup game\\d2game.dll.bak could not be written; "
       "game\\d2game.dll left unchanged\n"},
      {FaultySteps::kClose,
       "* The backup game\\d2game.dll.bak could not be written; "
       "game\\d2game.dll left unchanged\n"},
      {FaultySteps::kCorrupt,
       "* The backup game\\d2game.dll.bak did not read back the same as "
       "the file; game\\d2game.dll left unchanged\n"},
      {FaultySteps::kReplace,
       "* The backup game\\d2game.dll.bak could not be moved into place; "
       "game\\d2game.dll left unchanged\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    fs::remove("log.txt");
    FaultySteps steps(c.fault);
    patcher_.saveSteps = &steps;
    EXPECT_EQ(Change(kGameDll, "10", "200"), 0);
    patcher_.saveSteps = &SaveSteps::System();
    EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
    EXPECT_EQ(ListFolder("game"), (std::vector<std::string>{"d2client.dll", "d2game.dll"}));
    EXPECT_EQ(LogText(), c.logged);
  }
  // Something that is no file stands where the backup belongs.
  fs::remove("log.txt");
  fs::create_directory("game/d2game.dll.bak");
  EXPECT_EQ(Change(kGameDll, "10", "200"), 0);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
  EXPECT_EQ(LogText(),
            "* The backup game\\d2game.dll.bak is not a file; game\\d2game.dll left unchanged\n");
  fs::remove("game/d2game.dll.bak");

  // With the disk well again, the change goes ahead and the backup is made.
  EXPECT_EQ(Change(kGameDll, "10", "200"), 1);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);
}

TEST_F(BackupTest, RestoreGivesBackTheExactOriginalsAfterSeveralChanges) {
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  ASSERT_EQ(Change(kClientDll, "10", "200"), 1);
  ASSERT_EQ(Change(kClientDll, "20", "300"), 1);
  ASSERT_EQ(Change(kGameDll, "0", "100"), 1);

  EXPECT_EQ(RestoreBackup(patcher_, kGameDll), RestoreOutcome::kRestored);
  EXPECT_EQ(RestoreBackup(patcher_, kClientDll), RestoreOutcome::kRestored);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
  EXPECT_TRUE(ReadFileBytes("game/d2client.dll") == client_);
  // The backups stay, and a change after the restore keeps them as they are.
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);
  EXPECT_EQ(ListFolder("game"), (std::vector<std::string>{"d2client.dll", "d2client.dll.bak",
                                                          "d2game.dll", "d2game.dll.bak"}));
}

TEST_F(BackupTest, RestoreWithoutBackupOrOverAReplacedDllChangesNothing) {
  EXPECT_EQ(RestoreBackup(patcher_, kGameDll), RestoreOutcome::kNoBackup);
  EXPECT_FALSE(fs::exists("log.txt"));

  // The game was updated after the backup: the DLL has another size now.
  WriteFileBytes("game/d2game.dll.bak", Bytes(4000, 5));
  EXPECT_EQ(RestoreBackup(patcher_, kGameDll), RestoreOutcome::kFailed);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
  EXPECT_NE(LogText().find("* game\\d2game.dll has 5000 bytes but its backup "
                           "game\\d2game.dll.bak has 4000: not restored"),
            std::string::npos);

  // No folder set: nothing to restore to.
  DllPatcher unset;
  EXPECT_EQ(RestoreBackup(unset, kGameDll), RestoreOutcome::kFailed);
  EXPECT_EQ(RestoreBackup(patcher_, 2), RestoreOutcome::kFailed);
}

TEST_F(BackupTest, RestoreBringsBackADeletedDllAndFailsWholeWhenTheReplaceFails) {
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  std::string changed = ReadFileBytes("game/d2game.dll");

  FaultySteps steps(FaultySteps::kReplace);
  patcher_.saveSteps = &steps;
  EXPECT_EQ(RestoreBackup(patcher_, kGameDll), RestoreOutcome::kFailed);
  patcher_.saveSteps = &SaveSteps::System();
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == changed);

  fs::remove("game/d2game.dll");
  EXPECT_EQ(RestoreBackup(patcher_, kGameDll), RestoreOutcome::kRestored);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
}

}  // namespace
