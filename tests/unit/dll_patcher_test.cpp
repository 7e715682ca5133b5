// The DLL image: whole-file loads, the transfer window, the checked range
// exchange and the plain load-save round trip.
#include "patch/dll_patcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "io/file_paths.h"
#include "io/save_steps.h"
#include "tests/unit/patch_test_support.h"

namespace fs = std::filesystem;

namespace {

class DllPatcherTest : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    patcher_.UseFolder("game");
  }
  // Writes d2game.dll and loads it.
  void Load(const std::string& bytes) {
    WriteFileBytes("game/d2game.dll", bytes);
    ASSERT_EQ(patcher_.LoadFile(kGameDll), 1);
  }
  std::string Image() const {
    return std::string(reinterpret_cast<const char*>(patcher_.image.get()),
                       static_cast<size_t>(patcher_.imageSize));
  }

  DllPatcher patcher_;
};

TEST_F(DllPatcherTest, LoadThenSaveReproducesTheFileByteForByte) {
  std::string bytes = DllBytes(70000);
  Load(bytes);
  EXPECT_EQ(patcher_.imageSize, 70000);
  EXPECT_EQ(Image(), bytes);
  ASSERT_EQ(patcher_.SaveFile(kGameDll), 1);
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), bytes);
  EXPECT_EQ(ListFolder("game"), (std::vector<std::string>{"d2game.dll", "d2game.dll.bak"}));
  EXPECT_FALSE(fs::exists("log.txt"));
}

TEST_F(DllPatcherTest, EmptyFileLoadsAndSavesEmpty) {
  Load("");
  EXPECT_EQ(patcher_.imageSize, 0);
  ASSERT_EQ(patcher_.SaveFile(kGameDll), 1);
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), "");
}

TEST_F(DllPatcherTest, FailedLoadLogsThePathAndKeepsThePreviousImage) {
  std::string bytes = DllBytes(64);
  Load(bytes);

  EXPECT_EQ(patcher_.LoadFile(kClientDll), 0);  // d2client.dll does not exist
  EXPECT_EQ(patcher_.LoadFile(2), 0);           // the third slot is always empty
  EXPECT_EQ(patcher_.LoadFile(3), 0);
  EXPECT_EQ(patcher_.LoadFile(-1), 0);

  EXPECT_EQ(Image(), bytes);
  EXPECT_EQ(patcher_.loadedFile, kGameDll);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "* Couldn't open file game\\d2client.dll: not found (system error 2)",
                            "* Couldn't open file "}));
}

TEST_F(DllPatcherTest, ReadOnlyFileIsRefusedAtLoad) {
  WriteFileBytes("game/d2game.dll", DllBytes(32));
  fs::permissions("game/d2game.dll",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (FILE* probe = std::fopen("game/d2game.dll", "rb+")) {
    std::fclose(probe);
    fs::permissions("game/d2game.dll", fs::perms::owner_write, fs::perm_options::add);
    GTEST_SKIP() << "this user may write read-only files (root)";
  }
  EXPECT_EQ(patcher_.LoadFile(kGameDll), 0);
  EXPECT_EQ(patcher_.image, nullptr);
  EXPECT_EQ(patcher_.lastError.problem, Problem::kDenied);
  EXPECT_EQ(patcher_.lastError.file, "game\\d2game.dll");
  // Windows deletes no read-only file, so the folder could not be cleaned up.
  fs::permissions("game/d2game.dll", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(DllPatcherTest, ReadWindowCopiesLengthBytesAndZeroesTheRest) {
  std::string bytes = DllBytes(512);
  Load(bytes);
  std::memset(patcher_.window, 0x55, sizeof patcher_.window);
  patcher_.SetOffset("1F");
  EXPECT_EQ(patcher_.offset, 0x1F);
  patcher_.ReadWindow(12);
  EXPECT_EQ(patcher_.windowLength, 12);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(patcher_.window), 12), bytes.substr(0x1F, 12));
  for (int i = 12; i < kWindowSize; ++i) ASSERT_EQ(patcher_.window[i], 0) << i;

  patcher_.ReadWindow(0);
  EXPECT_EQ(patcher_.windowLength, 0);
  for (int i = 0; i < kWindowSize; ++i) ASSERT_EQ(patcher_.window[i], 0) << i;
}

TEST_F(DllPatcherTest, WriteWindowPutsTheWindowAtTheOffset) {
  std::string bytes = DllBytes(64);
  Load(bytes);
  patcher_.SetOffset("8");
  std::memcpy(patcher_.window, "ABCD", 4);
  patcher_.windowLength = 4;
  patcher_.WriteWindow();
  bytes.replace(8, 4, "ABCD");
  EXPECT_EQ(Image(), bytes);

  patcher_.windowLength = 0;
  patcher_.WriteWindow();
  patcher_.windowLength = -3;
  patcher_.WriteWindow();
  EXPECT_EQ(Image(), bytes);
}

// The ranges 0x10..0x1B and 0x14..0x1F overlap: the range at A ends up with
// B's former bytes, the part of B outside A with A's former bytes.
TEST_F(DllPatcherTest, OverlappingSwapLetsTheRangeAtAWin) {
  std::string before = DllBytes(0x40);
  Load(before);
  ASSERT_EQ(patcher_.SwapRanges(12, "10", "14"), 1);
  std::string after = Image();
  EXPECT_EQ(after.substr(0x10, 12), before.substr(0x14, 12));
  EXPECT_EQ(after.substr(0x1C, 4), before.substr(0x18, 4));
  EXPECT_EQ(after.substr(0, 0x10), before.substr(0, 0x10));
  EXPECT_EQ(after.substr(0x20), before.substr(0x20));
}

TEST_F(DllPatcherTest, SwapExchangesDistantRangesAndEqualOffsetsChangeNothing) {
  std::string before = DllBytes(0x1000);
  Load(before);
  ASSERT_EQ(patcher_.SwapRanges(256, "100", "F00"), 1);
  std::string expected = before;
  expected.replace(0x100, 256, before.substr(0xF00, 256));
  expected.replace(0xF00, 256, before.substr(0x100, 256));
  EXPECT_EQ(Image(), expected);

  ASSERT_EQ(patcher_.SwapRanges(20, "0ABC", "ABC"), 1);
  EXPECT_EQ(Image(), expected);
}

// A range that touches the last byte is fine; one more byte is refused.
TEST_F(DllPatcherTest, RangesMayEndExactlyAtTheImageEnd) {
  std::string before = DllBytes(0x100);
  Load(before);
  ASSERT_EQ(patcher_.SwapRanges(16, "0", "F0"), 1);
  EXPECT_EQ(Image().substr(0xF0), before.substr(0, 16));
  EXPECT_EQ(patcher_.SwapRanges(16, "0", "F1"), 0);
  EXPECT_EQ(patcher_.lastError.problem, Problem::kTable);
}

// Every refused exchange changes no byte, reports failure and names the
// offset text and the file.
TEST_F(DllPatcherTest, SwapRefusesTextsLengthsAndRangesOutsideTheImage) {
  std::string before = DllBytes(0x200);
  Load(before);
  struct Case {
    int32_t length;
    const char* a;
    const char* b;
    const char* refused;  // the offset text the reason names
  } cases[] = {
      {12, "", "20", ""},  // missing column
      {12, "20", "", ""},
      {12, "1a", "20", "1a"},  // lower case
      {12, "G0", "20", "G0"},
      {12, "20", "-1", "-1"},
      {12, "20", "1F5", "1F5"},  // crosses the end
      {12, "20", "200", "200"},
      {12, "20", "FFFFFFFF", "FFFFFFFF"},
      {12, "20", "100000010", "100000010"},  // wraps
      {0, "20", "40", "20"},
      {-4, "20", "40", "20"},
      {257, "0", "100", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " " + c.b);
    EXPECT_EQ(patcher_.SwapRanges(c.length, c.a, c.b), 0);
    EXPECT_EQ(Image(), before);
    EXPECT_EQ(patcher_.lastError.problem, Problem::kTable);
    EXPECT_EQ(patcher_.lastError.detail.rfind(std::string("offset \"") + c.refused + "\" of ", 0),
              0u)
        << patcher_.lastError.detail;
  }
}

TEST_F(DllPatcherTest, SwapWithoutAnImageIsRefused) {
  EXPECT_EQ(patcher_.SwapRanges(12, "0", "0"), 0);
  EXPECT_EQ(patcher_.image, nullptr);
}

// The second change starts from the file the first one wrote.
TEST_F(DllPatcherTest, TwoCyclesOnOneFileCompose) {
  std::string original = DllBytes(0x100);
  Load(original);
  patcher_.changeable[kGameDll] = {{0x10, 4}, {0x20, 4}, {0x30, 4}};
  ASSERT_EQ(patcher_.SwapRanges(4, "10", "20"), 1);
  ASSERT_EQ(patcher_.SaveFile(kGameDll), 1);
  ASSERT_EQ(patcher_.LoadFile(kGameDll), 1);
  ASSERT_EQ(patcher_.SwapRanges(4, "20", "30"), 1);
  ASSERT_EQ(patcher_.SaveFile(kGameDll), 1);

  std::string expected = original;
  expected.replace(0x10, 4, original.substr(0x20, 4));
  expected.replace(0x20, 4, original.substr(0x30, 4));
  expected.replace(0x30, 4, original.substr(0x10, 4));
  EXPECT_EQ(ReadFileBytes("game/d2game.dll"), expected);
}

// The object does not trust its caller to write back the file it loaded:
// d2game.dll's image never lands in d2client.dll.
TEST_F(DllPatcherTest, SaveWritesOnlyTheFileTheImageCameFrom) {
  Load(DllBytes(64, 1));
  std::string client = DllBytes(64, 2);
  WriteFileBytes("game/d2client.dll", client);
  EXPECT_EQ(patcher_.SaveFile(kClientDll), 0);
  EXPECT_EQ(patcher_.SaveFile(2), 0);
  EXPECT_EQ(ReadFileBytes("game/d2client.dll"), client);
  EXPECT_EQ(patcher_.lastError.problem, Problem::kNotLoaded);

  DllPatcher fresh;
  fresh.UseFolder("game");
  EXPECT_EQ(fresh.SaveFile(kGameDll), 0);  // nothing loaded yet
  EXPECT_EQ(ReadFileBytes("game/d2client.dll"), client);
}

}  // namespace
