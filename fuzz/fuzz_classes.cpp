// LoadClasses with the skill tables of its classes. One input holds several
// files: first data\classes.txt, then any number of sections, each starting
// with a line "\n@@ <file name>" and holding that file of data\. Every class
// must match the simple reading of classes.txt, and each of its two skill
// lists the simple reading of the table file its name leads to (or be empty
// when there is none).
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference_tables.h"
#include "io/file_paths.h"
#include "tables/data_files.h"

namespace {

const char kSectionMark[] = "\n@@ ";

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

// Writes classes.txt and every section of the input into data/.
void WriteFiles(const std::string& input) {
  size_t end = input.find(kSectionMark);
  std::string classes = input.substr(0, end);
  WriteScratchFile("data/classes.txt", classes.data(), classes.size());
  while (end != std::string::npos) {
    size_t nameStart = end + sizeof kSectionMark - 1;
    size_t nameEnd = input.find('\n', nameStart);
    if (nameEnd == std::string::npos) return;
    std::string name = input.substr(nameStart, nameEnd - nameStart);
    end = input.find(kSectionMark, nameEnd);
    std::string content =
        input.substr(nameEnd + 1, end == std::string::npos ? end : end - nameEnd - 1);
    if (IsPlainFileName(name) && name != "classes.txt") {
      WriteScratchFile("data/" + name, content.data(), content.size());
    }
  }
}

// What the class's table of one version should hold: the simple reading of
// whichever file its path names, nothing when the path does not fit or
// climbs out of the data folder.
std::vector<ReferenceSkill> ExpectedSkills(const std::string& className, const char* suffix) {
  std::string path = "data\\" + className + suffix;
  if (path.size() >= 256 || className.find("..\\") != std::string::npos ||
      className.find("../") != std::string::npos) {
    return {};
  }
  return ReferenceSkillTable(ReadWholeFile(NativePath(path.c_str())));
}

void CheckSkills(RecordList skills, const std::vector<ReferenceSkill>& expected) {
  size_t index = 0;
  for (RecordNode* node = skills; node != nullptr; node = node->next, ++index) {
    FUZZ_CHECK(index < expected.size());
    auto* skill = static_cast<SkillRecord*>(node);
    FUZZ_CHECK(skill->position == static_cast<int32_t>(index));
    FUZZ_CHECK(skill->name == expected[index].name);
    FUZZ_CHECK(skill->effectsOffset == expected[index].columns[0]);
    FUZZ_CHECK(skill->graphicsOffset == expected[index].columns[2]);
    FUZZ_CHECK(skill->descriptionsOffset == expected[index].columns[4]);
    FUZZ_CHECK(skill->descriptionsText == expected[index].columns[5]);
  }
  FUZZ_CHECK(index == expected.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterEmptyScratchFolder();
  std::string input(reinterpret_cast<const char*>(data), size);
  WriteFiles(input);

  FUZZ_CHECK(LoadClasses() == 1);
  std::vector<std::string> lines = ReferenceRecordLines(ReadWholeFile("data/classes.txt"));
  size_t index = 0;
  for (RecordNode* node = classList; node != nullptr; node = node->next, ++index) {
    FUZZ_CHECK(index < lines.size());
    auto* record = static_cast<ClassRecord*>(node);
    std::string name = Cut(ReferenceTokens(lines[index])[0], 256);
    FUZZ_CHECK(record->position == static_cast<int32_t>(index));
    FUZZ_CHECK(record->name == name);
    CheckSkills(record->skillLists[0], ExpectedSkills(name, " 109b.txt"));
    CheckSkills(record->skillLists[1], ExpectedSkills(name, " 109d.txt"));
  }
  FUZZ_CHECK(index == lines.size());
  FreeDataTables();
  FUZZ_CHECK(classList == nullptr);
  return 0;
}
