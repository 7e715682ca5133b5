// Saving never destroys the DLL: whichever step fails, the file on disk is
// the one that was there before, no temporary file is left and the failure
// is logged and reported.
#include "io/save_steps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "io/change_lock.h"
#include "io/file_paths.h"
#include "patch/dll_patcher.h"
#include "tests/unit/patch_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// 3,200,000 bytes: four pieces of 1 MiB to write.
constexpr size_t kDllSize = 3200000;
constexpr int kPieces = 4;
const std::vector<std::string> kFiles = {"d2game.dll", "d2game.dll.bak"};

class SaveStepsTest : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    patcher_.UseFolder("game");
    original_ = DllBytes(kDllSize);
    WriteFileBytes("game/d2game.dll", original_);
    // The one-time backup was made by an earlier change, so every save here
    // is the replacement alone.
    WriteFileBytes("game/d2game.dll.bak", original_);
    patcher_.changeable[kGameDll] = {{0x100, 12}, {0x30000, 12}};
    ASSERT_EQ(patcher_.LoadFile(kGameDll), 1);
    ASSERT_EQ(patcher_.SwapRanges(12, "100", "30000"), 1);
    changed_ = Image();
    ASSERT_NE(changed_, original_);
  }
  std::string Image() const {
    return std::string(reinterpret_cast<const char*>(patcher_.image.get()),
                       static_cast<size_t>(patcher_.imageSize));
  }

  DllPatcher patcher_;
  std::string original_;
  std::string changed_;
};

TEST_F(SaveStepsTest, EveryFailingStepLeavesTheOriginalAndNoTemporaryFile) {
  struct Case {
    FaultySteps::Fault step;
    int write;
    const char* file;  // the file that stood in the way: the temporary file, or the DLL
  };
  std::vector<Case> cases = {{FaultySteps::kOpen, 0, "game\\~ov"}};
  for (int i = 0; i < kPieces; ++i) cases.push_back({FaultySteps::kWrite, i, "game\\d2game.dll"});
  cases.push_back({FaultySteps::kFlush, 0, "game\\d2game.dll"});
  cases.push_back({FaultySteps::kClose, 0, "game\\d2game.dll"});
  cases.push_back({FaultySteps::kReplace, 0, "game\\d2game.dll"});

  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "step " << c.step << ", write " << c.write);
    FaultySteps steps(c.step, c.write);
    patcher_.saveSteps = &steps;
    EXPECT_EQ(patcher_.SaveFile(kGameDll), 0);
    EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == original_);
    EXPECT_EQ(ListFolder("game"), kFiles);
    EXPECT_EQ(patcher_.lastError.file.rfind(c.file, 0), 0u) << patcher_.lastError.file;
    EXPECT_TRUE(Image() == changed_);  // the image keeps the exchange
    if (c.step == FaultySteps::kWrite) {
      EXPECT_EQ(steps.writes, c.write + 1);
    }
  }

  // The same steps without a failure write the new image, all four pieces.
  FaultySteps steps(FaultySteps::kNone);
  patcher_.saveSteps = &steps;
  fs::remove("log.txt");
  EXPECT_EQ(patcher_.SaveFile(kGameDll), 1);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == changed_);
  EXPECT_EQ(ListFolder("game"), kFiles);
  EXPECT_FALSE(fs::exists("log.txt"));
  patcher_.saveSteps = &SaveSteps::System();
}

// Each save writes a temporary file of its own beside the DLL (the last step
// is then a rename within one folder), never one that is there already.
// Leftovers of dead runs never block a save, and go, without their links
// being followed, when the folder's lock is next taken.
TEST_F(SaveStepsTest, TemporaryFilesBelongToOneRun) {
  EXPECT_TRUE(IsTemporaryName("~ov0A1B2C3D.tmp"));
  for (const char* name : {"d2game.dll", "~ov0A1B2C3.tmp", "~ov0a1b2c3d.tmp", "~ov0A1B2C3D.tm"}) {
    EXPECT_FALSE(IsTemporaryName(name)) << name;
  }
  std::string stale = NativePath(TemporaryPathFor("game\\d2game.dll", 0).c_str());
  WriteFileBytes(stale, DllBytes(kDllSize + 999, 7));
  fs::permissions(stale, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
#ifndef _WIN32
  // A link planted where a temporary file may go: its target, outside the
  // folder, keeps its mode and its bytes.
  WriteFileBytes("outside.txt", "keep");
  fs::permissions("outside.txt", fs::perms::owner_read, fs::perm_options::replace);
  fs::create_symlink("../outside.txt", "game/~ov00000001.tmp");
#endif
  FaultySteps steps;
  patcher_.saveSteps = &steps;
  EXPECT_EQ(patcher_.SaveFile(kGameDll), 1);
  patcher_.saveSteps = &SaveSteps::System();
  ASSERT_EQ(steps.opened.size(), 1u);
  fs::path written = NativePath(steps.opened[0].c_str());
  EXPECT_EQ(written.parent_path(), fs::path("game"));
  EXPECT_TRUE(IsTemporaryName(written.filename().string())) << written;
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == changed_);
  EXPECT_FALSE(fs::exists("log.txt"));
  // The DLL did not take the stale file's read-only mark.
  EXPECT_NE(fs::status("game/d2game.dll").permissions() & fs::perms::owner_write, fs::perms::none);

  { ChangeLock lock("game\\d2game.dll"); }
  EXPECT_EQ(ListFolder("game"),
            (std::vector<std::string>{"d2game.dll", "d2game.dll.bak", "orvanel.lock"}));
#ifndef _WIN32
  EXPECT_EQ(fs::status("outside.txt").permissions(), fs::perms::owner_read);
  EXPECT_EQ(ReadFileBytes("outside.txt"), "keep");
#endif
}

// A save keeps what the file system knows of the DLL: its mode and owner,
// its attributes, and the link through which it is reached.
TEST_F(SaveStepsTest, ASaveKeepsTheDllsMetadata) {
#ifdef _WIN32
  ASSERT_TRUE(
      SetFileAttributesA("game\\d2game.dll", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(patcher_.SaveFile(kGameDll), 1);
  DWORD attributes = GetFileAttributesA("game\\d2game.dll");
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
  SetFileAttributesA("game\\d2game.dll", FILE_ATTRIBUTE_NORMAL);
#else
  fs::permissions("game/d2game.dll", fs::perms(0750), fs::perm_options::replace);
  bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown("game/d2game.dll", 65534, 65534), 0);
  }
  EXPECT_EQ(patcher_.SaveFile(kGameDll), 1);
  struct stat saved = {};
  ASSERT_EQ(stat("game/d2game.dll", &saved), 0);
  EXPECT_EQ(saved.st_mode & 07777, 0750u);
  if (root) {
    EXPECT_EQ(saved.st_uid, 65534u);
  }
  // The DLL is a link into another folder: the link stays, its target changes.
  fs::create_directory("real");
  fs::rename("game/d2game.dll", "real/d2game.dll");
  fs::create_symlink("../real/d2game.dll", "game/d2game.dll");
  ASSERT_EQ(patcher_.LoadFile(kGameDll), 1);
  ASSERT_EQ(patcher_.SwapRanges(12, "100", "30000"), 1);
  EXPECT_EQ(patcher_.SaveFile(kGameDll), 1);
  EXPECT_TRUE(fs::is_symlink("game/d2game.dll"));
  EXPECT_TRUE(ReadFileBytes("real/d2game.dll") == original_);  // exchanged twice
  EXPECT_EQ(ListFolder("real"), std::vector<std::string>{"d2game.dll"});
#endif
}

// The longest folder the paths allow (242 characters) still saves: the
// temporary file's path must fit wherever the DLL's path fits (on Windows,
// 259 characters).
TEST_F(SaveStepsTest, TheLongestFolderStillSaves) {
#ifdef _WIN32
  const std::string base = "C:\\orvanel-longest";  // short enough to clean up
#else
  const std::string base = "longest";
#endif
  std::string folder = base + "\\" + std::string(kMaxFolderLength - base.size() - 1, 'd');
  ASSERT_EQ(folder.size(), static_cast<size_t>(kMaxFolderLength));
  ASSERT_EQ(patcher_.UseFolder(folder.c_str()), 1);
  ASSERT_EQ(std::strlen(patcher_.dllPaths[kClientDll]), 255u);
  std::string client = DllBytes(4096, 3);
  WriteFileBytes(NativePath(patcher_.dllPaths[kClientDll]), client);
  WriteFileBytes(NativePath(patcher_.dllPaths[kClientDll]) + ".bak", client);
  ASSERT_EQ(patcher_.LoadFile(kClientDll), 1);
  patcher_.changeable[kClientDll] = {{0x10, 20}, {0x200, 20}};
  ASSERT_EQ(patcher_.SwapRanges(20, "10", "200"), 1);
  std::string changed = Image();
  EXPECT_EQ(patcher_.SaveFile(kClientDll), 1);
  EXPECT_TRUE(ReadFileBytes(NativePath(patcher_.dllPaths[kClientDll])) == changed);
  EXPECT_EQ(ListFolder(NativePath(folder.c_str())).size(), 2u);  // the DLL and its backup
  fs::remove_all(NativePath(base.c_str()));
}

#ifndef _WIN32
// A real full disk: the process may not write more than 64 KiB into any file.
TEST_F(SaveStepsTest, ADiskFullSaveLeavesTheOriginal) {
  struct sigaction ignore = {};
  struct sigaction previous = {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  rlimit before = {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

  int saved = patcher_.SaveFile(kGameDll);

  setrlimit(RLIMIT_FSIZE, &before);
  sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_EQ(saved, 0);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == original_);
  EXPECT_EQ(ListFolder("game"), kFiles);
  EXPECT_EQ(patcher_.lastError.problem, Problem::kDiskFull);
  EXPECT_EQ(patcher_.lastError.file, "game\\d2game.dll");
}
#endif

#ifdef _WIN32
// Another program holds the DLL open and shares nothing: the load is refused.
TEST_F(SaveStepsTest, ADllHeldWithoutSharingIsNotLoaded) {
  HANDLE held = CreateFileA("game\\d2game.dll", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(patcher_.LoadFile(kGameDll), 0);
  CloseHandle(held);
  EXPECT_TRUE(Image() == changed_);
  EXPECT_EQ(patcher_.lastError.problem, Problem::kInUse);
}

// It takes the file while the exchange runs: the save is refused and the
// original stays whole.
TEST_F(SaveStepsTest, ADllHeldWithoutSharingIsNotReplaced) {
  HANDLE held = CreateFileA("game\\d2game.dll", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(patcher_.SaveFile(kGameDll), 0);
  CloseHandle(held);
  EXPECT_TRUE(ReadFileBytes("game/d2game.dll") == original_);
  EXPECT_EQ(ListFolder("game"), kFiles);
  EXPECT_EQ(patcher_.lastError.problem, Problem::kInUse);
  EXPECT_EQ(patcher_.lastError.file, "game\\d2game.dll");
}
#endif

}  // namespace
