// The PE reader on the demo's stand-in Game.exe, whole and damaged: a damaged
// file has no version, never a wrong one, and no read leaves the bytes (the
// sanitizer build checks each copy, cut to its exact size).
#include "files/pe_version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "demo/demo_exe.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Offsets inside the stand-in, as demo/demo_exe.cpp lays it out.
constexpr size_t kCoffTime = 0x48;
constexpr size_t kResourceDirectoryRva = 0x40 + 24 + 96 + 16;
constexpr size_t kRootIds = 0x200 + 14;
constexpr size_t kNameTarget = 0x200 + 0x18 + 20;
constexpr size_t kSignature = 0x200 + 0x58 + 40;

Bytes Exe() {
  return StandInExe(kDemoExeVersion, kDemoExeBuildTime, kDemoExeHeaderSize);
}

void Put32(Bytes* bytes, size_t at, uint32_t value) {
  for (int b = 0; b < 4; ++b) (*bytes)[at + b] = static_cast<uint8_t>(value >> (8 * b));
}

// Reads a heap copy of exactly bytes.size() bytes.
PeVersion Read(const Bytes& bytes) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  return ReadPeVersion(copy.get(), bytes.size());
}

TEST(PeVersion, TheStandInSaysItsVersionAndBuildDate) {
  PeVersion version = Read(Exe());
  EXPECT_EQ(PeVersionWords("Game.exe", version),
            "Game.exe is file version 1.14.3.71, built 2016-03-18");
}

TEST(PeVersion, ADamagedFileHasNoVersion) {
  struct Row {
    const char* damage;
    std::function<void(Bytes*)> apply;
    bool fileVersion;
    bool buildTime;
  };
  const Row rows[] = {
      {"no MZ", [](Bytes* b) { (*b)[0] = 'X'; }, false, false},
      {"PE header beyond the end", [](Bytes* b) { Put32(b, 0x3C, 0xFFFFFFF0); }, false, false},
      {"resources outside every section", [](Bytes* b) { Put32(b, kResourceDirectoryRva, 0x9000); },
       false, true},
      {"a directory of 65535 entries", [](Bytes* b) { (*b)[kRootIds] = (*b)[kRootIds + 1] = 0xFF; },
       false, true},
      {"a name directory pointing at itself", [](Bytes* b) { Put32(b, kNameTarget, 0x80000018); },
       false, true},
      {"a name entry that is data, not a directory", [](Bytes* b) { Put32(b, kNameTarget, 0x48); },
       false, true},
      {"no VS_FIXEDFILEINFO signature", [](Bytes* b) { Put32(b, kSignature, 0); }, false, true},
      {"a zero time stamp", [](Bytes* b) { Put32(b, kCoffTime, 0); }, true, false},
  };
  for (const Row& row : rows) {
    Bytes bytes = Exe();
    row.apply(&bytes);
    PeVersion version = Read(bytes);
    EXPECT_EQ(version.hasFileVersion, row.fileVersion) << row.damage;
    EXPECT_EQ(version.hasBuildTime, row.buildTime) << row.damage;
  }
}

TEST(PeVersion, EveryCutOfTheFileReadsWithinIt) {
  Bytes whole = Exe();
  for (size_t size = 0; size < whole.size(); ++size) {
    PeVersion version = Read(Bytes(whole.begin(), whole.begin() + size));
    // The version resource ends at 0x200 + 0x58 + 92.
    EXPECT_EQ(version.hasFileVersion, size >= 0x2B4) << size;
  }
}

TEST(PeVersion, WordsNameOnlyWhatTheFileHas) {
  PeVersion version;
  EXPECT_EQ(PeVersionWords("d2game.dll", version), "");
  version.hasBuildTime = true;
  version.buildTime = 951782400;  // a leap day
  EXPECT_EQ(PeVersionWords("d2game.dll", version), "d2game.dll was built 2000-02-29");
  version.hasBuildTime = false;
  version.hasFileVersion = true;
  version.fileVersion[1] = 65535;
  EXPECT_EQ(PeVersionWords("d2game.dll", version), "d2game.dll is file version 0.65535.0.0");
  EXPECT_EQ(BuildDateText(0), "1970-01-01");
  EXPECT_EQ(BuildDateText(0xFFFFFFFF), "2106-02-07");
}

}  // namespace
