# Building for the browser with Debian's emscripten: its own toolchain, and
# node to run what CMake's checks compile. Used by scripts/build-web.sh for
# Orvo and for the libraries it builds from source; the folder of those
# libraries is passed in CMAKE_FIND_ROOT_PATH (the "web-*" presets name it).
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/node)
