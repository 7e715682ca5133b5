// The window side of the exchange: read the controls, let the patching core
// do the work, show the text it returns.
#include <windows.h>

#include <string>

#include "app/controls.h"
#include "exchange/exchange.h"
#include "patch/dll_patcher.h"
#include "tables/record_list.h"

namespace {

int32_t SelectedIndex(HWND combo) {
  return static_cast<int32_t>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

bool IsTicked(HWND checkBox) {
  return SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Every control is read before any file is touched.
SkillSelection ReadSelection() {
  SkillSelection selection;
  selection.version = SelectedIndex(VersionCombo);
  selection.firstClass = SelectedIndex(FirstClassCombo);
  selection.secondClass = SelectedIndex(SecondClassCombo);
  selection.firstSkill = SelectedIndex(FirstSkillCombo);
  selection.secondSkill = SelectedIndex(SecondSkillCombo);
  // The check boxes in the order of the aspects.
  HWND boxes[kAspectCount] = {EffectsCheckBox, GraphicsCheckBox, DescsCheckBox};
  for (int a = 0; a < kAspectCount; ++a) selection.ticked[a] = IsTicked(boxes[a]);
  return selection;
}

}  // namespace

void DllPatcher::SwapSkills() {
  SkillSelection selection = ReadSelection();
  // The text grows with the reasons it gives; it is never cut.
  std::string result;
  ExchangeSkills(*this, versionList, classList, selection, &result);
  MessageBoxA(MainWindow, result.c_str(), "Swapped!", MB_OK | MB_ICONINFORMATION);
}
