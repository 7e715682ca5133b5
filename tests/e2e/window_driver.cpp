#include "tests/e2e/window_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kMessageBoxIconId = 0x0440;
constexpr DWORD kPollMs = 20;

std::string Narrow(const wchar_t* text, int length) {
  if (length <= 0) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
  return result;
}

struct FindBox {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindBoxOfProcess(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<FindBox*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (ClassName(window) != "#32770") return TRUE;
  search->found = window;
  return FALSE;
}

// Under Wine a combo's list is a child of the desktop; while dropped down it is
// the only visible one.
BOOL CALLBACK FindVisibleList(HWND window, LPARAM parameter) {
  if (ClassName(window) != "ComboLBox" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(parameter) = window;
  return FALSE;
}

int windowsCreated = 0;

void CALLBACK CountCreatedWindow(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG, DWORD, DWORD) {
  if (object == OBJID_WINDOW) ++windowsCreated;
}

// True when a message was handled.
bool PumpMessages() {
  bool any = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageW(&message);
    any = true;
  }
  return any;
}

HWND FindMainWindow(DWORD processId) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, "Orvanel", nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

// The screen pixels of a window's rectangle.
std::vector<COLORREF> CapturePixels(HWND window, int* width, int* height) {
  RECT rect;
  GetWindowRect(window, &rect);
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, *width, *height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, *width, *height, screen, rect.left, rect.top, SRCCOPY);
  for (int y = 0; y < *height; ++y) {
    for (int x = 0; x < *width; ++x) pixels.push_back(GetPixel(memory, x, y));
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// How many pixels differ between the captured picture and the stock icon
// drawn the way an icon control draws it (top left, on the same background).
int PixelsDifferingFrom(const std::vector<COLORREF>& captured, int width, int height,
                        LPCSTR stockIcon) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  HBRUSH background = CreateSolidBrush(captured.empty() ? 0 : captured[0]);
  RECT all = {0, 0, width, height};
  FillRect(memory, &all, background);
  DeleteObject(background);
  DrawIcon(memory, 0, 0, LoadIconA(nullptr, stockIcon));
  int differing = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (GetPixel(memory, x, y) != captured[static_cast<size_t>(y * width + x)]) ++differing;
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return differing;
}

// The stock icon that the box's icon control shows; the control's icon handle
// belongs to the other process, so its picture is compared instead.
LPCSTR IdentifyIcon(HWND box) {
  HWND iconControl = GetDlgItem(box, kMessageBoxIconId);
  if (iconControl == nullptr || !IsWindowVisible(iconControl)) return nullptr;
  const LPCSTR candidates[] = {IDI_INFORMATION, IDI_EXCLAMATION, IDI_ERROR, IDI_QUESTION};
  for (int attempt = 0; attempt < 50; ++attempt) {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> captured = CapturePixels(iconControl, &width, &height);
    for (LPCSTR candidate : candidates) {
      if (PixelsDifferingFrom(captured, width, height, candidate) == 0) return candidate;
    }
    Sleep(kPollMs);  // not painted yet
  }
  return nullptr;
}

}  // namespace

OrvanelRun::~OrvanelRun() {
  if (hook_ != nullptr) UnhookWinEvent(hook_);
  if (process_.hProcess == nullptr) return;
  if (WaitForExit(0) == kStillRunning) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool OrvanelRun::Start(const std::string& exe, const std::string& folder, std::string* error) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exe + "\"";
  if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, folder.c_str(), &startup, &process_)) {
    *error = "cannot start " + exe + " in " + folder + ": error " + std::to_string(GetLastError());
    return false;
  }
  processId_ = process_.dwProcessId;
  windowsCreated = 0;
  hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, CountCreatedWindow,
                          processId_, 0, WINEVENT_OUTOFCONTEXT);
  ResumeThread(process_.hThread);
  // Idle means the message loop is waiting, so every control exists.
  WaitForInputIdle(process_.hProcess, 10000);
  // The window appears before its controls: wait for the last one, the Swap
  // button, unless the program ends first or shows a box before it.
  for (int attempt = 0; attempt < 500; ++attempt) {
    main_ = FindMainWindow(processId_);
    if (main_ != nullptr && FindWindowExA(main_, nullptr, "Button", "Swap") != nullptr) break;
    if (main_ != nullptr && !NoBoxOpen()) break;
    if (WaitForExit(kPollMs) != kStillRunning) break;
  }
  if (WaitForExit(0) != kStillRunning) main_ = nullptr;
  return true;
}

bool OrvanelRun::Attach(DWORD ms, std::string* error) {
  for (DWORD waited = 0;; waited += kPollMs) {
    HWND window = FindWindowExA(nullptr, nullptr, "Orvanel", nullptr);
    if (window != nullptr && FindWindowExA(window, nullptr, "Button", "Swap") != nullptr) {
      GetWindowThreadProcessId(window, &processId_);
      process_.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE,
                                      FALSE, processId_);
      if (process_.hProcess == nullptr) {
        *error = "cannot follow process " + std::to_string(processId_) + ": error " +
                 std::to_string(GetLastError());
        return false;
      }
      main_ = window;
      return true;
    }
    if (waited >= ms) break;
    Sleep(kPollMs);
  }
  *error = "no Orvanel window appeared within " + std::to_string(ms) + " ms";
  return false;
}

DWORD OrvanelRun::WaitForExit(DWORD ms) {
  // Pumps this thread's messages meanwhile: they carry the window events.
  DWORD until = GetTickCount() + ms;
  for (;;) {
    PumpMessages();
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) break;
    DWORD now = GetTickCount();
    if (static_cast<LONG>(until - now) <= 0) return kStillRunning;
    MsgWaitForMultipleObjects(1, &process_.hProcess, FALSE, until - now, QS_ALLINPUT);
  }
  DWORD code = kStillRunning;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Fields 14 and 15 of /proc/<pid>/stat: user and system time in ticks.
long TicksFromStat(const std::string& stat) {
  size_t end = stat.rfind(')');  // the name may hold blanks
  if (end == std::string::npos) return -1;
  std::istringstream fields(stat.substr(end + 2));
  std::string field;
  long user = -1;
  long system = -1;
  for (int number = 3; fields >> field; ++number) {
    if (number == 14) user = std::atol(field.c_str());
    if (number == 15) {
      system = std::atol(field.c_str());
      break;
    }
  }
  return (user < 0 || system < 0) ? -1 : user + system;
}

}  // namespace

long OrvanelRun::ProcessorTicks(const std::string& folder) {
  // A file of a name no other run uses, put in the working folder, tells
  // this program's process apart from other Orvanel.exe processes.
  const std::string marker = "e2e-run-" + std::to_string(processId_);
  if (!FileExists(folder + "\\" + marker)) std::ofstream(folder + "\\" + marker).put('\n');
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) return -1;
  long ticks = -1;
  do {
    std::string name = entry.cFileName;
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string process = "Z:\\proc\\" + name;
    if (ReadWholeFile(process + "\\cmdline").find("Orvanel.exe") == std::string::npos) continue;
    if (!FileExists(process + "\\cwd\\" + marker)) continue;
    ticks = TicksFromStat(ReadWholeFile(process + "\\stat"));
    break;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return ticks;
}

int OrvanelRun::WindowsCreated() {
  // Events may still be on their way after the program ended.
  for (int quiet = 0; quiet < 5; ++quiet) {
    if (PumpMessages()) quiet = 0;
    Sleep(kPollMs);
  }
  return windowsCreated;
}

bool OrvanelRun::WaitForBox(DWORD ms, BoxInfo* box) {
  for (DWORD waited = 0;; waited += kPollMs) {
    FindBox search = {processId_, nullptr};
    EnumWindows(FindBoxOfProcess, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      box->window = search.found;
      box->caption = WindowText(search.found);
      box->text = WindowText(GetDlgItem(search.found, kMessageBoxTextId));
      box->owner = GetWindow(search.found, GW_OWNER);
      box->icon = IdentifyIcon(search.found);
      return true;
    }
    if (waited >= ms) return false;
    Sleep(kPollMs);
  }
}

bool OrvanelRun::NoBoxOpen() {
  FindBox search = {processId_, nullptr};
  EnumWindows(FindBoxOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found == nullptr;
}

bool OrvanelRun::CloseBox(const BoxInfo& box, int button) {
  PostClick(GetDlgItem(box.window, button));
  for (int attempt = 0; attempt < 250; ++attempt) {
    if (!IsWindow(box.window)) return true;
    Sleep(kPollMs);
  }
  return false;
}

std::string WindowText(HWND window) {
  if (window == nullptr) return {};
  wchar_t text[1024];
  int length = GetWindowTextW(window, text, 1024);
  return Narrow(text, length);
}

std::string ClassName(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

ControlInfo ReadControl(HWND control) {
  ControlInfo info;
  info.className = ClassName(control);
  info.text = WindowText(control);
  info.style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
  GetWindowRect(control, &info.rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&info.rect), 2);
  return info;
}

ComboInfo ReadCombo(HWND combo) {
  ComboInfo info;
  LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                  reinterpret_cast<LPARAM>(&text[0]));
    info.entries.push_back(Narrow(text.c_str(), copied > 0 ? static_cast<int>(copied) : 0));
  }
  info.selection = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  return info;
}

int DroppedHeight(HWND combo) {
  // In screen coordinates. Windows gives the rectangle of the whole dropped
  // combo, Wine that of the list under it; both end at the same bottom.
  RECT dropped = {};
  SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  RECT closed;
  GetWindowRect(combo, &closed);
  return dropped.bottom - closed.top;
}

DWORD ListStyle(HWND combo) {
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  HWND list = nullptr;
  EnumChildWindows(GetDesktopWindow(), FindVisibleList, reinterpret_cast<LPARAM>(&list));
  if (list == nullptr) EnumWindows(FindVisibleList, reinterpret_cast<LPARAM>(&list));
  DWORD style = list == nullptr ? 0 : static_cast<DWORD>(GetWindowLongA(list, GWL_STYLE));
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  return style;
}

int EntryHeight(HWND combo) {
  return static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
}

bool IsChecked(HWND checkBox) {
  return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void PickEntry(HWND combo, int index) {
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

void OpenAndCloseList(HWND combo) {
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
}

void ClickCheckBox(HWND checkBox) {
  SendMessageW(checkBox, BM_CLICK, 0, 0);
}

void PostClick(HWND button) {
  PostMessageW(button, BM_CLICK, 0, 0);
}

void ChooseMenuCommand(HWND main, int commandId) {
  PostMessageW(main, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
}

void ClickCloseBox(HWND main) {
  PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void BringToFront(HWND main) {
  SetForegroundWindow(main);
}

namespace {

void SendKey(WORD virtualKey, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

BOOL CALLBACK FindPicker(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<FindBox*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (FindWindowExA(window, nullptr, "SysTreeView32", nullptr) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

// Memory inside the program that owns a tree view, so that tree view
// messages carrying pointers can be sent to it from here.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_ != nullptr) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Ok() const { return address_ != nullptr; }
  char* Address(size_t offset = 0) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    return WriteProcessMemory(process_, Address(offset), data, size, nullptr) != 0;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(process_, Address(offset), data, size, nullptr) != 0;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

std::string ItemText(HWND tree, const RemoteBuffer& buffer, HTREEITEM item) {
  constexpr size_t kTextOffset = 256;
  constexpr int kTextChars = 512;
  TVITEMW query = {};
  query.mask = TVIF_TEXT | TVIF_HANDLE;
  query.hItem = item;
  query.pszText = reinterpret_cast<LPWSTR>(buffer.Address(kTextOffset));
  query.cchTextMax = kTextChars;
  wchar_t text[kTextChars] = {};
  if (!buffer.Write(0, &query, sizeof query) ||
      !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.Address())) ||
      !buffer.Read(kTextOffset, text, sizeof text - sizeof(wchar_t))) {
    return {};
  }
  return Narrow(text, static_cast<int>(wcslen(text)));
}

HTREEITEM FindChild(HWND tree, const RemoteBuffer& buffer, HTREEITEM parent,
                    const std::string& name) {
  SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
  auto child = reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
  for (; child != nullptr;
       child = reinterpret_cast<HTREEITEM>(
           SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
    if (ItemText(tree, buffer, child) == name) return child;
  }
  return nullptr;
}

}  // namespace

void PressKey(WORD virtualKey) {
  SendKey(virtualKey, 0);
}

void ReleaseKey(WORD virtualKey) {
  SendKey(virtualKey, KEYEVENTF_KEYUP);
}

HWND WaitForFolderPicker(DWORD processId, DWORD ms) {
  for (DWORD waited = 0;; waited += kPollMs) {
    FindBox search = {processId, nullptr};
    EnumWindows(FindPicker, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr || waited >= ms) return search.found;
    Sleep(kPollMs);
  }
}

bool SelectInFolderPicker(HWND picker, const std::vector<std::string>& path) {
  HWND tree = FindWindowExA(picker, nullptr, "SysTreeView32", nullptr);
  RemoteBuffer buffer(tree, 4096);
  if (tree == nullptr || !buffer.Ok()) return false;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  for (const std::string& name : path) {
    item = FindChild(tree, buffer, item, name);
    if (item == nullptr) return false;
  }
  return SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

std::vector<std::string> PickerPathOf(const std::string& windowsPath) {
  std::vector<std::string> items = {"/"};
  size_t start = windowsPath.find('\\') + 1;  // after "Z:"
  while (start < windowsPath.size()) {
    size_t end = windowsPath.find('\\', start);
    if (end == std::string::npos) end = windowsPath.size();
    if (end > start) items.push_back(windowsPath.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

void PrintBoxLines(const BoxInfo& box, const char* prefix) {
  size_t start = 0;
  while (start < box.text.size()) {
    size_t end = box.text.find('\n', start);
    if (end == std::string::npos) end = box.text.size();
    std::printf("%s%s\n", prefix, box.text.substr(start, end - start).c_str());
    start = end + 1;
  }
}
