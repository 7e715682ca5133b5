// Entry point of Orvanel.exe. The logger and the DllPatcher (which has read
// data\config.txt) are constructed before this runs.
#include <windows.h>

#include <string>

#include "app/controls.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/status_line.h"
#include "change/transaction.h"
#include "config/game_files.h"
#include "tables/data_files.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Without a window no quit message would ever come: end at once.
  if (!CreateMainWindow(instance)) return 0;
  // A change that a crash stopped half way is undone before anything else.
  std::string recovery;
  // Over the folder's own files: a journal names only files of a change of two.
  UseFilesOf(dllPatcher, versionList, -1);
  int recovered = RecoverGameFolder(dllPatcher, versionList, classList, &recovery);
  if (!recovery.empty()) {
    MessageBoxA(MainWindow, recovery.c_str(), "Orvanel",
                MB_OK | (recovered ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    ShowStatus();
  }
  RunMessageLoop();
  FreeDataTables();
  return 1;
}
