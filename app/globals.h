// The window program's one patcher (and the logger the core writes through):
// the window procedure and the Swap button work on these.
#ifndef ORVANEL_APP_GLOBALS_H_
#define ORVANEL_APP_GLOBALS_H_

#include "patch/dll_patcher.h"
#include "patch/logger.h"

extern DllPatcher dllPatcher;

#endif  // ORVANEL_APP_GLOBALS_H_
