// The log: one line per message appended to log.txt, opened and closed for
// each message; long messages cut, arguments written as they are, and a log
// that cannot be opened never stops the caller.
#include "patch/logger.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/unit/test_support.h"

namespace {

// Text mode: the line end on disk is CR LF on Windows.
#if defined(_WIN32)
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

using Log = InTempDir;

TEST_F(Log, FirstMessageCreatesTheFileAndLaterOnesAppend) {
  Logger log;
  log.Print("* Couldn't open file %s", "C:\\Games\\d2game.dll");
  EXPECT_EQ(log.stream, nullptr);  // closed again after every message
  EXPECT_EQ(ReadFileBytes("log.txt"), "* Couldn't open file C:\\Games\\d2game.dll" + kLineEnd);

  // A second logger (a second run of the program) appends to the same file.
  Logger nextRun;
  nextRun.Print("* Couldn't read the data\\classes.txt file");
  EXPECT_EQ(ReadFileBytes("log.txt"), "* Couldn't open file C:\\Games\\d2game.dll" + kLineEnd +
                                          "* Couldn't read the data\\classes.txt file" + kLineEnd);
}

TEST_F(Log, AnExistingLogKeepsItsBytesAndGetsTheLineAfterTheLast) {
  WriteFileBytes("log.txt", "older line" + kLineEnd + "no line end");
  Logger log;
  log.Print("%s", "new");
  EXPECT_EQ(ReadFileBytes("log.txt"), "older line" + kLineEnd + "no line endnew" + kLineEnd);
}

TEST_F(Log, ArgumentsAreWrittenAsTheyAre) {
  Logger log;
  log.Print("* Couldn't open file %s", "D:\\100% Diablo\\%s%n\\d2client.dll");
  EXPECT_EQ(ReadFileBytes("log.txt"),
            "* Couldn't open file D:\\100% Diablo\\%s%n\\d2client.dll" + kLineEnd);
}

TEST_F(Log, ALongMessageIsCutTo1023Characters) {
  Logger log;
  std::string path(2000, 'p');
  log.Print("* Couldn't open file %s", path.c_str());
  std::string expected = ("* Couldn't open file " + path).substr(0, 1023) + kLineEnd;
  EXPECT_EQ(ReadFileBytes("log.txt"), expected);

  // Exactly 1023 characters are kept whole.
  std::filesystem::remove("log.txt");
  std::string fits(1023, 'f');
  log.Print("%s", fits.c_str());
  EXPECT_EQ(ReadFileBytes("log.txt"), fits + kLineEnd);
}

TEST_F(Log, NothingIsWrittenForANullFormatOrALogThatCannotBeOpened) {
  Logger log;
  const char* noFormat = nullptr;
  log.Print(noFormat);
  EXPECT_TRUE(ListFolder(".").empty());

  // A folder in the log's place cannot be opened as a file.
  std::filesystem::create_directory("log.txt");
  log.Print("* Couldn't open file %s", "C:\\d2game.dll");
  EXPECT_EQ(log.stream, nullptr);
  EXPECT_TRUE(std::filesystem::is_directory("log.txt"));
  EXPECT_TRUE(std::filesystem::is_empty("log.txt"));

  // Nor can a log in a folder that does not exist; none is made.
  std::snprintf(log.fileName, sizeof log.fileName, "%s", "missing\\log.txt");
  log.Print("%s", "dropped");
  EXPECT_EQ(ListFolder("."), std::vector<std::string>{"log.txt"});

  // The logger still works once its file can be opened.
  std::snprintf(log.fileName, sizeof log.fileName, "%s", "other.txt");
  log.Print("%s", "kept");
  EXPECT_EQ(ReadFileBytes("other.txt"), "kept" + kLineEnd);
}

}  // namespace
