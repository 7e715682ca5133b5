// LoadSkillTable on arbitrary bytes, for both version positions: the records
// must match the simple reading of the seven columns, fields must stay within
// their widths, and the other version position must stay empty.
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

void CheckSkill(const SkillRecord& skill, int version, const ReferenceSkill& expected) {
  FUZZ_CHECK(skill.name == expected.name);
  CheckField(skill.effectsOffset[version], expected.columns[0]);
  CheckField(skill.effectsText[version], expected.columns[1]);
  CheckField(skill.graphicsOffset[version], expected.columns[2]);
  CheckField(skill.graphicsText[version], expected.columns[3]);
  CheckField(skill.descriptionsOffset[version], expected.columns[4]);
  CheckField(skill.descriptionsText[version], expected.columns[5]);
  int other = 1 - version;
  for (const char* field : {skill.effectsOffset[other], skill.effectsText[other],
                            skill.graphicsOffset[other], skill.graphicsText[other],
                            skill.descriptionsOffset[other], skill.descriptionsText[other]}) {
    FUZZ_CHECK(field[0] == '\0');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterEmptyScratchFolder();
  WriteScratchFile("data/Fuzz 109b.txt", data, size);
  std::vector<ReferenceSkill> expected =
      ReferenceSkillTable(std::string(reinterpret_cast<const char*>(data), size));

  for (int version = 0; version < kVersionCount; ++version) {
    RecordList skills = LoadSkillTable("data\\Fuzz 109b.txt", version);
    size_t index = 0;
    for (RecordNode* node = skills; node != nullptr; node = node->next, ++index) {
      FUZZ_CHECK(index < expected.size());
      FUZZ_CHECK(node->position == static_cast<int32_t>(index));
      CheckSkill(*static_cast<SkillRecord*>(node), version, expected[index]);
    }
    FUZZ_CHECK(index == expected.size());
    FreeList<SkillRecord>(&skills);
  }
  FUZZ_CHECK(LoadSkillTable("data\\Fuzz 109b.txt", kVersionCount) == nullptr);
  FUZZ_CHECK(LoadSkillTable("data\\Fuzz 109b.txt", -1) == nullptr);
  return 0;
}
