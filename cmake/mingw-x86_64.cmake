# Cross build for 64-bit Windows: the tests under Wine use it on machines that
# cannot run 32-bit programs (no 32-bit Wine there); the program itself is
# built for 32-bit Windows.
set(ORVANEL_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
