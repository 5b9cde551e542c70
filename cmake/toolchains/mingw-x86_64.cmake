# MinGW-w64 x86_64: the same sources as a 64-bit twin, which runs under wine64 on every machine.
set(LAGVANE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
