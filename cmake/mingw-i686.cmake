# Cross build for 32-bit Windows with the posix-thread mingw-w64 compilers;
# test executables run under Wine through the crosscompiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(LUMARO_TRIPLE i686-w64-mingw32 CACHE STRING "mingw-w64 target triple")
set(CMAKE_C_COMPILER   ${LUMARO_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMARO_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${LUMARO_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LUMARO_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
