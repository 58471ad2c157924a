# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads),
# running the results under wine. Used by scripts/build-windows.sh for Orvo
# and for the libraries it builds from source.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVO_MINGW}-windres)

# The libraries that scripts/build-windows.sh builds from Debian's sources.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVO_MINGW} ${CMAKE_CURRENT_LIST_DIR}/../build/windows/deps/prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Only Windows' own DLLs at run time: the C++ runtime and winpthreads are
# linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs are listed when CTest runs (under wine), not at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
find_program(ORVO_WINE NAMES wine64 wine)
if(ORVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVO_WINE})
endif()
