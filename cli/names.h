// Turns what the user typed into list positions: a version, class or skill is
// named as the window shows it (letter case aside) or given by its 0-based
// position. Skill names may be typed with _ for blanks.
#ifndef ORVANEL_CLI_NAMES_H_
#define ORVANEL_CLI_NAMES_H_

#include <cstdint>
#include <string>

#include "tables/data_files.h"
#include "tables/record_list.h"

// "" when the skill boxes show skills for record; else "no skills yet: fill
// <its first table> ..." with what to do.
std::string NoSkillsYet(RecordList versions, const ClassRecord& record);

// The position of the matching record; -1 (and why in error) when none does.
int32_t FindVersion(RecordList versions, const std::string& text, std::string* error);

// "CLASS:SKILL": the class in classes and the skill among the names the
// window shows for it (its first table's). False, and why in error, when
// either is unknown.
bool FindSkill(RecordList versions, RecordList classes, const std::string& text,
               int32_t* classPosition, int32_t* skillPosition, std::string* error);

#endif  // ORVANEL_CLI_NAMES_H_
