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
#                  exit code 0 and nothing on stderr. Under GL, started
#                  again: weston killed, the demo ends at once (within 5 s;
#                  the time is printed) with one line on stderr and 1
#   weston-scale2  a 16:9 weston output at scale 2 (1280 x 720 pixels, 640 x
#                  360 logical): the picture fills the output's height at its
#                  full resolution, black bars either side; its static title
#                  plate matches ORVO_RENDER's frame scaled to the output's
#                  pixels, not that frame scaled to the logical size and blown
#                  up twice
#   weston-no-seat weston's headless backend offers no seat: one line on
#                  stderr, exit code 1 (SDL 2.26 would crash there)
#   sway           sway nested in Xvfb, run by an ordinary user (it refuses
#                  root; made if missing), the demo that user's too: the
#                  scene; another client taking the focus stops the drawing,
#                  its end resumes it; Escape on the X keyboard ends it with
#                  0; started again, sway killed: as weston killed
#   cage           cage, the kiosk compositor, nested in Xvfb and run by that
#                  user: the scene; Escape ends the demo with 0
#   mutter         GNOME's mutter, headless: the demo runs 5 s with nothing
#                  on stderr; SIGTERM ends it with exit code 0
#   kwin           KDE's kwin_wayland, virtual backend: the same as mutter;
#                  skipped (exit 77) with the reason where kwin can't run
# The demo is started as a user's session starts it (see wayland_start in
# the harness). Every wait is bounded; every process started here is ended.
# (The demo's CPU share under each compositor: tests/e2e/measure.sh.)
# shellcheck disable=SC2317,SC2119 # the checks are called through wait_until; defaults stand for arguments
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"

case_name=$1
orvo=$(realpath "$2")
assets=$3
orvo_render=${4:-}

case "$case_name" in
weston*) require_tools Xvfb xdotool xdpyinfo import weston wayland-info ;;
sway) require_tools Xvfb xdotool xdpyinfo xwininfo import sway swaymsg setpriv wayland-info weston-flower ;;
cage) require_tools Xvfb xdotool xdpyinfo xwininfo import cage wayland-info ;;
mutter) require_tools mutter dbus-run-session setsid wayland-info ;;
kwin) require_tools kwin_wayland dbus-run-session setsid wayland-info ;;
esac

demo_case_begin "wayland $case_name" "$case_name" "$orvo"

[ -x "$orvo" ] || fail "no program at $orvo"
for f in 02.jpg 02a.jpg king.jpg s.s3m; do
    [ -f "$assets/$f" ] || fail "no $f in $assets (the asset generator writes them at build time)"
    cp "$assets/$f" "$work/"
done
# sway and cage refuse root: an ordinary user runs them and the demo.
if [ "$case_name" = sway ] || [ "$case_name" = cage ]; then wayland_session user; else wayland_session; fi

# Runs the demo for 5 s: nothing on stderr, SIGTERM ends it with 0.
runs_quietly_and_ends_on_sigterm() {
    start_orvo
    sleep 5
    gone "$orvo_pid" && { orvo_exit 0; fail "ended by itself with $rc"; }
    nothing_on_stderr
    kill -TERM "$orvo_pid"
    orvo_exit 3
    expect_exit_code 0 "after SIGTERM"
    echo "ran 5 s with nothing on stderr; SIGTERM ended it with 0"
}

# Another client (weston-flower) takes the focus, through TAKE_FOCUS (a
# command) where the compositor does not give it by itself: the drawing
# stops (within 15 s: the client may take seconds to start on a busy
# machine); the client ends and the focus comes back: the drawing resumes.
focus_elsewhere_and_back() { # [take_focus...]
    local covered
    covered=$(picture_box "$work/shot.png")
    "${as_user[@]}" env WAYLAND_DISPLAY="$socket" weston-flower >"$work/other.log" 2>&1 &
    other_pid=$!
    sleep 1
    [ $# -eq 0 ] || "$@" >/dev/null || fail "the other client can't take the focus"
    every=1 wait_until 15 screen_still_for_a_second ||
        fail "still drawing long after another client took the focus ($changed pixels changed)"
    keep_shot still2 "wayland-$case_name-unfocused"
    echo "another client focused: no drawing"
    stop "$other_pid"
    screen_changes 10 || fail "no drawing once the focus came back"
    check_scene "wayland-$case_name-refocused"
    [ "$(picture_box "$work/shot.png")" = "$covered" ] ||
        fail "focus back: the picture at $(picture_box "$work/shot.png"), not at $covered as before"
    echo "focus back: drawing again, the picture where it was ($covered)"
}

# Where a screenshot's picture lies: the box left once black is trimmed.
picture_box() { convert "$1" -bordercolor black -border 1 -fuzz 8% -trim -format '%@' info:; }

# Escape, typed into the compositor's X window (which has the X input
# focus), ends the demo with 0 and nothing on stderr.
escape_ends_quietly() {
    press_escape_and_expect_zero 5
    nothing_on_stderr
}

# The demo started again, then its compositor killed.
compositor_killed() { # what
    group "$1 killed while the demo runs"
    start_orvo
    check_scene "wayland-$case_name-before-kill"
    kill_server_and_expect_end "$compositor_pid" "$1"
}

case "$case_name" in
weston-gl | weston-pixman)
    renderer=""
    [ "$case_name" = weston-pixman ] && renderer=--use-pixman
    wayland_start_nested_weston "$renderer" 1 1024 768
    start_orvo
    check_scene "wayland-$case_name-scene"
    focus_elsewhere_and_back
    escape_ends_quietly
    [ "$case_name" = weston-gl ] && compositor_killed weston
    ;;
weston-scale2)
    [ -x "$orvo_render" ] || fail "no orvo-render given"
    # 640 x 360 logical at scale 2: 1280 x 720 pixels, the 4:3 picture
    # 960 x 720 of them with 160 black columns either side.
    wayland_start_nested_weston "" 2 640 360
    start_orvo
    check_scene "wayland-$case_name-scene"
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
    expect_exit_code 0 "after SIGTERM"
    ;;
weston-no-seat)
    wayland_start_weston --backend=headless-backend.so
    globals=$(cat "$work/globals")
    [[ $globals == *"'wl_seat'"* ]] && fail "weston's headless backend offers a seat here"
    start_orvo
    orvo_exit 10
    expect_exit_code 1 "with no seat"
    one_line_on_stderr
    expected="can't open the display: the display library can't be loaded (the Wayland compositor \"$socket\" offers no keyboard, so Escape could never reach the demo)"
    [ "$(cat "$work/stderr")" = "$expected" ] || fail "not the expected line"
    ;;
sway)
    wayland_start_sway
    start_orvo
    check_scene "wayland-$case_name-scene"
    # sway keeps a fullscreen window in front of a new one: the other client
    # is given the focus.
    focus_elsewhere_and_back "${swaymsg[@]}" '[app_id="org.freedesktop.weston.flower"] focus'
    escape_ends_quietly
    compositor_killed sway
    ;;
cage)
    wayland_start_cage
    start_orvo
    check_scene "wayland-$case_name-scene"
    escape_ends_quietly
    ;;
mutter)
    wayland_start_with_session_bus mutter mutter --headless --wayland --no-x11 --virtual-monitor 1280x720 \
        --wayland-display="$socket"
    runs_quietly_and_ends_on_sigterm
    ;;
kwin)
    wayland_find_kwin
    wayland_start_with_session_bus kwin "$kwin" --virtual --no-lockscreen --socket "$socket" --width 1024 --height 768
    runs_quietly_and_ends_on_sigterm
    ;;
*)
    fail "unknown case"
    ;;
esac
finish
