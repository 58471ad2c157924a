#!/usr/bin/env bash
# Whole-program tests of orvo under a real X server (Xvfb).
#
#   orvo_e2e.sh CASE ORVO ASSET_DIR [DEPTH]
#
# CASE is one of:
#   scene      the scene shows (not black, grey and red areas present), the
#              song is heard on SDL's disk audio driver, Escape ends the demo
#              with exit code 0 within two seconds
#   no-song    without "s.s3m" the demo runs and exits 0 on Escape
#   bad-king   a broken "king.jpg": the decoder's one line, exit code 1
#   no-display DISPLAY unset: one line on stderr, exit code 1
#   sigterm    SIGTERM ends the demo with exit code 0
#   letterbox  on a 16:9 screen the picture keeps its 4:3 shape: black bars
#              left and right
#   format     ORVO is the display probe; it must print the converter named
#              by $5 (the X server's depth decides the pixel format)
# Every wait is bounded; the X server and the demo are always ended.
set -uo pipefail

case_name=$1
orvo=$(realpath "$2")
assets=$3
depth=${4:-24}
screen=1024x768

work=$(mktemp -d "${TMPDIR:-/tmp}/orvo-e2e.XXXXXX")
xvfb_pid=""
orvo_pid=""
cleanup() {
    [ -n "$orvo_pid" ] && kill -KILL "$orvo_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL [$case_name depth $depth]: $*" >&2
    if [ -s "$work/stderr" ]; then
        echo "--- orvo's stderr:" >&2
        head -c 4000 "$work/stderr" >&2
    fi
    exit 1
}

# Sanitizer builds: address and undefined-behaviour checks stay on, the leak
# check at exit goes off. SDL loads and unloads system libraries at run time
# (the session bus, Mesa's GL driver) that leave a little memory behind, and
# once unloaded they can no longer be named in a suppression. Our own code's
# leaks are checked by the unit tests.
if ldd "$2" 2>/dev/null | grep -q libasan; then
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
fi

[ -x "$orvo" ] || fail "no program at $orvo"
for f in 02.jpg 02a.jpg king.jpg s.s3m; do
    [ -f "$assets/$f" ] || fail "no $f in $assets (the asset generator writes them at build time)"
    cp "$assets/$f" "$work/"
done

# Starts an X server on a display number of its own choosing.
start_x() {
    : >"$work/display"
    Xvfb -displayfd 9 -screen 0 "${screen}x$depth" -nolisten tcp -noreset 9>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        if [ -s "$work/display" ]; then
            export DISPLAY=":$(head -n1 "$work/display")"
            xdpyinfo >/dev/null 2>&1 && return 0
        fi
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$work/xvfb.log" >&2
    fail "Xvfb did not start at depth $depth"
}

# Starts orvo in the work folder.
start_orvo() {
    (cd "$work" && exec "$orvo") >"$work/stdout" 2>"$work/stderr" &
    orvo_pid=$!
}

# Waits up to $1 seconds for orvo to end; sets rc.
wait_exit() {
    local limit=$1 i
    for i in $(seq 1 $((limit * 20))); do
        kill -0 "$orvo_pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$orvo_pid" 2>/dev/null; then
        fail "still running ${limit}s later"
    fi
    wait "$orvo_pid"
    rc=$?
    orvo_pid=""
}

# Waits until the demo's window is mapped, then lets it draw for a while.
wait_window() {
    for _ in $(seq 1 300); do
        xdotool search --onlyvisible --name "Orvo - Esc to exit" >/dev/null 2>&1 && { sleep "$1"; return 0; }
        kill -0 "$orvo_pid" 2>/dev/null || fail "ended before its window showed"
        sleep 0.1
    done
    fail "no window within 30 s"
}

# Fractions of the screenshot's pixels that are black, grey and red.
check_scene() {
    import -window root "$work/shot.png" || fail "no screenshot"
    [ -n "${ORVO_E2E_KEEP_SHOTS:-}" ] && cp "$work/shot.png" "$ORVO_E2E_KEEP_SHOTS/shot-$depth.png"
    local small="$work/small.png"
    convert "$work/shot.png" -sample 256x192 "$small"
    black=$(convert "$small" -fx "(r+g+b)<0.06 ? 1 : 0" -format "%[fx:mean]" info:)
    grey=$(convert "$small" -fx "(abs(r-g)<0.08 && abs(g-b)<0.08 && r>0.15 && r<0.95) ? 1 : 0" -format "%[fx:mean]" info:)
    red=$(convert "$small" -fx "(r>0.35 && r>2*g && r>2*b) ? 1 : 0" -format "%[fx:mean]" info:)
    echo "screen at depth $depth: black $black, grey $grey, red $red"
    awk -v b="$black" 'BEGIN { exit !(b < 0.5) }' || fail "the screen is mostly black ($black)"
    awk -v g="$grey" 'BEGIN { exit !(g > 0.01) }' || fail "no grey area ($grey)"
    awk -v r="$red" 'BEGIN { exit !(r > 0.01) }' || fail "no red area ($red)"
}

press_escape_and_expect_zero() {
    xdotool key Escape || fail "xdotool could not send Escape"
    wait_exit 2
    [ "$rc" -eq 0 ] || fail "exit code $rc after Escape"
}

one_line_on_stderr() {
    # The disk audio driver announces itself; that is SDL's, not ours.
    grep -v -e '^CRITICAL: ' "$work/stderr" >"$work/ours"
    [ "$(wc -l <"$work/ours")" -eq 1 ] || fail "expected one line on stderr, got $(wc -l <"$work/ours")"
    echo "stderr: $(cat "$work/ours")"
}

export SDL_AUDIODRIVER=dummy
case "$case_name" in
scene)
    start_x
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
    start_orvo
    wait_window 3
    check_scene
    press_escape_and_expect_zero
    [ -s "$work/audio.raw" ] || fail "no audio written"
    rms=$(sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/audio.raw" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
    echo "audio: $(stat -c %s "$work/audio.raw") bytes, RMS amplitude $rms"
    awk -v a="${rms:-0}" 'BEGIN { exit !(a > 0.001) }' || fail "the audio is silent (RMS $rms)"
    ;;
no-song)
    rm "$work/s.s3m"
    start_x
    start_orvo
    wait_window 2
    press_escape_and_expect_zero
    ;;
bad-king)
    head -c 3000 /dev/urandom >"$work/king.jpg"
    start_x
    start_orvo
    wait_exit 30
    [ "$rc" -eq 1 ] || fail "exit code $rc for a broken king.jpg"
    one_line_on_stderr
    ;;
no-display)
    unset DISPLAY WAYLAND_DISPLAY
    export SDL_VIDEODRIVER=x11
    start_orvo
    wait_exit 30
    [ "$rc" -eq 1 ] || fail "exit code $rc with no display"
    one_line_on_stderr
    grep -q "^can't open the display: " "$work/ours" || fail "not the display's line"
    ;;
sigterm)
    start_x
    start_orvo
    wait_window 2
    kill -TERM "$orvo_pid"
    wait_exit 2
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    ;;
letterbox)
    screen=1280x720
    start_x
    start_orvo
    wait_window 2
    import -window root "$work/shot.png" || fail "no screenshot"
    # 4:3 scaled to 720 rows is 960 columns: 160 black ones either side.
    left=$(convert "$work/shot.png" -crop 150x720+0+0 -format "%[fx:maxima]" info:)
    right=$(convert "$work/shot.png" -crop 150x720+1130+0 -format "%[fx:maxima]" info:)
    middle=$(convert "$work/shot.png" -crop 900x720+190+0 -format "%[fx:mean]" info:)
    echo "bars: left max $left, right max $right; picture mean $middle"
    awk -v l="$left" -v r="$right" -v m="$middle" 'BEGIN { exit !(l < 0.02 && r < 0.02 && m > 0.1) }' ||
        fail "not letterboxed"
    press_escape_and_expect_zero
    ;;
format)
    expected=$5
    start_x
    (cd "$work" && exec "$orvo") >"$work/stdout" 2>"$work/stderr" &
    orvo_pid=$!
    wait_exit 30
    [ "$rc" -eq 0 ] || fail "the display did not open at depth $depth"
    [ "$(cat "$work/stdout")" = "$expected" ] || fail "converter $(cat "$work/stdout"), expected $expected"
    echo "depth $depth selects $expected"
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "ok [$case_name depth $depth]"
