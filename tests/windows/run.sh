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

# shellcheck source=wine_checks.sh
. "$here/wine_checks.sh"

group "wine prefix"
wine_begin || finish
check_imports
check_vector_moves
check_unit_suite
check_golden_frames
check_whole_program
# shellcheck source=screensaver_checks.sh
. "$here/screensaver_checks.sh"
check_screensaver
finish
