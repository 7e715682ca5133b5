// The bundled demo: its tables load whole, with nothing skipped or
// malformed, and the generated stand-in DLLs and Game.exe hold every skill's
// labelled ranges at the tables' offsets, inside the files and never
// overlapping.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "demo/demo_dlls.h"
#include "demo/demo_exe.h"
#include "files/fingerprint.h"
#include "patch/dll_patcher.h"
#include "tables/data_files.h"
#include "tests/unit/test_support.h"

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const Strings kClasses = {"Amazon",    "Sorceress", "Necromancer", "Paladin",
                          "Barbarian", "Druid",     "Assassin"};
const char* const kSuffixes[kDemoVersions] = {" 109b.txt", " 109d.txt", " 114d.txt"};

// The data lines of a table read without the program's loader: comment and
// empty lines left out, up to the end marker, each split into its columns.
std::vector<Strings> RawDataLines(const std::string& path, bool* hasEndMarker) {
  std::ifstream in(path, std::ios::binary);
  std::vector<Strings> lines;
  *hasEndMarker = false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '/') continue;
    Strings columns;
    std::string column;
    for (std::istringstream words(line); words >> column;) columns.push_back(column);
    if (columns.size() == 1 && columns[0] == "|") {
      *hasEndMarker = true;
      break;
    }
    lines.push_back(columns);
  }
  return lines;
}

Strings Names(RecordNode* head) {
  Strings names;
  for (RecordNode* node = head; node != nullptr; node = node->next) names.push_back(node->name);
  return names;
}

// Each test works on its own copy of the demo's data folder.
class DemoData : public InTempDir {
 protected:
  void SetUp() override {
    InTempDir::SetUp();
    fs::copy(ORVANEL_DEMO_DATA, "data", fs::copy_options::recursive);
  }
  void TearDown() override {
    FreeDataTables();
    InTempDir::TearDown();
  }
};

TEST_F(DemoData, EveryTableIsWellFormedAndLoadsWhole) {
  bool marker = false;
  std::vector<Strings> versionLines = RawDataLines("data/versions.txt", &marker);
  ASSERT_EQ(versionLines.size(), 3u);
  EXPECT_EQ(versionLines[0][0], "1.09b");
  EXPECT_EQ(versionLines[1][0], "1.09d");
  EXPECT_EQ(versionLines[2][0], "1.14d");
  EXPECT_TRUE(marker);
  std::vector<Strings> classLines = RawDataLines("data/classes.txt", &marker);
  EXPECT_TRUE(marker);
  ASSERT_EQ(classLines.size(), kClasses.size());
  for (size_t c = 0; c < kClasses.size(); ++c) EXPECT_EQ(classLines[c], Strings{kClasses[c]});

  // Seven columns per skill: offsets of five upper-case hex digits and the
  // character the loader drops; text columns within their fields.
  const std::regex offset("[0-9A-F]{5}[^ ]");
  const size_t textWidths[3] = {11, 19, 15};
  for (const std::string& name : kClasses) {
    for (const char* suffix : kSuffixes) {
      std::string path = "data/" + name + suffix;
      SCOPED_TRACE(path);
      std::vector<Strings> lines = RawDataLines(path, &marker);
      EXPECT_TRUE(marker);
      EXPECT_GE(lines.size(), 4u);
      for (const Strings& columns : lines) {
        ASSERT_EQ(columns.size(), 7u) << columns[0];
        for (int aspect = 0; aspect < 3; ++aspect) {
          EXPECT_TRUE(std::regex_match(columns[1 + 2 * aspect], offset)) << columns[0];
          EXPECT_LE(columns[2 + 2 * aspect].size(), textWidths[aspect]) << columns[0];
        }
      }
    }
  }

  versionList = LoadVersions("data\\versions.txt");
  EXPECT_EQ(Names(versionList), (Strings{"1.09b", "1.09d", "1.14d"}));

  ASSERT_EQ(LoadClasses(versionList), 1);
  ASSERT_EQ(Names(classList), kClasses);
  for (RecordNode* node = classList; node != nullptr; node = node->next) {
    ClassRecord* record = static_cast<ClassRecord*>(node);
    SCOPED_TRACE(record->name);
    // The window shows the 109b names and takes the other versions' records
    // at the same position, so all tables list the same skills in one order.
    ASSERT_EQ(record->skillLists.size(), static_cast<size_t>(kDemoVersions));
    for (int v = 0; v < kDemoVersions; ++v) {
      EXPECT_EQ(Names(record->skillLists[v]), Names(record->skillLists[0]));
      EXPECT_EQ(Names(record->skillLists[v]).size(),
                RawDataLines("data/" + std::string(record->name) + kSuffixes[v], &marker).size());
      for (RecordNode* s = record->skillLists[v]; s != nullptr; s = s->next) {
        SkillRecord* skill = static_cast<SkillRecord*>(s);
        EXPECT_EQ(std::strlen(skill->effectsOffset), 5u) << skill->name;
        EXPECT_EQ(std::strlen(skill->graphicsOffset), 5u) << skill->name;
        EXPECT_EQ(std::strlen(skill->descriptionsOffset), 5u) << skill->name;
        EXPECT_STRNE(skill->effectsText, "") << skill->name;
        EXPECT_STRNE(skill->graphicsText, "") << skill->name;
        EXPECT_STRNE(skill->descriptionsText, "") << skill->name;
      }
    }
  }
  EXPECT_FALSE(fs::exists("log.txt"));
}

struct Range {
  uint32_t offset;
  std::string label;
};

// A generated file, where its ranges may start, and the ranges it holds.
struct DemoFile {
  std::string bytes;
  uint32_t headerSize;
  std::vector<Range> ranges;
};

TEST_F(DemoData, GeneratedFilesHoldEachSkillsLabelsAtItsOffsets) {
  // 1.09b declares exactly these DLLs, 1.09d other ones, 1.14d this Game.exe.
  versionList = LoadVersions("data\\versions.txt");
  ASSERT_EQ(LoadClasses(versionList), 1);
  std::string error;
  ASSERT_EQ(WriteDemoDlls(classList, ".", &error), 1) << error;
  ASSERT_EQ(WriteDemoExe(classList, ".", &error), 1) << error;
  DllPatcher patcher;
  patcher.UseFolder(".");
  std::vector<FileFingerprint> found = UntouchedFingerprints(
      {patcher.dllPaths[kGameDll], patcher.dllPaths[kClientDll]}, versionList, classList);
  EXPECT_EQ(DetectVersion(versionList, found), 0);
  EXPECT_FALSE(MatchesAll(*static_cast<VersionRecord*>(versionList->next), found));
  DemoFile game{ReadFileBytes("d2game.dll"), kDemoHeaderSize, {}};
  DemoFile client{ReadFileBytes("d2client.dll"), kDemoHeaderSize, {}};
  DemoFile exe{ReadFileBytes("Game.exe"), kDemoExeHeaderSize, {}};
  ASSERT_EQ(game.bytes.size(), kDemoDllSize);
  ASSERT_EQ(client.bytes.size(), kDemoDllSize);
  ASSERT_EQ(exe.bytes.size(), kDemoExeSize);
  const VersionRecord& oneFile = *static_cast<VersionRecord*>(versionList->next->next);
  ASSERT_EQ(oneFile.files.count, 1);
  EXPECT_EQ(oneFile.files.names[0], "Game.exe");
  EXPECT_EQ(oneFile.fingerprints[0].size, exe.bytes.size());
  EXPECT_EQ(oneFile.fingerprints[0].crc, crc32(0, reinterpret_cast<const Bytef*>(exe.bytes.data()),
                                               static_cast<uInt>(exe.bytes.size())));
  // One known range in full, as a hex viewer shows it.
  EXPECT_EQ(game.bytes.substr(0x21000, 12), "Eb:Magic Arr");
  EXPECT_EQ(client.bytes.substr(0x74800 + 0x40, 20), "Gd:Fire Arrow.......");
  EXPECT_EQ(exe.bytes.substr(0xC0000, 16), "Dx:Magic Arrow..");

  size_t skills = 0;
  for (RecordNode* node = classList; node != nullptr; node = node->next) {
    ClassRecord* record = static_cast<ClassRecord*>(node);
    for (int v = 0; v < kDemoVersions; ++v) {
      // The one-file version keeps all three aspects in Game.exe.
      DemoFile* effects = v == kDemoExeVersionPosition ? &exe : &game;
      DemoFile* others = v == kDemoExeVersionPosition ? &exe : &client;
      for (RecordNode* s = record->skillLists[v]; s != nullptr; s = s->next) {
        SkillRecord* skill = static_cast<SkillRecord*>(s);
        uint32_t at = 0;
        HexToNumber(&at, skill->effectsOffset);
        effects->ranges.push_back({at, DemoLabel('E', v, skill->name, 12)});
        HexToNumber(&at, skill->graphicsOffset);
        others->ranges.push_back({at, DemoLabel('G', v, skill->name, 20)});
        HexToNumber(&at, skill->descriptionsOffset);
        others->ranges.push_back({at, DemoLabel('D', v, skill->name, 16)});
        ++skills;
      }
    }
  }
  EXPECT_GE(skills, 3 * 7 * 4u);

  // Every range holds its label, and every byte outside the header and the
  // ranges is background: so no two ranges overlap and none leaves the file.
  for (const DemoFile* file : {&game, &client, &exe}) {
    const std::string& bytes = file->bytes;
    std::vector<bool> inRange(bytes.size(), false);
    for (const Range& range : file->ranges) {
      ASSERT_GE(range.offset, file->headerSize);
      ASSERT_LE(range.offset + range.label.size(), bytes.size());
      EXPECT_EQ(bytes.substr(range.offset, range.label.size()), range.label);
      for (size_t i = 0; i < range.label.size(); ++i) {
        EXPECT_FALSE(inRange[range.offset + i]) << range.label << " overlaps another range";
        inRange[range.offset + i] = true;
      }
    }
    EXPECT_EQ(bytes.compare(0, 2, "MZ"), 0);
    size_t strayBytes = 0;
    for (size_t i = file->headerSize; i < bytes.size(); ++i) {
      if (!inRange[i] && static_cast<uint8_t>(bytes[i]) != kDemoBackground) ++strayBytes;
    }
    EXPECT_EQ(strayBytes, 0u);
  }
}

TEST_F(DemoData, TheGeneratorRefusesRangesThatOverlapOrLeaveTheFile) {
  WriteFileBytes("data/classes.txt", "Druid\n|\n");
  WriteFileBytes("data/Druid 109b.txt", "Raven 21000h fx 31000h gfx 41000h desc\n|\n");
  // Its effects range starts inside the 109b one, 12 bytes long.
  WriteFileBytes("data/Druid 109d.txt", "Raven 2100Bh fx 71000h gfx 81000h desc\n|\n");
  ASSERT_EQ(LoadClasses(), 1);
  std::string error;
  EXPECT_EQ(WriteDemoDlls(classList, ".", &error), 0);
  EXPECT_NE(error.find("overlaps"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists("d2game.dll"));
  FreeDataTables();

  // The last 16 bytes of the file would fit, one further byte does not.
  WriteFileBytes("data/Druid 109d.txt", "Raven 21010h fx 71000h gfx FFFF1h desc\n|\n");
  ASSERT_EQ(LoadClasses(), 1);
  EXPECT_EQ(WriteDemoDlls(classList, ".", &error), 0);
  EXPECT_NE(error.find("outside"), std::string::npos) << error;
  FreeDataTables();

  WriteFileBytes("data/Druid 109d.txt", "Raven 21010h fx 71000h gfx FFFF0h desc\n|\n");
  ASSERT_EQ(LoadClasses(), 1);
  EXPECT_EQ(WriteDemoDlls(classList, ".", &error), 1) << error;
}

}  // namespace
