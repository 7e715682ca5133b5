#include "tests/e2e/workspace.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/dll_bytes.h"

namespace fs = std::filesystem;

const char* const kClassNames[3] = {"Amazon", "Sorceress", "Empty"};
const char* const kSkillNames[2][2][3] = {
    {{"Magic_Arrow", "Fire_Arrow", "Cold_Arrow"}, {"Magic_Arrow", "Fire_Arrow", "Ice_Arrow"}},
    {{"Fire_Bolt", "Charged_Bolt", "Ice_Bolt"}, {"Fire_Bolt", "Charged_Bolt", "Ice_Bolt"}},
};

namespace {

const uint32_t kAspectBase[3] = {0x100, 0x100, 0x1000};
const uint32_t kAspectLength[3] = {12, 20, 16};

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}

// A table line: seven columns, each offset with one extra character that the
// loader drops.
std::string SkillLine(const char* name, int classIndex, int skillIndex, int version) {
  char line[128];
  std::snprintf(line, sizeof line, "%s %05Xx effects %05Xx graphics %05Xx descs\r\n", name,
                RangeOffset(kEffects, classIndex, skillIndex, version),
                RangeOffset(kGraphics, classIndex, skillIndex, version),
                RangeOffset(kDescriptions, classIndex, skillIndex, version));
  return line;
}

Bytes Pattern(uint32_t size, uint32_t seed) {
  std::string bytes = DllBytes(size, seed);
  return Bytes(bytes.begin(), bytes.end());
}

}  // namespace

uint32_t RangeOffset(Aspect aspect, int classIndex, int skillIndex, int version) {
  return kAspectBase[aspect] + static_cast<uint32_t>(classIndex) * 0x100 +
         static_cast<uint32_t>(skillIndex) * 0x20 + static_cast<uint32_t>(version) * 0x800;
}

uint32_t RangeLength(Aspect aspect) {
  return kAspectLength[aspect];
}

Workspace::Workspace(const std::string& name) : dir_(ProgramFolder() + "\\e2e-work\\" + name) {
  std::error_code error;
  fs::remove_all(dir_, error);
  fs::create_directories(dir_ + "\\data");
}

void Workspace::WriteTables() {
  WriteFile("data\\versions.txt", "// game versions\r\n1.09b\r\n\r\n1.09d_LoD\r\n|\r\n");
  WriteFile("data\\classes.txt",
            "/ classes, in the order the window offers them\r\nAmazon\r\nSorceress the "
            "second\r\nEmpty\r\n |\r\nNever_Read\r\n");
  for (int classIndex = 0; classIndex < 2; ++classIndex) {
    for (int version = 0; version < 2; ++version) {
      std::string table = "// name effects text graphics text descs text\r\n";
      for (int skill = 0; skill < 3; ++skill) {
        table += SkillLine(kSkillNames[classIndex][version][skill], classIndex, skill, version);
      }
      table += "|\r\n";
      WriteFile(std::string("data\\") + kClassNames[classIndex] +
                    (version == 0 ? " 109b.txt" : " 109d.txt"),
                table);
    }
  }
  // Empty has a first-version table without skills and no second table.
  WriteFile("data\\Empty 109b.txt", "|\r\n");
}

void Workspace::WriteConfig() {
  std::string stored = GameDir();
  std::replace(stored.begin(), stored.end(), ' ', '_');
  WriteFile("data\\config.txt", "Folder: " + stored);
}

void Workspace::WriteDlls() {
  fs::create_directories(GameDir());
  Bytes game = GameDllBytes();
  Bytes client = ClientDllBytes();
  WriteFile("game files\\d2game.dll", std::string(game.begin(), game.end()));
  WriteFile("game files\\d2client.dll", std::string(client.begin(), client.end()));
}

void Workspace::WriteAll() {
  WriteTables();
  WriteConfig();
  WriteDlls();
}

void Workspace::WriteFile(const std::string& relative, const std::string& bytes) const {
  std::ofstream file(Path(relative), std::ios::binary | std::ios::trunc);
  file << bytes;
}

bool Workspace::Exists(const std::string& relative) const {
  std::error_code error;
  return fs::exists(Path(relative), error);
}

Bytes Workspace::Read(const std::string& relative) const {
  std::ifstream file(Path(relative), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Workspace::Remove(const std::string& relative) const {
  std::error_code error;
  fs::remove(Path(relative), error);
}

Bytes GameDllBytes() {
  return Pattern(kGameDllSize, 1);
}
Bytes ClientDllBytes() {
  return Pattern(kClientDllSize, 2);
}

void ExchangeRange(Bytes* bytes, Aspect aspect, int firstClass, int firstSkill, int secondClass,
                   int secondSkill, int version) {
  uint32_t a = RangeOffset(aspect, firstClass, firstSkill, version);
  uint32_t b = RangeOffset(aspect, secondClass, secondSkill, version);
  std::swap_ranges(bytes->begin() + a, bytes->begin() + a + RangeLength(aspect),
                   bytes->begin() + b);
}
