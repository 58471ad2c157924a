#!/usr/bin/env bash
# Whole-program tests of orvo under Wayland compositors.
#
#   wayland_e2e.sh CASE ORVO ASSET_DIR [ORVO_RENDER]
#
# CASE is one of:
#   weston-gl      weston nested in Xvfb (its X11 backend) with its GL
#   weston-pixman  renderer, or with pixman: the scene in a screenshot of
#                  weston's output; another client taking the focus stops
#                  the drawing and the focus back resumes it; Escape, typed
#                  into weston's window, ends the demo with exit code 0
#   weston-scale2  a 16:9 weston output at scale 2 (1280 x 720 pixels, 640 x
#                  360 logical): the picture fills the
#                  output's height at its full resolution, black bars either
#                  side; its static title plate matches orvo-render's frame
#                  scaled to the output's pixels, not that frame scaled to the
#                  logical size and blown up twice
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
set -uo pipefail

case_name=$1
orvo=$(realpath "$2")
assets=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/orvo-wayland.XXXXXX")
runtime="$work/runtime"
mkdir -m 700 "$runtime"
socket=orvo-test
# Processes started here, ended in reverse order; compositors that start
# children of their own run in a process group of their own.
pids=()
groups=()
orvo_pid=""

cleanup() {
    [ -n "$orvo_pid" ] && kill -KILL "$orvo_pid" 2>/dev/null && wait "$orvo_pid" 2>/dev/null
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2>/dev/null; done
    for group in "${groups[@]}"; do kill -TERM -- "-$group" 2>/dev/null; done
    for pid in "${pids[@]}" "${groups[@]}"; do wait_gone "$pid" 5 || kill -KILL "$pid" 2>/dev/null; done
    for group in "${groups[@]}"; do kill -KILL -- "-$group" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL [$case_name]: $*" >&2
    if [ -s "$work/stderr" ]; then
        echo "--- orvo's stderr:" >&2
        head -c 4000 "$work/stderr" >&2
    fi
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log"):" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}

skip() {
    echo "skipped: $*"
    exit 77
}

# True when process $1 is gone within $2 seconds.
wait_gone() {
    local i
    for i in $(seq 1 $(($2 * 20))); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.05
    done
    ! kill -0 "$1" 2>/dev/null
}

# Sanitizer builds: the leak check at exit is off (SDL's system libraries
# leave memory behind once unloaded; our own leaks are the unit tests' part).
libraries=$(ldd "$orvo" 2>/dev/null || true)
[[ $libraries == *libasan* ]] && export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

[ -x "$orvo" ] || fail "no program at $orvo"
for f in 02.jpg 02a.jpg king.jpg s.s3m; do
    [ -f "$assets/$f" ] || fail "no $f in $assets (the asset generator writes them at build time)"
    cp "$assets/$f" "$work/"
done
for tool in Xvfb xdotool import weston wayland-info; do
    command -v "$tool" >/dev/null 2>&1 || skip "no $tool (./scripts/install-deps.sh --test installs it)"
done

# The environment every compositor and client here shares: no X display,
# no session bus of the caller's, a runtime folder of the test's own.
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER SDL_RENDER_DRIVER SDL_AUDIODRIVER DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR="$runtime"

# Starts Xvfb at $1 (WxH); sets x_display.
start_xvfb() {
    : >"$work/display"
    Xvfb -displayfd 9 -screen 0 "${1}x24" -nolisten tcp -noreset 9>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    local i
    for i in $(seq 1 100); do
        if [ -s "$work/display" ]; then
            x_display=":$(head -n1 "$work/display")"
            DISPLAY=$x_display xdpyinfo >/dev/null 2>&1 && return 0
        fi
        sleep 0.1
    done
    fail "Xvfb did not start"
}

# Waits up to 30 s until the compositor at $socket lists its globals.
wait_compositor() {
    local pid=$1 i
    for i in $(seq 1 300); do
        if [ -S "$runtime/$socket" ] && WAYLAND_DISPLAY=$socket timeout 5 wayland-info >"$work/globals" 2>/dev/null; then
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || fail "the compositor ended while starting"
        sleep 0.1
    done
    fail "the compositor did not answer within 30 s"
}

# Starts weston with the given options (backend, renderer, size) after the
# socket name.
start_weston() {
    # No panel: its clock would change the screen while the demo is still.
    printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
    weston --socket="$socket" --config="$work/weston.ini" --idle-time=0 "$@" >"$work/weston.log" 2>&1 &
    pids+=($!)
    wait_compositor $!
}

# Starts weston nested in a new Xvfb; the X window is its one output.
# $1: weston's renderer options ("" or --use-pixman); $2: its scale; $3, $4:
# its logical width and height.
start_nested_weston() {
    local scale=${2:-1} width=${3:-1024} height=${4:-768}
    start_xvfb "$((width * scale))x$((height * scale))"
    DISPLAY=$x_display start_weston --backend=x11-backend.so --width="$width" --height="$height" --scale="$scale" \
        ${1:+"$1"}
    weston_window=$(sed -n 's/.*x11 output .*, window id \([0-9]*\).*/\1/p' "$work/weston.log" | head -n1)
    [ -n "$weston_window" ] || fail "weston did not name its X window"
    # The X input focus on weston's window, long before any key: weston
    # reads the keys already down when the focus arrives as held, not typed.
    DISPLAY=$x_display xdotool windowfocus --sync "$weston_window" || fail "weston's window can't take the focus"
}

# Starts a compositor that needs a session bus (mutter, kwin) with its own
# bus, in a process group of its own.
start_with_session_bus() {
    setsid dbus-run-session -- "$@" >"$work/compositor.log" 2>&1 &
    groups+=($!)
    wait_compositor $!
}

# Starts orvo in the work folder as a user's session would.
start_orvo() {
    (cd "$work" && exec env WAYLAND_DISPLAY="$socket" "$orvo") >"$work/stdout" 2>"$work/stderr" &
    orvo_pid=$!
}

# Waits up to $1 seconds for orvo to end; sets rc.
wait_exit() {
    wait_gone "$orvo_pid" "$1" || fail "still running $1 s later"
    wait "$orvo_pid"
    rc=$?
    orvo_pid=""
}

shoot() {
    DISPLAY=$x_display import -window root "$work/$1.png" 2>/dev/null || fail "no screenshot"
}

# Fractions of a screenshot's pixels that are black, grey and red; true when
# they look like the scene.
looks_like_scene() {
    local small="$work/small.png"
    convert "$work/$1.png" -sample 256x192 "$small"
    black=$(convert "$small" -fx "(r+g+b)<0.06 ? 1 : 0" -format "%[fx:mean]" info:)
    grey=$(convert "$small" -fx "(abs(r-g)<0.08 && abs(g-b)<0.08 && r>0.15 && r<0.95) ? 1 : 0" -format "%[fx:mean]" info:)
    red=$(convert "$small" -fx "(r>0.35 && r>2*g && r>2*b) ? 1 : 0" -format "%[fx:mean]" info:)
    awk -v b="$black" -v g="$grey" -v r="$red" 'BEGIN { exit !(b < 0.5 && g > 0.01 && r > 0.01) }'
}

# Keeps screenshot $1 as $2 where ORVO_E2E_KEEP_SHOTS names a folder.
keep_shot() {
    [ -z "${ORVO_E2E_KEEP_SHOTS:-}" ] || cp "$work/$1.png" "$ORVO_E2E_KEEP_SHOTS/wayland-$case_name-$2.png"
}

# Takes screenshots until one shows the scene, for up to 30 s.
check_scene() {
    local i
    for i in $(seq 1 60); do
        shoot shot
        if looks_like_scene shot; then
            keep_shot shot scene
            echo "scene: black $black, grey $grey, red $red"
            return 0
        fi
        kill -0 "$orvo_pid" 2>/dev/null || fail "ended while drawing"
        sleep 0.5
    done
    fail "no scene within 30 s (black $black, grey $grey, red $red)"
}

pixels_changed() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }

# True when the screen changes within 10 s.
screen_changes() {
    shoot before
    local i
    for i in $(seq 1 50); do
        sleep 0.2
        shoot after
        [ "$(pixels_changed before after)" != 0 ] && return 0
    done
    return 1
}

# True when the screen stays the same for a second within 15 s: the demo
# has stopped drawing (the other client may take seconds to start on a busy
# machine).
screen_goes_still() {
    local i
    shoot still1
    for i in $(seq 1 15); do
        sleep 1
        shoot still2
        [ "$(pixels_changed still1 still2)" = 0 ] && return 0
        mv "$work/still2.png" "$work/still1.png"
    done
    return 1
}

# Types a key into weston's X window, which has the X input focus.
type_into_weston() {
    DISPLAY=$x_display xdotool key "$1" || fail "xdotool could not type $1"
}

# CPU time (user + system) of process $1 in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Prints the demo's share of one core over 10 s, once it has run 3 s.
measure_cpu() {
    sleep 3
    local ticks_per_second start end
    ticks_per_second=$(getconf CLK_TCK)
    start=$(cpu_ticks "$orvo_pid") || fail "ended early"
    sleep 10
    end=$(cpu_ticks "$orvo_pid") || fail "ended early"
    echo "$case_name: $(((end - start) * 1000 / (10 * ticks_per_second)))/1000 of a core over 10 s"
    kill -TERM "$orvo_pid"
    wait_exit 3
}

# Runs the demo for 5 s under the compositor at $socket: nothing on stderr,
# SIGTERM ends it with 0.
runs_quietly_and_ends_on_sigterm() {
    start_orvo
    sleep 5
    kill -0 "$orvo_pid" 2>/dev/null || { wait "$orvo_pid"; rc=$?; orvo_pid=""; fail "ended by itself with $rc"; }
    [ -s "$work/stderr" ] && fail "wrote on stderr"
    kill -TERM "$orvo_pid"
    wait_exit 3
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    echo "ran 5 s with nothing on stderr; SIGTERM ended it with 0"
}

case "$case_name" in
weston-gl | weston-pixman)
    renderer=""
    [ "$case_name" = weston-pixman ] && renderer=--use-pixman
    start_nested_weston "$renderer" 1
    start_orvo
    check_scene

    # Another client takes the focus: the drawing stops; it goes away and
    # the focus comes back: the drawing resumes.
    WAYLAND_DISPLAY=$socket weston-flower >"$work/other.log" 2>&1 &
    other_pid=$!
    pids+=("$other_pid")
    screen_goes_still || fail "still drawing 15 s after another client took the focus"
    keep_shot still2 unfocused
    echo "another client focused: no drawing"
    kill -TERM "$other_pid"
    wait_gone "$other_pid" 5 || fail "the other client did not end"
    screen_changes || fail "no drawing once the focus came back"
    check_scene
    echo "focus back: drawing again"

    type_into_weston Escape
    typed=$(date +%s%N)
    wait_exit 5
    echo "ended $((($(date +%s%N) - typed) / 1000000)) ms after Escape was typed"
    [ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
    [ -s "$work/stderr" ] && fail "wrote on stderr"
    echo "exit code 0"
    ;;
weston-scale2)
    orvo_render=${4:-}
    [ -x "$orvo_render" ] || fail "no orvo-render given"
    # 640 x 360 logical at scale 2: 1280 x 720 pixels, the 4:3 picture
    # 960 x 720 of them with 160 black columns either side.
    start_nested_weston "" 2 640 360
    start_orvo
    check_scene
    left=$(convert "$work/shot.png" -crop 150x720+0+0 -format "%[fx:maxima]" info:)
    right=$(convert "$work/shot.png" -crop 150x720+1130+0 -format "%[fx:maxima]" info:)
    middle=$(convert "$work/shot.png" -crop 900x720+190+0 -format "%[fx:mean]" info:)
    echo "bars: left max $left, right max $right; picture mean $middle"
    awk -v l="$left" -v r="$right" -v m="$middle" 'BEGIN { exit !(l < 0.02 && r < 0.02 && m > 0.1) }' ||
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
    wait_exit 3
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    ;;
weston-no-seat)
    start_weston --backend=headless-backend.so
    grep -q "'wl_seat'" "$work/globals" && fail "weston's headless backend offers a seat here"
    start_orvo
    wait_exit 10
    [ "$rc" -eq 1 ] || fail "exit code $rc"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "expected one line on stderr"
    expected="can't open the display: the display library can't be loaded (the Wayland compositor \"$socket\" offers no keyboard, so Escape could never reach the demo)"
    [ "$(cat "$work/stderr")" = "$expected" ] || fail "not the expected line"
    echo "stderr: $(cat "$work/stderr")"
    ;;
cpu-weston-gl | cpu-weston-pixman)
    renderer=""
    [ "$case_name" = cpu-weston-pixman ] && renderer=--use-pixman
    start_nested_weston "$renderer" 1
    start_orvo
    check_scene
    measure_cpu
    ;;
cpu-mutter)
    start_with_session_bus mutter --headless --wayland --no-x11 --virtual-monitor 1024x768 --wayland-display="$socket"
    start_orvo
    measure_cpu
    ;;
cpu-kwin)
    cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
    start_with_session_bus "$work/kwin_wayland" --virtual --no-lockscreen --socket "$socket" --width 1024 --height 768
    start_orvo
    measure_cpu
    ;;
mutter)
    command -v mutter >/dev/null 2>&1 || skip "no mutter (./scripts/install-deps.sh --test installs it)"
    start_with_session_bus mutter --headless --wayland --no-x11 --virtual-monitor 1280x720 --wayland-display="$socket"
    runs_quietly_and_ends_on_sigterm
    ;;
kwin)
    kwin=$(command -v kwin_wayland) || skip "no kwin_wayland (./scripts/install-deps.sh --test installs it)"
    # Debian gives kwin_wayland a file capability (cap_sys_resource); where
    # that can't be granted (a container's bounding set), exec fails. A copy
    # carries no capability and runs the same.
    if ! "$kwin" --version >/dev/null 2>&1; then
        cp "$kwin" "$work/kwin_wayland" || skip "kwin_wayland can't be run or copied"
        kwin="$work/kwin_wayland"
        "$kwin" --version >/dev/null 2>&1 || skip "kwin_wayland does not run here"
        echo "kwin_wayland's file capability can't be granted here: running a copy without it"
    fi
    start_with_session_bus "$kwin" --virtual --no-lockscreen --socket "$socket" --width 1024 --height 768
    runs_quietly_and_ends_on_sigterm
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "ok [$case_name]"
