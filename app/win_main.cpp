// Entry point of Orvanel.exe. The logger and the DllPatcher (which has read
// data\config.txt) are constructed before this runs.
#include <windows.h>

#include "app/main_window.h"
#include "tables/data_files.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Without a window no quit message would ever come: end at once.
  if (!CreateMainWindow(instance)) return 0;
  RunMessageLoop();
  FreeDataTables();
  return 1;
}
