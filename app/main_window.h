// Start-up and the message loop of the one main window.
#ifndef ORVANEL_APP_MAIN_WINDOW_H_
#define ORVANEL_APP_MAIN_WINDOW_H_

#include <windows.h>

// Registers the window class, creates MainWindow (visible), loads the data
// tables and creates and fills the nineteen controls. Returns 1 on success,
// 0 when the class cannot be registered or the window cannot be created.
// When data\classes.txt cannot be read it ends the process with exit code 0.
int CreateMainWindow(HINSTANCE instance);

// Dispatches messages until WM_QUIT, sleeping while the queue is empty.
void RunMessageLoop();

#endif  // ORVANEL_APP_MAIN_WINDOW_H_
