#include "app/controls.h"

HWND MainWindow = nullptr;

HWND FolderCaptionLabel = nullptr;
HWND FolderPathLabel = nullptr;
HWND VersionLabel = nullptr;
HWND VersionCombo = nullptr;
HWND FirstClassLabel = nullptr;
HWND FirstClassCombo = nullptr;
HWND FirstSkillLabel = nullptr;
HWND FirstSkillCombo = nullptr;
HWND SecondClassLabel = nullptr;
HWND SecondClassCombo = nullptr;
HWND SecondSkillLabel = nullptr;
HWND SecondSkillCombo = nullptr;
HWND EffectsLabel = nullptr;
HWND EffectsCheckBox = nullptr;
HWND GraphicsLabel = nullptr;
HWND GraphicsCheckBox = nullptr;
HWND DescsLabel = nullptr;
HWND DescsCheckBox = nullptr;
HWND SwapButton = nullptr;
HWND StatusLabel = nullptr;
