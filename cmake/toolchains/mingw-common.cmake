set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LAGVANE_MINGW_TRIPLE})

# The posix thread model, so that std::thread and friends are available.
set(CMAKE_C_COMPILER   ${LAGVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LAGVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${LAGVANE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LAGVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs and tests run under Wine, in a private prefix and display of this build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-exec;${CMAKE_BINARY_DIR}/wine")
