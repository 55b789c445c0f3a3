# Compile-only check that nothing squeezes a handle or pointer into an int.
set(LUMARO_TRIPLE x86_64-w64-mingw32 CACHE STRING "mingw-w64 target triple")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_CROSSCOMPILING_EMULATOR "")
