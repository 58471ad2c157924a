# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads),
# running the results under wine. Used by scripts/build-windows.sh for Orvo
# and for the libraries it builds from source. The folder of those libraries
# is passed in CMAKE_FIND_ROOT_PATH (the "windows" preset names it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVO_MINGW}-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${ORVO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only Windows' own DLLs at run time: the C++ runtime and winpthreads are
# linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs are listed when CTest runs (under wine), not at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
# Debian's wine 8 has no preloader: its loader sits at 0x7d000000 and the
# kernel starts the heap at random up to 1 GB above it, now and then over
# 0x7ffe0000, where wine must map Windows' shared user data ("failed to map
# the shared user data", about one start in a thousand). Without address
# randomization the heap follows the loader and stays clear of it.
find_program(ORVO_WINE NAMES wine64 wine)
find_program(ORVO_SETARCH setarch)
if(ORVO_WINE AND ORVO_SETARCH)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVO_SETARCH} x86_64 -R ${ORVO_WINE})
endif()
