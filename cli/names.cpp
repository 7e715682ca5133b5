#include "cli/names.h"

#include <cctype>
#include <vector>

#include "tables/data_files.h"

namespace {

std::string Folded(const std::string& text, bool underscoreIsBlank) {
  std::string folded;
  for (char c : text) {
    if (underscoreIsBlank && c == '_') c = ' ';
    folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return folded;
}

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
int32_t Find(RecordList list, const std::string& text, bool underscoreIsBlank) {
  std::vector<int32_t> alike;
  for (RecordNode* node = list; node != nullptr; node = node->next) {
    if (text == node->name) return node->position;
    if (Folded(text, underscoreIsBlank) == Folded(node->name, false)) {
      alike.push_back(node->position);
    }
  }
  if (alike.size() == 1) return alike[0];
  if (IsNumber(text)) {
    int32_t position = static_cast<int32_t>(std::stol(text));
    if (AtPosition(list, position) != nullptr) return position;
  }
  return -1;
}

}  // namespace

int32_t FindVersion(RecordList versions, const std::string& text, std::string* error) {
  int32_t position = Find(versions, text, false);
  if (position < 0) *error = "unknown version \"" + text + "\"; versions: " + NamesOf(versions);
  return position;
}

bool FindSkill(RecordList classes, const std::string& text, int32_t* classPosition,
               int32_t* skillPosition, std::string* error) {
  size_t colon = text.find(':');
  if (colon == std::string::npos) {
    *error = "expected CLASS:SKILL, found \"" + text + "\"";
    return false;
  }
  std::string className = text.substr(0, colon);
  std::string skillName = text.substr(colon + 1);
  *classPosition = Find(classes, className, false);
  if (*classPosition < 0) {
    *error = "unknown class \"" + className + "\"; classes: " + NamesOf(classes);
    return false;
  }
  auto* record = static_cast<ClassRecord*>(AtPosition(classes, *classPosition));
  // The skill boxes show the names of the first version's tables.
  *skillPosition = Find(record->skillLists[0], skillName, true);
  if (*skillPosition < 0) {
    *error = "unknown skill \"" + skillName + "\" of " + record->name +
             "; its skills: " + NamesOf(record->skillLists[0]);
    return false;
  }
  return true;
}
