// The window program's two global objects, defined in one place so that they
// are constructed in this order (the patcher may log while it starts) and
// destroyed in the reverse order at exit. Other programs that link the core
// make their own.
#include "app/globals.h"

Logger logger;
DllPatcher dllPatcher;
