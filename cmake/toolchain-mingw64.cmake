# Cross build of the Windows screensaver module with mingw-w64. The -posix compilers are required:
# the win32 thread model of GCC 12 has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# libjpeg-turbo and giflib built for mingw-w64 by scripts/setup.
if(NOT HALCYRA_MINGW_DEPS)
  if(DEFINED ENV{HALCYRA_CACHE})
    set(HALCYRA_MINGW_DEPS "$ENV{HALCYRA_CACHE}/mingw-deps")
  else()
    set(HALCYRA_MINGW_DEPS "$ENV{HOME}/.cache/halcyra/mingw-deps")
  endif()
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HALCYRA_MINGW_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${HALCYRA_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine; scripts/test provides the display, the prefix and the wineserver.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
