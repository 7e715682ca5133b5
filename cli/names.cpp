#include "cli/names.h"

#include <cctype>

#include "io/file_paths.h"
#include "tables/data_files.h"
#include "tables/swap_set.h"

namespace {

bool IsNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// "a, b, c" of the names in list.
std::string NamesOf(RecordList list) {
  std::string names;
  for (RecordNode* node = list; node != nullptr; node = node->next) {
    names += (names.empty() ? "" : ", ") + std::string(node->name);
  }
  return names.empty() ? "none" : names;
}

// An exact name first, then a name equal but for letter case (when only one
// is), then a position.
RecordNode* Find(RecordList list, const std::string& text, bool underscoreIsBlank) {
  RecordNode* named = FindByName(list, text, underscoreIsBlank);
  if (named != nullptr || !IsNumber(text)) return named;
  return AtPosition(list, static_cast<int32_t>(std::stol(text)));
}

}  // namespace

std::string NoSkillsYet(RecordList versions, const ClassRecord& record) {
  if (record.skillLists[0] != nullptr) return "";
  char path[kLineSize];
  std::string table =
      SkillTablePath(versions, record.name, 0, path) ? NativePath(path) : "its tables";
  return "no skills yet: fill " + table + " with offsets (orvanel-cli check says what is missing)";
}

int32_t FindVersion(RecordList versions, const std::string& text, std::string* error) {
  RecordNode* version = Find(versions, text, false);
  int32_t position = version != nullptr ? version->position : -1;
  if (position < 0) *error = "unknown version \"" + text + "\"; versions: " + NamesOf(versions);
  return position;
}

bool FindSkill(RecordList versions, RecordList classes, const std::string& text,
               int32_t* classPosition, int32_t* skillPosition, std::string* error) {
  std::string className;
  std::string skillName;
  if (!SplitClassSkill(text, &className, &skillName)) {
    *error = "expected CLASS:SKILL, found \"" + text + "\"";
    return false;
  }
  // Names as a swap set names them: an underscore stands for a blank.
  auto* record = static_cast<ClassRecord*>(Find(classes, className, true));
  *classPosition = record != nullptr ? record->position : -1;
  if (*classPosition < 0) {
    *error = "unknown class \"" + className + "\"; classes: " + NamesOf(classes);
    return false;
  }
  // The skill boxes show the names of the first version's tables.
  RecordNode* skill = Find(record->skillLists[0], skillName, true);
  *skillPosition = skill != nullptr ? skill->position : -1;
  if (*skillPosition < 0 && record->skillLists[0] == nullptr) {
    *error = std::string(record->name) + " has " + NoSkillsYet(versions, *record);
    return false;
  }
  if (*skillPosition < 0) {
    *error = "unknown skill \"" + skillName + "\" of " + record->name +
             "; its skills: " + NamesOf(record->skillLists[0]);
    return false;
  }
  return true;
}
