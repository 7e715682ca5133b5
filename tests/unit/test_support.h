// Helpers shared by the unit tests: a fresh working folder per test, and
// small file utilities. The program works relative to the current directory
// (data\, log.txt), so every test runs in its own empty one.
#ifndef ORVANEL_TESTS_UNIT_TEST_SUPPORT_H_
#define ORVANEL_TESTS_UNIT_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// Makes an empty folder, enters it for the test and removes it afterwards.
class InTempDir : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path dir_;
  std::filesystem::path previous_;
};

// Writes bytes exactly as given (binary mode), creating parent folders.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
// The names of the files in a folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

#endif  // ORVANEL_TESTS_UNIT_TEST_SUPPORT_H_
