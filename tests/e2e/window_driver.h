// Drives a running Orvanel.exe from outside, as a user would, through the
// real windowing system (under Wine in the tests): start it in a working
// folder, read its controls, pick entries, press buttons, read and close its
// message boxes, and wait for its exit code.
#ifndef ORVANEL_TESTS_E2E_WINDOW_DRIVER_H_
#define ORVANEL_TESTS_E2E_WINDOW_DRIVER_H_

#include <windows.h>

#include <string>
#include <vector>

// What a control shows, read from outside its process.
struct ControlInfo {
  std::string className;
  std::string text;
  DWORD style = 0;
  RECT rect = {};  // in the client coordinates of its parent
};

struct ComboInfo {
  std::vector<std::string> entries;
  int selection = -1;
};

// What a message box shows. icon is the stock icon its picture matches
// (IDI_INFORMATION, IDI_EXCLAMATION, ...), or null when it matches none.
struct BoxInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  HWND owner = nullptr;
  LPCSTR icon = nullptr;
};

// Prints each line of a box's text on stdout, after prefix.
void PrintBoxLines(const BoxInfo& box, const char* prefix);

constexpr DWORD kStillRunning = STILL_ACTIVE;

class OrvanelRun {
 public:
  OrvanelRun() = default;
  ~OrvanelRun();
  OrvanelRun(const OrvanelRun&) = delete;
  OrvanelRun& operator=(const OrvanelRun&) = delete;

  // Starts exe with folder as its current directory and waits until it is
  // idle. False (with the reason in error) when it cannot be started.
  bool Start(const std::string& exe, const std::string& folder, std::string* error);
  // Follows an Orvanel.exe that another program started (a batch file, say):
  // waits up to ms for a main window with all its controls. False (with the
  // reason in error) when none appears.
  bool Attach(DWORD ms, std::string* error);
  // The main window once all its controls exist; null if the program ended.
  HWND MainWindow() const { return main_; }
  // The exit code, or kStillRunning when it has not ended within ms.
  DWORD WaitForExit(DWORD ms);
  DWORD ProcessId() const { return processId_; }
  // How many windows the program created, its helper windows and those of
  // the system included (counted from window events).
  int WindowsCreated();
  // Processor time (user and system) the program has used so far, in clock
  // ticks of its Unix process, or -1 when it cannot be found. Read from
  // /proc, which Wine shows as Z:\proc: Wine does not report the times of
  // another process through GetProcessTimes. folder is the program's working
  // folder; a marker file put there tells its process apart from others.
  long ProcessorTicks(const std::string& folder);

  // A visible top-level message box of the program, waiting up to ms.
  bool WaitForBox(DWORD ms, BoxInfo* box);
  // No message box of the program is open right now.
  bool NoBoxOpen();
  // Presses the box's OK button (or another, such as IDYES) and waits until
  // the box is gone.
  bool CloseBox(const BoxInfo& box, int button = IDOK);

 private:
  PROCESS_INFORMATION process_ = {};
  DWORD processId_ = 0;
  HWND main_ = nullptr;
  HWINEVENTHOOK hook_ = nullptr;
};

std::string WindowText(HWND window);
std::string ClassName(HWND window);
// The children of parent in their order among siblings (creation order).
std::vector<HWND> Children(HWND parent);
ControlInfo ReadControl(HWND control);
ComboInfo ReadCombo(HWND combo);
// The combo's height with its list dropped down. The system may shorten the
// height given at creation to a whole number of entries.
int DroppedHeight(HWND combo);
int EntryHeight(HWND combo);
// The style of a combo box's list, read while it is dropped down (so the
// combo notifies its parent). A combo box hands WS_VSCROLL and
// CBS_DISABLENOSCROLL on to its list, where they take effect.
DWORD ListStyle(HWND combo);
bool IsChecked(HWND checkBox);

// As the user does it: the selection changes, then the combo tells its parent.
void PickEntry(HWND combo, int index);
// Opens and closes the combo's list without changing the selection.
void OpenAndCloseList(HWND combo);
// Clicks a check box (it toggles itself).
void ClickCheckBox(HWND checkBox);
// Clicks a button that may open a modal box: queued, so the caller is not
// blocked by the box.
void PostClick(HWND button);
// Chooses a menu command of the main window.
void ChooseMenuCommand(HWND main, int commandId);
// Clicks the close box of the main window.
void ClickCloseBox(HWND main);
// Makes the main window the foreground window, then presses or releases a
// key on the (virtual) keyboard.
void BringToFront(HWND main);
void PressKey(WORD virtualKey);
void ReleaseKey(WORD virtualKey);

// The open folder picker ("Browse for Folder") of a program, waiting up to ms.
HWND WaitForFolderPicker(DWORD processId, DWORD ms);
// Selects, in the picker's tree, the item reached from the root through the
// items named by path (e.g. {"My Computer"} or {"/", "work", "game"}),
// expanding each on the way. False when an item is missing.
bool SelectInFolderPicker(HWND picker, const std::vector<std::string>& path);
// The items to select for a Windows path on drive Z:, which Wine shows as the
// Unix root "/".
std::vector<std::string> PickerPathOf(const std::string& windowsPath);

#endif  // ORVANEL_TESTS_E2E_WINDOW_DRIVER_H_
