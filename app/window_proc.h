// The window procedure of MainWindow: menu commands, class changes, the Swap
// button and the Q key.
#ifndef ORVANEL_APP_WINDOW_PROC_H_
#define ORVANEL_APP_WINDOW_PROC_H_

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif  // ORVANEL_APP_WINDOW_PROC_H_
