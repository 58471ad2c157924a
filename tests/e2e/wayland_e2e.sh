#!/usr/bin/env bash
# Whole-program tests of orvo under Wayland compositors.
#
#   wayland_e2e.sh CASE ORVO ASSET_DIR [ORVO_RENDER]
#
# CASE is one of:
#   weston-gl      weston nested in Xvfb (its X11 backend) with its GL
#   weston-pixman  renderer, or with pixman: the scene in a screenshot of
#                  weston's output; another client taking the focus stops
#                  the drawing and its end gives the focus back and resumes
#                  it; Escape, typed into weston's window, ends the demo with
#                  exit code 0
#   weston-scale2  a 16:9 weston output at scale 2 (1280 x 720 pixels, 640 x
#                  360 logical): the picture fills the output's height at its
#                  full resolution, black bars either side; its static title
#                  plate matches ORVO_RENDER's frame scaled to the output's
#                  pixels, not that frame scaled to the logical size and blown
#                  up twice
#   weston-no-seat weston's headless backend offers no seat: one line on
#                  stderr, exit code 1 (SDL 2.26 would crash there)
#   mutter         GNOME's mutter, headless: the demo runs 5 s with nothing
#                  on stderr; SIGTERM ends it with exit code 0
#   kwin           KDE's kwin_wayland, virtual backend: the same as mutter;
#                  skipped (exit 77) with the reason where kwin can't run
#   cpu-weston-gl, cpu-weston-pixman, cpu-mutter, cpu-kwin
#                  not a test: the demo's CPU time over 10 s under that
#                  compositor, as a share of one core (docs/performance.md)
# The demo is started as a user's session starts it: DISPLAY unset,
# WAYLAND_DISPLAY naming the compositor, XDG_RUNTIME_DIR where its socket
# is, nothing else of ours. Every wait is bounded; every process started here
# is ended.
# shellcheck disable=SC2317 # the checks are called through wait_until
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"

case_name=$1
orvo=$(realpath "$2")
assets=$3
orvo_render=${4:-}

case "$case_name" in
*weston*) require_tools Xvfb xdotool xdpyinfo import weston wayland-info ;;
*mutter) require_tools mutter dbus-run-session setsid wayland-info ;;
*kwin) require_tools kwin_wayland dbus-run-session setsid wayland-info ;;
esac

demo_case_begin "wayland $case_name" "$case_name" "$orvo"

[ -x "$orvo" ] || fail "no program at $orvo"
for f in 02.jpg 02a.jpg king.jpg s.s3m; do
    [ -f "$assets/$f" ] || fail "no $f in $assets (the asset generator writes them at build time)"
    cp "$assets/$f" "$work/"
done

# The environment every compositor and client here shares: no X display
# (weston's nested one is given to weston alone), no session bus of the
# caller's, a runtime folder of the test's own.
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER SDL_RENDER_DRIVER SDL_AUDIODRIVER DBUS_SESSION_BUS_ADDRESS
runtime=$work/runtime
mkdir -m 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
socket="orvo-test"

# --- Compositors

# True when the compositor at $socket lists its globals (kept in $work/globals).
compositor_answers() {
    [ -S "$runtime/$socket" ] && WAYLAND_DISPLAY=$socket timeout 5 wayland-info >"$work/globals" 2>/dev/null
}

# weston with the given options after its socket and a panel-less shell
# (the panel's clock would change the screen while the demo is still).
start_weston() { # option...
    printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
    start_server 30 compositor_answers weston --socket="$socket" --config="$work/weston.ini" --idle-time=0 "$@"
}

# weston nested in a new Xvfb, its X window its one output; sets
# weston_window and gives it the X input focus.
start_nested_weston() { # renderer-option|"" scale width height
    local scale=$2 width=$3 height=$4
    start_x "$((width * scale))x$((height * scale))x24"
    start_weston --backend=x11-backend.so --width="$width" --height="$height" --scale="$scale" ${1:+"$1"}
    weston_window=$(sed -n 's/.*x11 output .*, window id \([0-9]*\).*/\1/p' "$work/weston.log" | sed -n 1p)
    [ -n "$weston_window" ] || fail "weston did not name its X window"
    # Long before any key: weston reads the keys already down when the focus
    # arrives as held, not typed.
    xdotool windowfocus --sync "$weston_window" || fail "weston's window can't take the focus"
}

# A compositor that needs a session bus (mutter, kwin), with a bus of its
# own, in a session and process group of its own that at_exit ends.
start_with_session_bus() { # command...
    start_server 30 compositor_answers setsid dbus-run-session -- "$@"
    compositor_group=$server_pid
    at_exit stop_compositor_group
}

stop_compositor_group() {
    kill -TERM -- "-$compositor_group" 2>/dev/null
    every=0.1 wait_until 5 gone "$compositor_group" || kill -KILL -- "-$compositor_group" 2>/dev/null
}

# Debian gives kwin_wayland a file capability (cap_sys_resource); where that
# can't be granted (a container's bounding set), exec fails. A copy carries
# no capability and runs the same. Sets kwin, or skips.
find_kwin() {
    kwin=$(command -v kwin_wayland)
    "$kwin" --version >/dev/null 2>&1 && return 0
    cp "$kwin" "$work/kwin_wayland" || { echo "skipped: kwin_wayland can't be run or copied"; exit 77; }
    kwin=$work/kwin_wayland
    "$kwin" --version >/dev/null 2>&1 || { echo "skipped: kwin_wayland does not run here"; exit 77; }
    echo "kwin_wayland's file capability can't be granted here: running a copy without it"
}

# --- The demo

start_orvo() {
    (cd "$work" && exec env -u DISPLAY WAYLAND_DISPLAY="$socket" "$orvo") >"$work/stdout" 2>"$work/stderr" &
    orvo_pid=$!
}

# Waits up to $1 seconds for orvo to end; sets rc.
orvo_exit() {
    wait_exit "$1" "$orvo_pid"
    rc=$?
    [ "$rc" != 124 ] || fail "still running ${1}s later"
}

shoot() { screenshot "$work/$1.png" || fail "no screenshot"; }

scene_shown() { shoot shot && looks_like_scene "$work/shot.png"; }

keep_shot() { # name label
    [ -z "${ORVO_E2E_KEEP_SHOTS:-}" ] || cp "$work/$1.png" "$ORVO_E2E_KEEP_SHOTS/wayland-$case_name-$2.png"
}

# Takes screenshots until one shows the scene, for up to 30 s.
check_scene() {
    local status=0
    every=0.5 while_alive=$orvo_pid wait_until 30 scene_shown || status=$?
    [ "$status" != 2 ] || fail "ended while drawing"
    [ "$status" = 0 ] || fail "no scene within 30 s (black $black, grey $grey, red $red)"
    keep_shot shot scene
    echo "scene: black $black, grey $grey, red $red"
}

screen_moved() {
    shoot after
    [ "$(pixels_changed "$work/before.png" "$work/after.png")" != 0 ]
}

# Two screenshots a second apart are the same.
screen_still_for_a_second() {
    shoot still1
    sleep 1
    shoot still2
    [ "$(pixels_changed "$work/still1.png" "$work/still2.png")" = 0 ]
}

# Types a key into weston's X window, which has the X input focus.
type_into_weston() { xdotool key "$1" || fail "xdotool could not type $1"; }

# Runs the demo for 5 s: nothing on stderr, SIGTERM ends it with 0.
runs_quietly_and_ends_on_sigterm() {
    start_orvo
    sleep 5
    gone "$orvo_pid" && { orvo_exit 0; fail "ended by itself with $rc"; }
    [ -s "$work/stderr" ] && fail "wrote on stderr"
    kill -TERM "$orvo_pid"
    orvo_exit 3
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    echo "ran 5 s with nothing on stderr; SIGTERM ended it with 0"
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Prints the demo's share of one core over 10 s, once it has run 3 s.
measure_cpu() {
    sleep 3
    local start end
    start=$(cpu_ticks "$orvo_pid") || fail "ended early"
    sleep 10
    end=$(cpu_ticks "$orvo_pid") || fail "ended early"
    echo "$case_name: $(((end - start) * 1000 / (10 * $(getconf CLK_TCK))))/1000 of a core over 10 s"
    kill -TERM "$orvo_pid"
    orvo_exit 3
}

case "$case_name" in
weston-gl | weston-pixman)
    renderer=""
    [ "$case_name" = weston-pixman ] && renderer=--use-pixman
    start_nested_weston "$renderer" 1 1024 768
    start_orvo
    check_scene

    # Another client takes the focus: the drawing stops (within 15 s: the
    # client may take seconds to start on a busy machine); it ends and the
    # focus comes back: the drawing resumes.
    WAYLAND_DISPLAY=$socket weston-flower >"$work/other.log" 2>&1 &
    other_pid=$!
    every=1 wait_until 15 screen_still_for_a_second || fail "still drawing long after another client took the focus"
    keep_shot still2 unfocused
    echo "another client focused: no drawing"
    stop "$other_pid"
    shoot before
    every=0.2 wait_until 10 screen_moved || fail "no drawing once the focus came back"
    check_scene
    echo "focus back: drawing again"

    type_into_weston Escape
    typed=$(date +%s%N)
    orvo_exit 5
    [ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
    [ -s "$work/stderr" ] && fail "wrote on stderr"
    echo "ended $((($(date +%s%N) - typed) / 1000000)) ms after Escape was typed, exit code 0"
    ;;
weston-scale2)
    [ -x "$orvo_render" ] || fail "no orvo-render given"
    # 640 x 360 logical at scale 2: 1280 x 720 pixels, the 4:3 picture
    # 960 x 720 of them with 160 black columns either side.
    start_nested_weston "" 2 640 360
    start_orvo
    check_scene
    letterboxed_1280x720 "$work/shot.png" ||
        fail "not letterboxed across the output's 1280 x 720 pixels"
    # The title plate (the picture's 200 x 60 at 220,5) is the same in every
    # frame: the screen's against the frame scaled 1.5 times, and against it
    # scaled 0.75 times and then doubled.
    "$orvo_render" --assets "$work" --out "$work" --times 0 >/dev/null || fail "orvo-render failed"
    plate=300x90+330+8
    convert "$work/shot.png" -crop 960x720+160+0 +repage -crop "$plate" +repage "$work/plate.png"
    convert "$work/frame-000000.png" -filter triangle -resize 960x720 -crop "$plate" +repage "$work/full.png"
    convert "$work/frame-000000.png" -filter triangle -resize 480x360 -filter triangle -resize 960x720 \
        -crop "$plate" +repage "$work/quarter.png"
    full=$(compare -metric RMSE "$work/plate.png" "$work/full.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
    quarter=$(compare -metric RMSE "$work/plate.png" "$work/quarter.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
    echo "title plate: RMSE $full against full resolution, $quarter against a quarter blown up"
    awk -v f="$full" -v q="$quarter" 'BEGIN { exit !(2 * f < q) }' || fail "not drawn at the output's full resolution"
    kill -TERM "$orvo_pid"
    orvo_exit 3
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    ;;
weston-no-seat)
    start_weston --backend=headless-backend.so
    grep -q "'wl_seat'" "$work/globals" && fail "weston's headless backend offers a seat here"
    start_orvo
    orvo_exit 10
    [ "$rc" -eq 1 ] || fail "exit code $rc"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "expected one line on stderr"
    expected="can't open the display: the display library can't be loaded (the Wayland compositor \"$socket\" offers no keyboard, so Escape could never reach the demo)"
    [ "$(cat "$work/stderr")" = "$expected" ] || fail "not the expected line"
    echo "stderr: $(cat "$work/stderr")"
    ;;
mutter | cpu-mutter)
    size=1280x720
    [ "$case_name" = cpu-mutter ] && size=1024x768
    start_with_session_bus mutter --headless --wayland --no-x11 --virtual-monitor "$size" --wayland-display="$socket"
    if [ "$case_name" = mutter ]; then runs_quietly_and_ends_on_sigterm; else start_orvo && measure_cpu; fi
    ;;
kwin | cpu-kwin)
    find_kwin
    start_with_session_bus "$kwin" --virtual --no-lockscreen --socket "$socket" --width 1024 --height 768
    if [ "$case_name" = kwin ]; then runs_quietly_and_ends_on_sigterm; else start_orvo && measure_cpu; fi
    ;;
cpu-weston-gl | cpu-weston-pixman)
    renderer=""
    [ "$case_name" = cpu-weston-pixman ] && renderer=--use-pixman
    start_nested_weston "$renderer" 1 1024 768
    start_orvo
    check_scene
    measure_cpu
    ;;
*)
    fail "unknown case"
    ;;
esac
finish
