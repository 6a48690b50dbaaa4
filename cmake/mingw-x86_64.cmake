# Cross-compiles the Windows program for x86-64 with MinGW-w64 (posix threads);
# the built .exe files (tests included) run here through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Debian installs the 64-bit loader as /usr/lib/wine/wine64 and puts only the
# "wine" launcher on PATH; either runs a 64-bit .exe.
find_program(TARQUEL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TARQUEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARQUEL_WINE})
endif()
