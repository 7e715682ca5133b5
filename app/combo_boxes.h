// Moving record names into combo boxes. Each returns 1.
#ifndef ORVANEL_APP_COMBO_BOXES_H_
#define ORVANEL_APP_COMBO_BOXES_H_

#include <windows.h>

#include "tables/record_list.h"

// Appends the name of every record of list, in list order; an empty list adds
// nothing. Neither empties the combo nor changes its selection.
int FillComboFromList(HWND combo, RecordList list);
// Removes every entry, however many there are.
int ClearCombo(HWND combo);
// Shows the skills (version position 0 table) of the class selected in
// classCombo and selects the first; with no class selected the skill combo is
// left empty.
int RefillSkillCombo(HWND classCombo, HWND skillCombo);

#endif  // ORVANEL_APP_COMBO_BOXES_H_
