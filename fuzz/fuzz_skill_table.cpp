// LoadSkillTable on arbitrary bytes: the records must match the simple
// reading of the seven columns, and fields must stay within their widths.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference_tables.h"
#include "tables/data_files.h"

namespace {

template <size_t Width>
void CheckField(const char (&field)[Width], const std::string& expected) {
  FUZZ_CHECK(std::memchr(field, '\0', Width) != nullptr);
  FUZZ_CHECK(field == expected);
}

void CheckSkill(const SkillRecord& skill, const ReferenceSkill& expected) {
  FUZZ_CHECK(skill.name == expected.name);
  CheckField(skill.effectsOffset, expected.columns[0]);
  CheckField(skill.effectsText, expected.columns[1]);
  CheckField(skill.graphicsOffset, expected.columns[2]);
  CheckField(skill.graphicsText, expected.columns[3]);
  CheckField(skill.descriptionsOffset, expected.columns[4]);
  CheckField(skill.descriptionsText, expected.columns[5]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterEmptyScratchFolder();
  WriteScratchFile("data/Fuzz 109b.txt", data, size);
  std::vector<ReferenceSkill> expected =
      ReferenceSkillTable(std::string(reinterpret_cast<const char*>(data), size));

  RecordList skills = LoadSkillTable("data\\Fuzz 109b.txt");
  size_t index = 0;
  for (RecordNode* node = skills; node != nullptr; node = node->next, ++index) {
    FUZZ_CHECK(index < expected.size());
    FUZZ_CHECK(node->position == static_cast<int32_t>(index));
    CheckSkill(*static_cast<SkillRecord*>(node), expected[index]);
  }
  FUZZ_CHECK(index == expected.size());
  FreeList<SkillRecord>(&skills);
  return 0;
}
