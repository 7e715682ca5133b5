// The program's two global objects, defined in one place so that they are
// constructed in this order (the patcher may log while it starts) and
// destroyed in the reverse order at exit.
#include "patch/dll_patcher.h"
#include "patch/logger.h"

Logger logger;
DllPatcher dllPatcher;
