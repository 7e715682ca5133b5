// The main window, its nineteen child controls and the status line. CreateMainWindow sets each
// handle once; the window procedure and the exchange only read them.
#ifndef ORVANEL_APP_CONTROLS_H_
#define ORVANEL_APP_CONTROLS_H_

#include <windows.h>

extern HWND MainWindow;

extern HWND FolderCaptionLabel;
extern HWND FolderPathLabel;
extern HWND VersionLabel;
extern HWND VersionCombo;
extern HWND FirstClassLabel;
extern HWND FirstClassCombo;
extern HWND FirstSkillLabel;
extern HWND FirstSkillCombo;
extern HWND SecondClassLabel;
extern HWND SecondClassCombo;
extern HWND SecondSkillLabel;
extern HWND SecondSkillCombo;
extern HWND EffectsLabel;
extern HWND EffectsCheckBox;
extern HWND GraphicsLabel;
extern HWND GraphicsCheckBox;
extern HWND DescsLabel;
extern HWND DescsCheckBox;
extern HWND SwapButton;
// Not one of the nineteen: made after them, so that they keep their order.
extern HWND StatusLabel;

#endif  // ORVANEL_APP_CONTROLS_H_
