// The game folder setting: data\config.txt read at start, written by
// StoreFolder, and the two DLL paths built from the folder.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/fingerprint.h"
#include "io/file_error.h"
#include "patch/dll_patcher.h"
#include "tests/unit/patch_test_support.h"

namespace fs = std::filesystem;

namespace {

using FolderConfigTest = InTempDir;

// The folder a patcher constructed now takes from a config file holding text.
std::string FolderRead(const std::string& text) {
  WriteFileBytes("data/config.txt", text);
  DllPatcher patcher;
  return patcher.folder;
}

TEST_F(FolderConfigTest, NoConfigFileLeavesTheFolderNotSet) {
  DllPatcher patcher;
  EXPECT_STREQ(patcher.folder, "");
  EXPECT_STREQ(patcher.dllPaths[kGameDll], "");
  EXPECT_STREQ(patcher.dllPaths[kClientDll], "");
  EXPECT_FALSE(fs::exists("log.txt"));
}

// Blanks are stored as underscores, with no line end, and come back as
// blanks at the next start.
TEST_F(FolderConfigTest, AFolderWithBlanksRoundTrips) {
  fs::create_directory("data");
  {
    DllPatcher patcher;
    ASSERT_EQ(patcher.StoreFolder("C:\\Program Files\\Diablo II"), 1);
    EXPECT_STREQ(patcher.dllPaths[kGameDll], "C:\\Program Files\\Diablo II\\d2game.dll");
    EXPECT_STREQ(patcher.dllPaths[kClientDll], "C:\\Program Files\\Diablo II\\d2client.dll");
    EXPECT_STREQ(patcher.folder, "C:\\Program_Files\\Diablo_II");
  }
  EXPECT_EQ(ReadFileBytes("data/config.txt"), "Folder: C:\\Program_Files\\Diablo_II");
  DllPatcher next;
  EXPECT_STREQ(next.folder, "C:\\Program Files\\Diablo II");
  EXPECT_STREQ(next.dllPaths[kGameDll], "C:\\Program Files\\Diablo II\\d2game.dll");
  EXPECT_STREQ(next.dllPaths[kClientDll], "C:\\Program Files\\Diablo II\\d2client.dll");
  EXPECT_STREQ(next.dllPaths[2], "");
}

// An underscore in the stored text stands for a blank or for itself; the
// reading that names an existing folder wins, the blank when both or neither
// exist.
TEST_F(FolderConfigTest, UnderscoresComeBackAsTheFolderThatExists) {
  fs::create_directories("games/Diablo_II");
  {
    DllPatcher patcher;
    fs::create_directory("data");
    ASSERT_EQ(patcher.StoreFolder("games\\Diablo_II"), 1);
    EXPECT_STREQ(patcher.dllPaths[kGameDll], "games\\Diablo_II\\d2game.dll");
  }
  EXPECT_EQ(ReadFileBytes("data/config.txt"), "Folder: games\\Diablo_II");
  {
    DllPatcher next;
    EXPECT_STREQ(next.folder, "games\\Diablo_II");
    EXPECT_STREQ(next.dllPaths[kGameDll], "games\\Diablo_II\\d2game.dll");
    EXPECT_STREQ(next.dllPaths[kClientDll], "games\\Diablo_II\\d2client.dll");
  }

  fs::create_directories("games/Diablo II");  // now both readings exist
  EXPECT_EQ(FolderRead("Folder: games\\Diablo_II"), "games\\Diablo II");

  fs::remove_all("games");  // and now neither
  EXPECT_EQ(FolderRead("Folder: games\\Diablo_II"), "games\\Diablo II");

  fs::create_directories("games/My Diablo");  // only the blank reading
  EXPECT_EQ(FolderRead("Folder: games\\My_Diablo"), "games\\My Diablo");

  // Blanks and underscores mixed, in two parts: the reading that exists.
  fs::create_directories("My Games/Diablo_II/a_b c");
  EXPECT_EQ(FolderRead("Folder: My_Games\\Diablo_II\\a_b_c"), "My Games\\Diablo_II\\a_b c");
}

// A drive root ends in a backslash; the paths get two in a row, unchanged.
TEST_F(FolderConfigTest, ADriveRootKeepsItsBackslash) {
  fs::create_directory("data");
  {
    DllPatcher patcher;
    ASSERT_EQ(patcher.StoreFolder("C:\\"), 1);
    EXPECT_STREQ(patcher.folder, "C:\\");
    EXPECT_STREQ(patcher.dllPaths[kGameDll], "C:\\\\d2game.dll");
    EXPECT_STREQ(patcher.dllPaths[kClientDll], "C:\\\\d2client.dll");
  }
  EXPECT_EQ(ReadFileBytes("data/config.txt"), "Folder: C:\\");
  DllPatcher next;
  EXPECT_STREQ(next.folder, "C:\\");
  EXPECT_STREQ(next.dllPaths[kClientDll], "C:\\\\d2client.dll");
}

TEST_F(FolderConfigTest, TheSettingLineIsReadAsWritten) {
  // Comment lines and empty lines before it are skipped.
  EXPECT_EQ(FolderRead("// set by hand\n\n/ another\r\n\r\nFolder: D:\\Diablo\n"), "D:\\Diablo");
  // Any white space, also none, after the colon; words after the folder.
  EXPECT_EQ(FolderRead("Folder:D:\\Diablo"), "D:\\Diablo");
  EXPECT_EQ(FolderRead("Folder: \t D:\\Diablo extra words\n"), "D:\\Diablo");
  // Line ends: CR LF, LF or none read the same.
  EXPECT_EQ(FolderRead("Folder: D:\\Diablo\r\n"), "D:\\Diablo");
  EXPECT_EQ(FolderRead("Folder: D:\\Diablo\n"), "D:\\Diablo");
  EXPECT_EQ(FolderRead("Folder: D:\\Diablo"), "D:\\Diablo");
  // Only the first setting line counts.
  EXPECT_EQ(FolderRead("Folder: D:\\First\nFolder: D:\\Second\n"), "D:\\First");
}

TEST_F(FolderConfigTest, AnythingButASettingLineLeavesTheFolderNotSet) {
  const char* files[] = {
      "",
      "// only a comment\n\n",
      "Folder:",
      "Folder:\n",
      "Folder:   \r\n",
      " Folder: D:\\Diablo\n",                   // a blank before the key
      "folder: D:\\Diablo\n",                    // the key in lower case
      "Path: D:\\Diablo\nFolder: D:\\Diablo\n",  // the first data line decides
  };
  for (const char* text : files) {
    WriteFileBytes("data/config.txt", text);
    DllPatcher patcher;
    EXPECT_STREQ(patcher.folder, "") << text;
    EXPECT_STREQ(patcher.dllPaths[kGameDll], "") << text;
    EXPECT_STREQ(patcher.dllPaths[kClientDll], "") << text;
  }
  EXPECT_FALSE(fs::exists("log.txt"));
}

// 242 characters is the longest folder whose "\d2client.dll" path fits.
TEST_F(FolderConfigTest, AFolderTooLongOrWithAControlCharacterIsRefused) {
  fs::create_directory("data");
  std::string longest = "D:\\" + std::string(kMaxFolderLength - 3, 'x');
  std::string tooLong = longest + "y";
  DllPatcher patcher;
  ASSERT_EQ(patcher.StoreFolder(longest.c_str()), 1);
  EXPECT_EQ(std::string(patcher.dllPaths[kClientDll]), longest + "\\d2client.dll");
  EXPECT_EQ(FolderRead("Folder: " + longest), longest);

  // Too long, or with a character that would end the setting line early and
  // have the next start read another folder: refused whole.
  for (std::string refused : {tooLong, std::string("D:\\Games\nD:\\Other"),
                              std::string("D:\\Games\tx"), std::string("D:\\Ga\x7Fmes")}) {
    EXPECT_EQ(patcher.StoreFolder(refused.c_str()), 0);
    EXPECT_TRUE(FolderProblem(refused.c_str()).Failed());
    EXPECT_EQ(std::string(patcher.folder), longest);
    EXPECT_EQ(std::string(patcher.dllPaths[kClientDll]), longest + "\\d2client.dll");
    EXPECT_EQ(ReadFileBytes("data/config.txt"), "Folder: " + longest);
  }

  // One stored by hand that long is not set, and so is one longer than a line.
  EXPECT_EQ(FolderRead("Folder: " + tooLong), "");
  EXPECT_EQ(FolderRead("Folder: " + tooLong + std::string(300, 'z')), "");
}

// Without a data folder the setting cannot be written: that is logged, and
// the new folder holds for the rest of the run all the same.
TEST_F(FolderConfigTest, AnUnwritableConfigKeepsTheFolderForTheRun) {
  DllPatcher patcher;
  bool kept = true;
  EXPECT_EQ(patcher.StoreFolder("E:\\My Games\\D2", &kept), 1);
  EXPECT_FALSE(kept);
  EXPECT_STREQ(patcher.folder, "E:\\My_Games\\D2");
  EXPECT_STREQ(patcher.dllPaths[kGameDll], "E:\\My Games\\D2\\d2game.dll");
  EXPECT_STREQ(patcher.dllPaths[kClientDll], "E:\\My Games\\D2\\d2client.dll");
  EXPECT_FALSE(fs::exists("data"));
  // The folder data\ is missing (POSIX says 2 for that, Windows 3).
  EXPECT_EQ(patcher.lastError.problem, Problem::kNotFound);
}

TEST_F(FolderConfigTest, UseFolderAimsThePathsForThisRunOnly) {
  DllPatcher patcher;
  ASSERT_EQ(patcher.UseFolder("game"), 1);
  EXPECT_STREQ(patcher.dllPaths[kGameDll], "game\\d2game.dll");
  EXPECT_STREQ(patcher.dllPaths[kClientDll], "game\\d2client.dll");
  EXPECT_FALSE(fs::exists("data/config.txt"));
  EXPECT_EQ(patcher.UseFolder(std::string(kMaxFolderLength + 1, 'x').c_str()), 0);
  EXPECT_STREQ(patcher.folder, "game");
}

// The DLLs as the game names them are found whatever their letter case; two
// names that differ only in case are refused, naming both. Windows finds
// them itself: the paths keep the names asked for.
TEST_F(FolderConfigTest, TheDllsAreFoundWhateverTheirLetterCase) {
  struct Row {
    std::vector<std::string> files;
    const char* game;
    const char* client;
  };
  const Row rows[] = {
      {{"D2Game.dll", "D2Client.dll"}, "D2Game.dll", "D2Client.dll"},
      {{"d2game.dll", "d2client.dll"}, "d2game.dll", "d2client.dll"},
      {{"D2GAME.DLL", "d2Client.Dll"}, "D2GAME.DLL", "d2Client.Dll"},
      {{}, "d2game.dll", "d2client.dll"},
  };
  for (const Row& row : rows) {
    fs::remove_all("game");
    fs::create_directory("game");
    for (const std::string& file : row.files) WriteFileBytes("game/" + file, "MZ");
    DllPatcher patcher;
    ASSERT_EQ(patcher.UseFolder("game"), 1);
    EXPECT_EQ(std::string(patcher.dllPaths[kGameDll]), std::string("game\\") + row.game);
    EXPECT_EQ(std::string(patcher.dllPaths[kClientDll]), std::string("game\\") + row.client);
    EXPECT_EQ(patcher.LoadFile(kClientDll), row.files.empty() ? 0 : 1) << row.client;
  }
}

TEST_F(FolderConfigTest, TwoNamesThatDifferOnlyInCaseAreRefused) {
#ifdef _WIN32
  GTEST_SKIP() << "one folder on Windows cannot hold both";
#endif
  WriteFileBytes("game/D2Game.dll", "MZ one");
  WriteFileBytes("game/d2game.dll", "MZ two");
  WriteFileBytes("game/d2client.dll", "MZ");
  DllPatcher patcher;
  ASSERT_EQ(patcher.UseFolder("game"), 1);
  EXPECT_EQ(patcher.LoadFile(kGameDll), 0);
  std::string reason = UserReason(patcher.lastError);
  EXPECT_NE(reason.find("holds both"), std::string::npos) << reason;
  EXPECT_NE(reason.find("D2Game.dll"), std::string::npos) << reason;
  EXPECT_NE(reason.find(" d2game.dll"), std::string::npos) << reason;
  EXPECT_FALSE(ReadDllFiles(patcher.dllPaths[kGameDll], nullptr, nullptr).DllRead());
  EXPECT_EQ(patcher.LoadFile(kClientDll), 1);
}

}  // namespace
