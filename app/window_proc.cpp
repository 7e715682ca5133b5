#include "app/window_proc.h"

#include <shlobj.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/combo_boxes.h"
#include "app/controls.h"
#include "app/globals.h"
#include "app/status_line.h"
#include "app/swap_set_files.h"
#include "exchange/restore.h"
#include "resources/resource.h"
#include "tables/data_files.h"

namespace {

// The folder picker closed without a folder.
const char kFolderPickCancelled[] = "D2 .dll folder not set";

constexpr int kQKey = 'Q';
constexpr SHORT kKeyIsDown = static_cast<SHORT>(0x8000);

void ShowError(const char* text, const char* caption) {
  MessageBoxA(MainWindow, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

void OnKeyDown(HWND window) {
  // Any key pressed while Q is held ends the program at once.
  if (GetAsyncKeyState(kQKey) & kKeyIsDown) PostMessageA(window, WM_QUIT, 0, 0);
}

void OnSetFolder() {
  BROWSEINFOA browseInfo = {};
  browseInfo.lpszTitle = "Enter The Source Path";
  LPITEMIDLIST item = SHBrowseForFolderA(&browseInfo);
  if (item == nullptr) {
    ShowError(kFolderPickCancelled, "D2 .dll");
    return;
  }
  // The wide path tells whether the system code page can name the folder:
  // the narrow one would have '?' in place of what it cannot hold.
  wchar_t widePath[MAX_PATH] = {};
  char path[MAX_PATH] = {};
  BOOL hasPath = SHGetPathFromIDListW(item, widePath);
  CoTaskMemFree(item);
  // A virtual folder (such as "My Computer") has no path to store.
  if (!hasPath || widePath[0] == L'\0') {
    ShowError(kFolderPickCancelled, "D2 .dll");
    return;
  }
  BOOL lossy = FALSE;
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, widePath, -1, path, sizeof path, nullptr,
                          &lossy) == 0 ||
      lossy) {
    char text[MAX_PATH + 200];
    std::snprintf(text, sizeof text,
                  "The folder's name has characters this system's code page cannot hold, so "
                  "Orvanel cannot open it: %s\n"
                  "Move or rename the game folder to a name in plain letters.\n"
                  "D2 .dll folder not changed",
                  path);
    ShowError(text, "D2 .dll");
    return;
  }
  bool kept = false;
  if (!dllPatcher.StoreFolder(path, &kept)) {
    char text[320];
    if (std::strlen(path) > static_cast<size_t>(kMaxFolderLength)) {
      std::snprintf(text, sizeof text,
                    "The folder path is too long: %u characters, at most %d fit.\n"
                    "D2 .dll folder not changed",
                    static_cast<unsigned>(std::strlen(path)), kMaxFolderLength);
    } else {
      std::string reason = UserReason(FolderProblem(path));
      reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
      std::snprintf(text, sizeof text, "%s.\nD2 .dll folder not changed", reason.c_str());
    }
    ShowError(text, "D2 .dll");
    return;
  }
  SendMessageA(FolderPathLabel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(dllPatcher.folder));
  ShowStatus();
  if (!kept) {
    std::string text =
        "The folder holds for this run only: data\\config.txt could not be "
        "written (" +
        UserReason(dllPatcher.lastError) + "), so the next start will not know it.";
    ShowError(text.c_str(), "D2 .dll");
  }
}

bool FolderIsSet() {
  if (HasGameFolder(dllPatcher)) return true;
  ShowError(kFolderNotSet, "Error");
  return false;
}

void OnShowChanges() {
  if (!FolderIsSet()) return;
  std::string text;
  ChangesText(&text);
  MessageBoxA(MainWindow, text.c_str(), "Changes", MB_OK | MB_ICONINFORMATION);
}

void OnRestore() {
  if (!FolderIsSet() || !TablesStillAsLoaded()) return;
  if (MessageBoxA(MainWindow,
                  "Put d2game.dll and d2client.dll back as they were before Orvanel first "
                  "changed them?\nEvery exchange made since is undone; the backups stay.",
                  "Restore Original DLLs", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  RestoreReport report = RestoreBoth(dllPatcher, versionList, classList);
  std::string text = report.text + report.undone;
  if (report.restored == 0 && report.failed == 0) text += "Nothing to restore.\n";
  MessageBoxA(MainWindow, text.c_str(), "Restore Original DLLs",
              MB_OK | (report.failed == 0 ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
  ShowStatus();
}

void OnExit(HWND window) {
  PostMessageA(window, WM_DESTROY, 0, 0);
}

void OnAbout() {
  MessageBoxA(MainWindow, "Diablo II Orvanel\nversion 0.01\nby Pellworth", "About",
              MB_OK | MB_ICONINFORMATION);
}

void OnSwap() {
  if (!HasGameFolder(dllPatcher)) {
    ShowError(kFolderNotSet, "Error");
    return;
  }
  if (!TablesStillAsLoaded()) return;
  dllPatcher.SwapSkills();
  ShowStatus();
}

// Controls all have id 0, so they are told apart by handle; the notification
// code is looked at only for the status line.
void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDM_SET_FOLDER:
      OnSetFolder();
      return;
    case IDM_EXIT:
      OnExit(window);
      return;
    case IDM_ABOUT:
      OnAbout();
      return;
    case IDM_SHOW_CHANGES:
      OnShowChanges();
      return;
    case IDM_RESTORE:
      OnRestore();
      return;
    case IDM_SAVE_SET:
      if (FolderIsSet()) OnSaveSwapSet();
      return;
    case IDM_APPLY_SET:
      if (FolderIsSet() && TablesStillAsLoaded()) {
        OnApplySwapSet();
        ShowStatus();
      }
      return;
  }
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control == nullptr) return;
  // The status line reads the DLLs: only a new choice is worth that.
  bool changed = HIWORD(wParam) == CBN_SELCHANGE;
  if (control == FirstClassCombo) {
    RefillSkillCombo(FirstClassCombo, FirstSkillCombo);
    if (changed) ShowStatus();
  } else if (control == SecondClassCombo) {
    RefillSkillCombo(SecondClassCombo, SecondSkillCombo);
    if (changed) ShowStatus();
  } else if (control == VersionCombo && changed) {
    ShowStatus();
  } else if (control == SwapButton) {
    OnSwap();
  }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      return 0;
    case WM_PAINT:
      ValidateRect(window, nullptr);
      return 0;
    case WM_KEYDOWN:
      OnKeyDown(window);
      return 0;
    case WM_KEYUP:
      return 0;
    case WM_COMMAND:
      OnCommand(window, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
