#include "app/status_line.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/controls.h"
#include "app/globals.h"
#include "exchange/window_status.h"
#include "tables/data_files.h"

namespace {

uint32_t loadedStamp = 0;

int32_t Selected(HWND combo) {
  return static_cast<int32_t>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

}  // namespace

void RememberLoadedTables() {
  loadedStamp = TablesStamp(versionList, classList);
}

void ShowStatus() {
  if (StatusLabel == nullptr) return;
  WindowSelection selection;
  selection.version = Selected(VersionCombo);
  selection.firstClass = Selected(FirstClassCombo);
  selection.secondClass = Selected(SecondClassCombo);
  WindowFacts facts = ReadWindowFacts(dllPatcher, versionList, classList, loadedStamp);
  std::string line = StatusLine(versionList, classList, selection, facts);
  SetWindowTextA(StatusLabel, line.c_str());
}

bool TablesStillAsLoaded() {
  if (TablesStamp(versionList, classList) == loadedStamp) return true;
  MessageBoxA(MainWindow,
              "The tables in data\\ changed since Orvanel started, so Orvanel would work on "
              "the old ones: nothing was changed.\nClose Orvanel and start it again.",
              "Orvanel", MB_OK | MB_ICONEXCLAMATION);
  ShowStatus();
  return false;
}
