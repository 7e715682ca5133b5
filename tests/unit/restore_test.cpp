// Restoring: the backups come back through the same one-step replacement as
// every save, and a restore that cannot be right changes nothing.
#include "exchange/restore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "io/change_lock.h"
#include "tests/unit/patch_test_support.h"

namespace fs = std::filesystem;

namespace {

using RestoreTest = GameFolderTest;

enum Restored { kRestored, kNoBackup, kFailed };

// With the ranges the changes so far have named, as the tables would.
Restored Restore(DllPatcher& patcher, int fileNumber, FileError* why = nullptr) {
  bool dll = fileNumber == kGameDll || fileNumber == kClientDll;
  FileOutcome outcome = RestoreBackup(patcher, nullptr, fileNumber,
                                      dll ? patcher.changeable[fileNumber] : ByteRanges());
  if (why != nullptr) *why = outcome.error;
  if (outcome.changed) return outcome.error.Failed() ? kFailed : kRestored;
  return outcome.error.Failed() ? kFailed : kNoBackup;
}

TEST_F(RestoreTest, RestoreGivesBackTheExactOriginalsAfterSeveralChanges) {
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  ASSERT_EQ(Change(kClientDll, "10", "200"), 1);
  ASSERT_EQ(Change(kClientDll, "20", "300"), 1);
  ASSERT_EQ(Change(kGameDll, "0", "100"), 1);

  EXPECT_EQ(Restore(patcher_, kGameDll), kRestored);
  EXPECT_EQ(Restore(patcher_, kClientDll), kRestored);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
  EXPECT_TRUE(ReadFileBytes("game/d2client.dll") == client_);
  // The backups stay, and a change after the restore keeps them as they are.
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll.bak") == game_);
  EXPECT_EQ(ListFolder("game"),
            (std::vector<std::string>{"d2client.dll", "d2client.dll.bak", "d2game.dll",
                                      "d2game.dll.bak", "orvanel.lock"}));
}

TEST_F(RestoreTest, RestoreWithoutBackupOrOverAReplacedDllChangesNothing) {
  EXPECT_EQ(Restore(patcher_, kGameDll), kNoBackup);
  EXPECT_FALSE(fs::exists("log.txt"));

  // The game was updated after the backup: the DLL has another size now.
  WriteFileBytes("game/d2game.dll.bak", DllBytes(4000, 5));
  FileError why;
  EXPECT_EQ(Restore(patcher_, kGameDll, &why), kFailed);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
  EXPECT_EQ(why.detail, "has 4000 bytes, the DLL 5000");

  // No folder set: nothing to restore to.
  DllPatcher unset;
  EXPECT_EQ(Restore(unset, kGameDll), kFailed);
  EXPECT_EQ(Restore(patcher_, 2), kFailed);
}

TEST_F(RestoreTest, RestoreBringsBackADeletedDllAndFailsWholeWhenTheReplaceFails) {
  ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
  std::string changed = ReadFileBytes("game/d2game.dll");

  FaultySteps steps(FaultySteps::kReplace);
  patcher_.saveSteps = &steps;
  EXPECT_EQ(Restore(patcher_, kGameDll), kFailed);
  patcher_.saveSteps = &SaveSteps::System();
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == changed);

  fs::remove("game/d2game.dll");
  EXPECT_EQ(Restore(patcher_, kGameDll), kRestored);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
}

// One class whose two skills' ranges cover the changes Change makes below.
struct Tables {
  RecordList classes = nullptr;
  Tables() {
    auto* record = new ClassRecord;
    record->AddToList(&classes);
    for (const char* offset : {"10", "200"}) {
      auto* skill = new SkillRecord;
      std::snprintf(skill->effectsOffset, 6, "%s", offset);
      std::snprintf(skill->graphicsOffset, 6, "%s", offset);
      skill->AddToList(&record->skillLists[0]);
    }
  }
  ~Tables() { FreeList<ClassRecord>(&classes); }
};

// A restore is one change: when one DLL cannot be restored, the other is not
// either (or is put back), and says why; a DLL without a backup does not
// hold the other back.
TEST_F(RestoreTest, BothDllsAreRestoredOrNeither) {
  Tables tables;
  enum Fault { kForeignBackup, kReplaceFails, kLockHeld, kNoClientBackup, kUndoFails };
  for (Fault fault : {kForeignBackup, kReplaceFails, kLockHeld, kNoClientBackup, kUndoFails}) {
    SCOPED_TRACE(fault);
    WriteFileBytes("game/d2game.dll", game_);
    WriteFileBytes("game/d2client.dll", client_);
    fs::remove("game/d2game.dll.bak");
    fs::remove("game/d2client.dll.bak");
    ASSERT_EQ(Change(kGameDll, "10", "200"), 1);
    ASSERT_EQ(Change(kClientDll, "10", "200"), 1);
    std::string game = ReadFileBytes("game/d2game.dll");
    std::string client = ReadFileBytes("game/d2client.dll");
    if (fault == kForeignBackup) WriteFileBytes("game/d2client.dll.bak", DllBytes(7000, 9));
    if (fault == kNoClientBackup) fs::remove("game/d2client.dll.bak");
    FaultySteps steps;
    steps.refuse = fault == kReplaceFails || fault == kUndoFails ? "game\\d2client.dll" : "";
    steps.refuseAgain = fault == kUndoFails ? "game\\d2game.dll" : "";
    patcher_.saveSteps = &steps;
    std::unique_ptr<ChangeLock> other;
    if (fault == kLockHeld) other.reset(new ChangeLock("game/d2game.dll", 0));

    RestoreReport report = RestoreBoth(patcher_, nullptr, tables.classes);
    patcher_.saveSteps = &SaveSteps::System();
    if (fault == kNoClientBackup) {
      EXPECT_EQ(report.restored, 1);
      EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
      continue;
    }
    if (fault == kUndoFails) {
      // d2game.dll could not be put back: it is said restored, as it is.
      EXPECT_EQ(report.restored, 1);
      EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game_);
      EXPECT_TRUE(report.files[0].changed && !report.files[1].changed);
      EXPECT_NE(report.text.find("d2game.dll is changed and d2client.dll not"), std::string::npos)
          << report.text;
      EXPECT_TRUE(fs::exists("game/orvanel.journal"));
      continue;
    }
    EXPECT_EQ(report.restored, 0);
    EXPECT_EQ(report.failed, 2);
    EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == game) << report.text;
    EXPECT_TRUE(ReadFileBytes("game/d2client.dll") == client) << report.text;
    const char* held = fault == kLockHeld ? "another Orvanel is changing these files: "
                                          : "held back so that the DLLs are not left half changed";
    EXPECT_NE(report.text.find(held), std::string::npos) << report.text;
    EXPECT_FALSE(fs::exists("game/orvanel.journal"));
  }
}

}  // namespace
