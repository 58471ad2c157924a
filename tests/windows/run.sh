#!/usr/bin/env bash
# The Windows build's tests under wine, on this machine:
#   run.sh OUT        (OUT = build/windows, as scripts/build-windows.sh leaves it)
# - the executables import Windows' own DLLs only and hold no aligned
#   256/512-bit moves;
# - the unit suite through CTest, wine as the emulator, on every SIMD path
#   the processor has;
# - orvo-render.exe writes the same frames as the Linux build's orvo-render;
# - orvo.exe under Xvfb (640 x 480): the scene shows and the song is heard,
#   Escape ends it with 0, a broken king.jpg and a screen with no usable
#   mode give one line and 1, a 16-bit screen runs the RGB565 converter, and
#   with no sound server the demo runs silently.
# wine runs in a private, temporary prefix; every wait is bounded; the X
# server, the sound server and wineserver are ended on the way out.
# shellcheck source-path=SCRIPTDIR disable=SC2317 # (functions called through at_exit and wait_until)
set -uo pipefail
out=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
build=$out/build
host=$(realpath "$here/../../build/release")  # the Linux build, for the frame comparison
# shellcheck source=../support/harness.sh
. "$here/../support/harness.sh"
harness_begin "Windows tests"

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" HOME=$work/home
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
# Without address randomization, as the unit tests run (see
# cmake/mingw-w64.cmake): wine 8 fails to start now and then otherwise.
wine=(setarch x86_64 -R "$(command -v wine64 || command -v wine)")

# shellcheck source=wine_checks.sh
. "$here/wine_checks.sh"
at_exit end_wine

group "wine prefix"
start_wineserver || finish
timeout 180 "${wine[@]}" wineboot -i >/dev/null 2>&1 || { fail "wineboot"; finish; }
check_imports
check_vector_moves
check_unit_suite
check_golden_frames
check_whole_program
# shellcheck source=screensaver_checks.sh
. "$here/screensaver_checks.sh"
check_screensaver
finish
