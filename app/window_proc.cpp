#include "app/window_proc.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "app/combo_boxes.h"
#include "app/controls.h"
#include "app/globals.h"
#include "resources/resource.h"

namespace {

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
    ShowError("D2 .dll folder not set", "D2 .dll");
    return;
  }
  char path[MAX_PATH] = {};
  BOOL hasPath = SHGetPathFromIDListA(item, path);
  CoTaskMemFree(item);
  // A virtual folder (such as "My Computer") has no path to store.
  if (!hasPath || path[0] == '\0') {
    ShowError("D2 .dll folder not set", "D2 .dll");
    return;
  }
  if (!dllPatcher.StoreFolder(path)) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "The folder path is too long: %u characters, at most %d fit.\n"
                  "D2 .dll folder not changed",
                  static_cast<unsigned>(std::strlen(path)), kMaxFolderLength);
    ShowError(text, "D2 .dll");
    return;
  }
  SendMessageA(FolderPathLabel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(dllPatcher.folder));
}

void OnExit(HWND window) {
  PostMessageA(window, WM_DESTROY, 0, 0);
}

void OnAbout() {
  MessageBoxA(MainWindow, "Diablo II Orvanel\nversion 0.01\nby Pellworth", "About",
              MB_OK | MB_ICONINFORMATION);
}

void OnSwap() {
  if (dllPatcher.folder[0] == '\0') {
    ShowError("Diablo II .dll folder not set", "Error");
    return;
  }
  dllPatcher.SwapSkills();
}

// Controls all have id 0, so they are told apart by handle; the notification
// code is not looked at.
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
  }
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control == nullptr) return;
  if (control == FirstClassCombo) {
    RefillSkillCombo(FirstClassCombo, FirstSkillCombo);
  } else if (control == SecondClassCombo) {
    RefillSkillCombo(SecondClassCombo, SecondSkillCombo);
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
