#include "tests/unit/test_support.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "patch/logger.h"

Logger logger;

namespace fs = std::filesystem;

namespace {

// Tests leave read-only files behind on purpose (and a killed run leaves
// anything); make everything writable so that the folder can go.
void RemoveFolder(const fs::path& dir) {
  std::error_code ignored;
  if (!fs::exists(dir, ignored)) return;
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (const auto& entry : fs::recursive_directory_iterator(dir, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(dir, ignored);
}

}  // namespace

void InTempDir::SetUp() {
  previous_ = fs::current_path();
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  // One folder per test and per run: several test runs may share /tmp.
  static const std::string run = std::to_string(std::random_device{}());
  std::string name =
      std::string("orvanel-") + run + "-" + info->test_suite_name() + "-" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  dir_ = fs::temp_directory_path() / name;
  RemoveFolder(dir_);
  fs::create_directories(dir_);
  fs::current_path(dir_);
}

void InTempDir::TearDown() {
  fs::current_path(previous_);
  RemoveFolder(dir_);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  fs::path p(path);
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}
