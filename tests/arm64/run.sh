#!/usr/bin/env bash
# The arm64 build's tests on this x86-64 machine, under qemu-user:
#   run.sh OUT        (OUT = build/arm64, as scripts/build-arm64.sh leaves it)
# - the unit suites through CTest (qemu-aarch64 as the emulator), once with
#   ORVO_SIMD=plain and once with neon;
# - orvo-render's frames at the golden times and over two seconds at 25 fps,
#   on both paths, identical to the native build's;
# - orvo under Xvfb (640 x 480): the scene shows, the song plays into a null
#   sink, Escape ends it with 0.
# Every wait is bounded; the X server and the sound server are ended on the
# way out. Timings under emulation say nothing about an ARM64 machine.
# shellcheck source-path=SCRIPTDIR disable=SC2317 # (functions called through at_exit and wait_until)
set -uo pipefail
build=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
native=$(realpath "$here/../../build/release") # the reference frames
# shellcheck source=../support/harness.sh
. "$here/../support/harness.sh"
harness_begin "arm64 tests"
require_tools qemu-aarch64 Xvfb xdotool import convert pulseaudio pactl

# The loader of the arm64 multiarch libc6 (see cmake/aarch64-linux-gnu.cmake).
qemu=(qemu-aarch64 -L /)
export HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY

# What can't run under qemu-user here: the whole-program tests and source
# checks and the command-line and build-without tests (the native build runs
# them), the tests that start another arm64
# program (no binfmt handler: the render, asset and video programs are
# compared below instead), and one address-space limit qemu does not apply.
not_emulated='^(e2e_|floors$|sdl_includes$|simd_objects$|format$|tidy$|build_without_packages$|command_lines$)'
not_emulated+='|^(RenderProgram|AssetGenerator|Video|VideoForms)\.|SlotAllocationFailure'

check_unit_suites() {
    local path
    for path in plain neon; do
        group "unit suites under qemu, ORVO_SIMD=$path"
        ORVO_SIMD=$path timeout 1200 ctest --test-dir "$build" -j 2 -E "$not_emulated" --timeout 300 \
            --output-on-failure >"$work/ctest-$path.log" 2>&1 || {
            grep -B2 -A30 -E '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception' "$work/ctest-$path.log" | sed -n '1,120p' >&2
            fail "unit suites on $path"
        }
        grep -E 'tests passed|tests failed' "$work/ctest-$path.log" >&2
        # The path tests must have run the neon layer, not skipped it.
        grep -qE 'Layer/SimdPaths\.RotozoomMatchesPlain/neon .*Passed' "$work/ctest-$path.log" ||
            fail "the neon path tests did not run"
    done
}

render() { # out program...
    local out=$1
    shift
    (cd "$native/assets" &&
        timeout 600 "$@" --assets . --out "$out" --times "-5000,0,0,1234,-1,987654,-2147483648" >/dev/null &&
        timeout 600 "$@" --assets . --out "$out/fps" --fps 25 --duration 2 --start 8000 >/dev/null)
}

check_frames() {
    local path n name differ total
    group "frames from the native orvo-render"
    render "$work/frames-native" "$native/tools/render/orvo-render" || { fail "the native orvo-render failed"; return; }
    for path in plain neon; do
        group "orvo-render under qemu, ORVO_SIMD=$path: the native build's frames"
        ORVO_SIMD=$path render "$work/frames-$path" "${qemu[@]}" "$build/tools/render/orvo-render" ||
            { fail "the arm64 orvo-render failed on $path"; continue; }
        differ=0 total=0
        for n in "$work/frames-native"/frame-*.png "$work/frames-native"/fps/frame-*.png; do
            total=$((total + 1))
            name=${n#"$work/frames-native"/}
            [ "$(frame_rgb "$n")" = "$(frame_rgb "$work/frames-$path/$name")" ] ||
                { differ=$((differ + 1)) && echo "differs: $name" >&2; }
        done
        [ "$total" -eq 57 ] || fail "expected 57 frames, got $total"
        [ "$differ" -eq 0 ] && echo "$total frames identical to the native build's" >&2
        [ "$differ" -eq 0 ] || fail "$differ of $total frames differ from the native build's on $path"
    done
}

song_playing() { [ -n "$(pactl list sink-inputs short 2>/dev/null)" ]; }

check_live_demo() {
    group "orvo under qemu on Xvfb: the scene and the song, Escape ends it"
    start_x 640x480x24 || return
    start_pulse || return
    run_dir=$work/demo
    mkdir -p "$run_dir" && cp "$build"/assets/{02.jpg,02a.jpg,king.jpg,s.s3m} "$run_dir/"
    orvo_command=("${qemu[@]}" "$build/src/driver/orvo")
    start_orvo
    check_scene arm64-demo 120 || { show_demo_stderr; return; }
    while_alive=$orvo_pid every=0.5 wait_until 30 song_playing || fail "no song reaches the sound server"
    press_escape_and_expect_zero 60 || show_demo_stderr
}

check_unit_suites
check_frames
check_live_demo
finish
