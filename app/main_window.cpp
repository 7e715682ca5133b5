#include "app/main_window.h"

#include <cstdio>
#include <cstdlib>

#include "app/combo_boxes.h"
#include "app/controls.h"
#include "app/globals.h"
#include "app/status_line.h"
#include "app/window_proc.h"
#include "config/game_files.h"
#include "files/fingerprint.h"
#include "resources/resource.h"
#include "tables/data_files.h"

namespace {

const char kClassName[] = "Orvanel";
const char kWindowTitle[] = "Orvanel";

constexpr DWORD kMainWindowStyle =
    WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
constexpr int kMainWindowX = 200;
constexpr int kMainWindowY = 200;
constexpr int kMainWindowWidth = 600;
constexpr int kMainWindowHeight = 400;

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kComboStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DISABLENOSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kCheckBoxStyle = WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX;
constexpr DWORD kPushButtonStyle = WS_CHILD | WS_VISIBLE;

struct ControlLayout {
  const char* className;
  const char* text;
  DWORD style;
  int x, y, width, height;
};

HINSTANCE programInstance = nullptr;

// Every control has id 0: the window procedure tells them apart by handle.
HWND CreateControl(const ControlLayout& layout) {
  return CreateWindowExA(0, layout.className, layout.text, layout.style, layout.x, layout.y,
                         layout.width, layout.height, MainWindow, nullptr, programInstance,
                         nullptr);
}

HWND CreateLabel(const char* text, int x, int y, int width, int height) {
  return CreateControl({"Static", text, kLabelStyle, x, y, width, height});
}

HWND CreateCombo(int x, int y, int width, int droppedHeight) {
  return CreateControl({"ComboBox", nullptr, kComboStyle, x, y, width, droppedHeight});
}

HWND CreateCheckBox(int x, int y) {
  return CreateControl({"Button", nullptr, kCheckBoxStyle, x, y, 20, 20});
}

int RegisterMainWindowClass() {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = programInstance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kClassName;
  windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  return RegisterClassExA(&windowClass) != 0;
}

void CreateFolderRow() {
  FolderCaptionLabel = CreateLabel(".dll Folder", 20, 20, 80, 20);
  FolderPathLabel = CreateLabel(dllPatcher.folder, 110, 20, 500, 50);
}

void CreateVersionRow() {
  VersionLabel = CreateLabel("Version", 20, 80, 60, 20);
  VersionCombo = CreateCombo(90, 80, 100, 100);
  FillComboFromList(VersionCombo, versionList);
  // The version the DLLs' fingerprints name, when exactly one does.
  int32_t detected = DetectVersion(
      versionList,
      UntouchedFingerprints(NamedFilePaths(dllPatcher, versionList), versionList, classList));
  SendMessageA(VersionCombo, CB_SETCURSEL, detected > 0 ? detected : 0, 0);
}

void CreateFirstSide() {
  FirstClassLabel = CreateLabel("Class 1", 20, 110, 60, 20);
  FirstClassCombo = CreateCombo(90, 110, 200, 100);
  FillComboFromList(FirstClassCombo, classList);
  SendMessageA(FirstClassCombo, CB_SETCURSEL, 0, 0);

  FirstSkillLabel = CreateLabel("Skill 1", 20, 140, 60, 20);
  FirstSkillCombo = CreateCombo(90, 140, 200, 100);
  RefillSkillCombo(FirstClassCombo, FirstSkillCombo);
}

void CreateSecondSide() {
  SecondClassLabel = CreateLabel("Class 2", 300, 110, 60, 20);
  SecondClassCombo = CreateCombo(370, 110, 200, 100);
  FillComboFromList(SecondClassCombo, classList);
  SendMessageA(SecondClassCombo, CB_SETCURSEL, 0, 0);

  SecondSkillLabel = CreateLabel("Skill 2", 300, 140, 60, 20);
  SecondSkillCombo = CreateCombo(370, 140, 200, 100);
  RefillSkillCombo(SecondClassCombo, SecondSkillCombo);
}

void CreateAspectsAndSwapButton() {
  EffectsLabel = CreateLabel("Swap Effects?", 20, 170, 120, 20);
  EffectsCheckBox = CreateCheckBox(130, 170);
  GraphicsLabel = CreateLabel("Swap Graphics?", 20, 200, 120, 20);
  GraphicsCheckBox = CreateCheckBox(130, 200);
  DescsLabel = CreateLabel("Swap Descs?", 20, 230, 100, 20);
  DescsCheckBox = CreateCheckBox(130, 230);
  SwapButton = CreateControl({"Button", "Swap", kPushButtonStyle, 270, 250, 60, 40});
}

// In the empty bottom of the window, wide and tall enough for three lines.
void CreateStatusLine() {
  StatusLabel = CreateLabel("", 20, 298, 560, 48);
  ShowStatus();
}

// Started from another folder (a shortcut without "Start in"), the program
// finds no tables: say where it looked and how to start it, instead of
// vanishing. LoadClasses has logged the file.
void SayWhereTheTablesWereSought() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  char text[MAX_PATH + 400];
  std::snprintf(text, sizeof text,
                "Orvanel could not read data\\classes.txt in the folder it was started in:\n%s\n"
                "Start Orvanel from its own folder, the one that holds Orvanel.exe and data\\ "
                "(for a shortcut, set its \"Start in\" to that folder).",
                folder);
  MessageBoxA(MainWindow, text, "Orvanel", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

int CreateMainWindow(HINSTANCE instance) {
  programInstance = instance;
  if (!RegisterMainWindowClass()) return 0;

  HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAIN_MENU));
  MainWindow =
      CreateWindowExA(0, kClassName, kWindowTitle, kMainWindowStyle, kMainWindowX, kMainWindowY,
                      kMainWindowWidth, kMainWindowHeight, nullptr, menu, instance, nullptr);
  if (MainWindow == nullptr) return 0;

  // The versions name the skill tables of every version after the first two.
  versionList = LoadVersions("data\\versions.txt");
  // Without the classes there is nothing to offer; LoadClasses has logged why.
  if (!LoadClasses(versionList)) {
    SayWhereTheTablesWereSought();
    std::exit(0);
  }
  RememberLoadedTables();

  CreateFolderRow();
  CreateVersionRow();
  CreateFirstSide();
  CreateSecondSide();
  CreateAspectsAndSwapButton();
  CreateStatusLine();
  return 1;
}

void RunMessageLoop() {
  MSG message;
  for (;;) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      // Sleep until something arrives instead of polling a processor away.
      WaitMessage();
      continue;
    }
    if (message.message == WM_QUIT) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}
