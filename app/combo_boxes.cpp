#include "app/combo_boxes.h"

#include "tables/data_files.h"

int FillComboFromList(HWND combo, RecordList list) {
  for (RecordNode* node = list; node != nullptr; node = node->next) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(node->name));
  }
  return 1;
}

int ClearCombo(HWND combo) {
  // Deleting a fixed number of entries would leave stale skills behind in a
  // longer box, and picking one would exchange a skill other than the one
  // shown. Delete until the box reports there is nothing left.
  while (SendMessageA(combo, CB_DELETESTRING, 0, 0) != CB_ERR) {
  }
  return 1;
}

int RefillSkillCombo(HWND classCombo, HWND skillCombo) {
  LRESULT selected = SendMessageA(classCombo, CB_GETCURSEL, 0, 0);
  auto* classRecord =
      static_cast<ClassRecord*>(AtPosition(classList, static_cast<int32_t>(selected)));
  ClearCombo(skillCombo);
  if (classRecord == nullptr) return 1;
  // The names always come from the first version's table; the exchange takes
  // the record at the same position from the selected version's table.
  FillComboFromList(skillCombo, classRecord->skillLists[0]);
  SendMessageA(skillCombo, CB_SETCURSEL, 0, 0);
  return 1;
}
