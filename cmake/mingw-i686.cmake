# Cross-compiling the 32-bit Windows DLL with MinGW-w64 (i686):
#   cmake -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VELKOR_MINGW_PREFIX i686-w64-mingw32)

# The posix thread model gives the C++ runtime its full threading support;
# its runtime is linked statically like the rest (see windows.cmake).
find_program(VELKOR_MINGW_CXX NAMES ${VELKOR_MINGW_PREFIX}-g++-posix ${VELKOR_MINGW_PREFIX}-g++)
find_program(VELKOR_MINGW_CC NAMES ${VELKOR_MINGW_PREFIX}-gcc-posix ${VELKOR_MINGW_PREFIX}-gcc)
find_program(VELKOR_MINGW_RC NAMES ${VELKOR_MINGW_PREFIX}-windres)
if(NOT VELKOR_MINGW_CXX OR NOT VELKOR_MINGW_CC)
  message(FATAL_ERROR "${VELKOR_MINGW_PREFIX}-g++ not found: install MinGW-w64 (g++-mingw-w64-i686)")
endif()
set(CMAKE_C_COMPILER ${VELKOR_MINGW_CC})
set(CMAKE_CXX_COMPILER ${VELKOR_MINGW_CXX})
if(VELKOR_MINGW_RC)
  set(CMAKE_RC_COMPILER ${VELKOR_MINGW_RC})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${VELKOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
