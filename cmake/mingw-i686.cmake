# Cross build for 32-bit Windows, the program's own platform.
set(ORVANEL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
