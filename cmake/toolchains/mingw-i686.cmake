# MinGW-w64 i686: the 32-bit program we ship.
set(LAGVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
