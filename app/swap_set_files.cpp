#include "app/swap_set_files.h"

#include <windows.h>
// The common dialogs need the definitions of windows.h first.
#include <commdlg.h>

#include <cstdint>
#include <vector>

#include "app/controls.h"
#include "app/globals.h"
#include "io/save_steps.h"
#include "io/whole_file.h"
#include "sets/set_apply.h"
#include "sets/status.h"
#include "tables/data_files.h"
#include "tables/swap_set.h"

namespace {

const char kFilter[] = "Swap sets (*.set)\0*.set\0Text files (*.txt)\0*.txt\0All files\0*.*\0";

// The standard dialog's choice of a file; false when the user cancels.
bool PickFile(bool save, char path[MAX_PATH]) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = MainWindow;
  dialog.lpstrFilter = kFilter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = "set";
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                 (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  return save ? GetSaveFileNameA(&dialog) != 0 : GetOpenFileNameA(&dialog) != 0;
}

void ShowBox(const std::string& text, const char* caption, bool fine) {
  MessageBoxA(MainWindow, text.c_str(), caption,
              MB_OK | (fine ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

}  // namespace

bool ChangesText(std::string* text) {
  LRESULT version = SendMessageA(VersionCombo, CB_GETCURSEL, 0, 0);
  std::vector<std::string> lines;
  int read = DescribeChanges(dllPatcher, versionList, classList,
                             version < 0 ? 0 : static_cast<int32_t>(version), &lines);
  text->clear();
  for (const std::string& line : lines) *text += line + "\n";
  return read != 0;
}

void OnSaveSwapSet() {
  std::string text;
  if (!ChangesText(&text)) {
    ShowBox(text + "No swap set was saved.", "Save Swap Set", false);
    return;
  }
  char path[MAX_PATH] = "changes.set";
  if (!PickFile(true, path)) return;
  // Lines end in CR LF, as every text file a Windows editor opens.
  std::string onDisk;
  for (char c : text) onDisk += c == '\n' ? std::string("\r\n") : std::string(1, c);
  FileError error = SaveBytes(SaveSteps::System(), reinterpret_cast<const uint8_t*>(onDisk.data()),
                              onDisk.size(), path, true);
  if (error.Failed()) {
    ShowBox(std::string("The swap set was not saved: ") + UserReason(error), "Save Swap Set",
            false);
    return;
  }
  ShowBox(std::string("Swap set saved to ") + path + ":\n" + text, "Save Swap Set", true);
}

void OnApplySwapSet() {
  char path[MAX_PATH] = "";
  if (!PickFile(false, path)) return;
  std::string text;
  FileError unread = ReadSwapSetFile(path, &text);
  if (unread.Failed()) {
    ShowBox("The swap set was not applied: nothing was changed.\n" + UserReason(unread),
            "Apply Swap Set", false);
    return;
  }
  SetApplyOutcome outcome = ApplySwapSet(dllPatcher, versionList, classList, text);
  // The version box shows the version the DLLs now hold.
  if (outcome.done && outcome.version >= 0) {
    SendMessageA(VersionCombo, CB_SETCURSEL, static_cast<WPARAM>(outcome.version), 0);
  }
  ShowBox(outcome.text + outcome.undone, "Apply Swap Set", outcome.done);
}
