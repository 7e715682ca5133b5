// DLLs that are links: the change locks the folder the link leads to and
// clears it of leftovers, and never writes through a link into a backup.
#include "files/dll_links.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "io/change_lock.h"
#include "tests/unit/patch_test_support.h"

namespace fs = std::filesystem;

namespace {

using DllLinksTest = GameFolderTest;

TEST_F(DllLinksTest, ALinkIntoABackupIsNeverWrittenThrough) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links are a POSIX test";
#else
  struct Case {
    const char* target;  // where d2game.dll leads, relative to game/
    bool refused;
  };
  const Case cases[] = {
      {"d2game.dll.bak", true}, {"../shared/old.BAK", true}, {"../shared/d2game.dll", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    fs::remove("game/d2game.dll");
    WriteFileBytes(fs::path("game/" + std::string(c.target)).lexically_normal().string(), game_);
    fs::create_symlink(c.target, "game/d2game.dll");
    EXPECT_EQ(LinkRefusal(patcher_.dllPaths[kGameDll]).problem != Problem::kNone, c.refused);
    EXPECT_EQ(Change(kGameDll, "10", "200"), c.refused ? 0 : 1);
    bool same = ReadFileBytes("game/" + std::string(c.target)) == game_;
    EXPECT_EQ(same, c.refused);
    fs::remove("game/d2game.dll.bak");
  }
#endif
}

TEST_F(DllLinksTest, TheFolderALinkLeadsToIsLockedAndCleared) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links are a POSIX test";
#else
  WriteFileBytes("shared/d2client.dll", client_);
  WriteFileBytes("shared/~ov0123ABCD.tmp", "left by a crash");
  fs::remove("game/d2client.dll");
  fs::create_symlink("../shared/d2client.dll", "game/d2client.dll");
  {
    DllFolderLocks locks({patcher_.dllPaths[kGameDll], patcher_.dllPaths[kClientDll]});
    ASSERT_TRUE(locks.Held());
    EXPECT_FALSE(fs::exists("shared/~ov0123ABCD.tmp"));
    // A second installation sharing the DLL must wait for this change.
    EXPECT_EQ(ChangeLock("shared/d2client.dll", 0).Error("").problem, Problem::kBusy);
    EXPECT_EQ(ChangeLock("game/d2game.dll", 0).Error("").problem, Problem::kBusy);
  }
  EXPECT_TRUE(ChangeLock("shared/d2client.dll", 0).Held());
#endif
}

}  // namespace
