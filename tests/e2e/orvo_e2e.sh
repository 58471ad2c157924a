#!/usr/bin/env bash
# Whole-program tests of orvo under a real X server (Xvfb).
#
#   orvo_e2e.sh CASE ORVO ASSET_DIR [DEPTH [CONVERTER]]
#
# CASE is one of:
#   scene      the scene shows (not black, grey and red areas present), the
#              song is heard on SDL's disk audio driver, Escape ends the demo
#              with exit code 0 within two seconds
#   scene-wm, scene-wm-icewm, scene-wm-fluxbox, scene-wm-jwm
#              the same under a window manager (openbox, or the one named)
#   installed  ORVO is an installed program and ASSET_DIR its data folder:
#              started in an empty folder, as from a desktop menu, it shows
#              the scene with the song, and Escape ends it with 0
#   desktop    under openbox: the demo covers the screen and has the focus;
#              another window taking the focus stops the drawing while the
#              song plays on, and taking it back resumes it; minimise and
#              restore do the same; a close request (Alt+F4) is ignored;
#              Escape still ends it with exit code 0
#   no-song    without "s.s3m" the demo runs and exits 0 on Escape
#   bad-king   a broken "king.jpg": the decoder's one line, exit code 1
#   no-display DISPLAY and WAYLAND_DISPLAY unset: one line on stderr, exit
#              code 1, at once
#   no-wayland WAYLAND_DISPLAY names no compositor and XDG_RUNTIME_DIR is
#              unset: still only the demo's one line, exit code 1
#   sigterm    SIGTERM ends the demo with exit code 0
#   x-server-ends
#              the X server killed while the demo runs: it ends at once with
#              Xlib's word on stderr and exit code 1
#   letterbox  on a 16:9 screen the picture keeps its 4:3 shape: black bars
#              left and right
#   two-monitors, two-monitors-wm
#              one 2048 x 768 screen split into two RandR monitors, without
#              and with a window manager (which must see the fullscreen
#              state), the left primary, then the right: the demo covers the
#              primary monitor whole and leaves the other black
#   window     under openbox at 1920x1080, orvo --window --stats: a window of
#              1280 x 960 (twice 640 x 480, the largest that fits) with the
#              scene; Alt+Enter makes it cover the screen and again a window;
#              at Escape, exit code 0 and the one line of figures on stdout
#   sharp      orvo --sharp at 1920x1080 on a bare server: the picture at
#              twice its size in square 2 x 2 blocks at 320,60, black around
#   bad-argument
#              an argument it doesn't know: one line naming it, the usage,
#              exit code 2, no window
#   format     ORVO is the display probe; it must print CONVERTER (the X
#              server's depth decides the pixel format)
# The demo is started as a user starts it: no driver choice, no variables of
# our own. Only the cases that listen to the song pick SDL's disk audio
# driver, which writes what the demo plays to a file. Every wait is bounded;
# the X server, the window manager and the demo are always ended.
# shellcheck disable=SC2317,SC2119 # the checks are called through wait_until; defaults stand for arguments
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"
require_tools Xvfb xdotool xdpyinfo
[[ $1 == scene-wm-* ]] && require_tools "${1#scene-wm-}"

case_name=$1
orvo=$(realpath "$2")
assets=$3
depth=${4:-24}
screen=1024x768

demo_case_begin "e2e $case_name depth $depth" "$case_name depth $depth" "$orvo"

# The song checker comes from the test set-up; the demo itself sees nothing
# of it.
song_compare=${ORVO_SONG_COMPARE:-}
unset ORVO_SONG_COMPARE
[ -x "$orvo" ] || fail "no program at $orvo"
# The demo starts in the work folder, with the assets in it (an installed
# demo finds its own).
for f in 02.jpg 02a.jpg king.jpg s.s3m; do
    [ -f "$assets/$f" ] || fail "no $f in $assets (the asset generator writes them at build time)"
    [ "$case_name" = installed ] || cp "$assets/$f" "$work/"
done

# The scene on the named half (left or right) of a 2048 x 768 screenshot.
scene_on_monitor() { # left|right
    local x=0
    [ "$1" = left ] || x=1024
    shoot shot && convert "$work/shot.png" -crop "1024x768+$x+0" +repage "$work/monitor.png" &&
        looks_like_scene "$work/monitor.png"
}

focused() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }

focus_elsewhere() {
    active=$(xdotool getactivewindow 2>/dev/null || true)
    [ -n "$active" ] && [ "$active" != "$window" ]
}

# Bytes the disk audio driver has written so far.
audio_bytes() { stat -c %s "$work/audio.raw" 2>/dev/null || echo 0; }

check_song_heard() {
    [ -s "$work/audio.raw" ] || fail "no audio written"
    rms=$(sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/audio.raw" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
    echo "audio: $(audio_bytes) bytes, RMS amplitude $rms"
    awk -v a="${rms:-0}" 'BEGIN { exit !(a > 0.001) }' || fail "the audio is silent (RMS $rms)"
    [ -x "$song_compare" ] || fail "no song checker (ORVO_SONG_COMPARE, set by the test set-up)"
    "$song_compare" "$assets/s.s3m" "$work/audio.raw" || fail "the song was not played whole"
}

# The disk audio driver writes the song to a file; it prints one line of its
# own on stderr.
listen_to_song() {
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
}

case "$case_name" in
scene | scene-wm* | installed)
    start_x "${screen}x$depth"
    [ "$case_name" = scene-wm ] && start_wm
    [[ $case_name == scene-wm-* ]] && start_wm "${case_name#scene-wm-}"
    listen_to_song
    start_orvo
    wait_window
    check_scene "$case_name-$depth"
    press_escape_and_expect_zero
    check_song_heard
    ;;
desktop)
    start_x "${screen}x$depth"
    start_wm
    listen_to_song
    start_orvo
    wait_window
    check_scene "$case_name-$depth"
    # SDL may remake its window when the renderer starts: the one that draws
    # is the one mapped now.
    wait_window
    # The whole screen, and the focus.
    geometry=$(xdotool getwindowgeometry "$window")
    [[ $geometry == *"Geometry: $screen"* ]] || fail "the window does not cover the $screen screen: $geometry"
    state=$(xprop -id "$window" _NET_WM_STATE)
    [[ $state == *_NET_WM_STATE_FULLSCREEN* ]] || fail "not fullscreen for the window manager: $state"
    wait_until 5 focused || fail "the demo does not have the focus"
    echo "covers the screen, fullscreen, focused"

    # A close request from the window manager changes nothing.
    xdotool key --window "$window" alt+F4
    screen_changes || fail "the drawing stopped after a close request"
    kill -0 "$orvo_pid" 2>/dev/null || fail "ended on a close request"
    echo "close request ignored"

    # Another window takes the focus: the drawing stops, the song plays on.
    xmessage -geometry 240x80+0+0 "another window" &
    other_pid=$!
    wait_until 5 focus_elsewhere
    [ "$active" != "$window" ] || fail "the other window did not take the focus"
    sleep 0.5  # the demo's last frame reaches the screen
    audio_then=$(audio_bytes)
    screen_still_for_a_second || fail "still drawing without the focus ($changed pixels changed)"
    [ "$(audio_bytes)" -gt "$audio_then" ] || fail "the song stopped without the focus"
    echo "without the focus: no drawing, the song plays on"

    # The focus back: the drawing resumes.
    xdotool windowactivate --sync "$window" || fail "the demo's window can't be activated"
    screen_changes || fail "no drawing after the focus came back"
    check_scene "$case_name-$depth"
    echo "focus back: drawing again"

    # Minimised and restored.
    xdotool windowminimize --sync "$window" || fail "the demo's window can't be minimised"
    sleep 0.5
    screen_still_for_a_second || fail "still drawing while minimised ($changed pixels changed)"
    xdotool windowactivate --sync "$window" || fail "the demo's window can't be restored"
    screen_changes || fail "no drawing after restore"
    echo "minimised: no drawing; restored: drawing again"

    stop "$other_pid"
    press_escape_and_expect_zero
    check_song_heard
    ;;
no-song)
    rm "$work/s.s3m"
    start_x "${screen}x$depth"
    start_orvo
    wait_window
    check_scene "$case_name-$depth"
    press_escape_and_expect_zero
    ;;
bad-king)
    head -c 3000 /dev/urandom >"$work/king.jpg"
    start_x "${screen}x$depth"
    start_orvo
    orvo_exit 30
    [ "$rc" -eq 1 ] || fail "exit code $rc for a broken king.jpg"
    one_line_on_stderr
    ;;
no-display | no-wayland)
    unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
    if [ "$case_name" = no-wayland ]; then
        unset XDG_RUNTIME_DIR
        export WAYLAND_DISPLAY=orvo-no-compositor
    fi
    start_orvo
    orvo_exit 10
    [ "$rc" -eq 1 ] || fail "exit code $rc with no display"
    one_line_on_stderr
    if [ "$case_name" = no-wayland ]; then
        reason="the Wayland display \"orvo-no-compositor\" can't be reached"
    else
        reason="no screen found: DISPLAY and WAYLAND_DISPLAY are unset"
    fi
    [ "$(cat "$work/stderr")" = "can't open the display: the display library can't be loaded ($reason)" ] ||
        fail "not the display's line with its reason"
    ;;
sigterm)
    start_x "${screen}x$depth"
    start_orvo
    wait_window
    kill -TERM "$orvo_pid"
    orvo_exit 2
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    ;;
x-server-ends)
    start_x "${screen}x$depth"
    start_orvo
    wait_window
    # Xlib ends the program itself, with its own line or two: exit code 1.
    kill -KILL "$x_pid"
    orvo_exit 5 && expect_exit_code 1 "once the X server was gone"
    [ -s "$work/stderr" ] || fail "nothing said on stderr"
    ;;
letterbox)
    screen=1280x720
    start_x "${screen}x$depth"
    start_orvo
    wait_window
    check_scene "$case_name-$depth"
    # 4:3 scaled to 720 rows is 960 columns: 160 black ones either side.
    letterboxed_1280x720 "$work/shot.png" ||
        fail "not letterboxed"
    press_escape_and_expect_zero
    ;;
two-monitors | two-monitors-wm)
    # One run with the left monitor primary, one with the right: the demo
    # follows the primary, whichever side it is on.
    screen=2048x768
    start_x "${screen}x$depth"
    [ "$case_name" = two-monitors-wm ] && start_wm
    for primary in left right; do
        other=right position=0,0
        [ "$primary" = left ] || other=left position=1024,0
        echo "-- the $primary monitor primary"
        xrandr --delmonitor left >/dev/null 2>&1
        xrandr --delmonitor right >/dev/null 2>&1
        marks=("" "")
        [ "$primary" = left ] && marks[0]="*" || marks[1]="*"
        xrandr --setmonitor "${marks[0]}left" 1024/271x768/203+0+0 screen >/dev/null || fail "xrandr can't split the screen"
        xrandr --setmonitor "${marks[1]}right" 1024/271x768/203+1024+0 none >/dev/null ||
            fail "xrandr can't split the screen"
        monitors=$(xrandr --listmonitors)
        [[ $monitors == "Monitors: 2"*"*$primary "* ]] || fail "not two monitors, $primary primary: $monitors"
        start_orvo
        wait_window
        status=0 black=- grey=- red=-
        every=0.5 while_alive=$orvo_pid wait_until 30 scene_on_monitor "$primary" || status=$?
        [ "$status" = 0 ] ||
            fail "no scene on the $primary monitor within 30 s (black $black, grey $grey, red $red)"
        keep_shot shot "$case_name-$primary"
        wait_window
        geometry=$(xdotool getwindowgeometry "$window" | tr -d '\n')
        [[ $geometry == *"Position: $position "*"Geometry: 1024x768" ]] || fail "not the $primary monitor whole: $geometry"
        [ "$other" = left ] && x=0 || x=1024
        dark=$(convert "$work/shot.png" -crop "1024x768+$x+0" -format "%[fx:maxima]" info:)
        awk -v d="$dark" 'BEGIN { exit !(d < 0.02) }' || fail "the $other monitor is not black (max $dark)"
        echo "$primary monitor: $geometry; $other monitor black"
        # A window manager must have been asked for the fullscreen state.
        if [ "$case_name" = two-monitors-wm ]; then
            state=$(xprop -id "$window" _NET_WM_STATE)
            [[ $state == *_NET_WM_STATE_FULLSCREEN* ]] || fail "not fullscreen for the window manager: $state"
            echo "fullscreen for the window manager"
        fi
        press_escape_and_expect_zero
    done
    ;;
window)
    screen=1920x1080
    start_x "${screen}x$depth"
    start_wm
    start_orvo --window --stats
    wait_window
    check_scene "$case_name-$depth"
    window_size_is() { [[ $(xwininfo -id "$window") == *"Width: $1"*"Height: $2"* ]]; }
    wait_until 5 window_size_is 1280 960 || fail "not a 1280 x 960 window: $(xwininfo -id "$window" | grep -E 'Width|Height')"
    xdotool key alt+Return || fail "xdotool could not send Alt+Enter"
    wait_until 5 window_size_is 1920 1080 || fail "Alt+Enter did not cover the screen"
    xdotool key alt+Return
    wait_until 5 window_size_is 1280 960 || fail "Alt+Enter did not give the window back"
    echo "window 1280 x 960; Alt+Enter: 1920 x 1080 and back"
    press_escape_and_expect_zero
    line='^orvo: [0-9]+ frames presented; interval p50 [0-9]+\.[0-9] ms, p99 [0-9]+\.[0-9] ms, max [0-9]+\.[0-9] ms; [0-9]+ late$'
    if [ "$(wc -l <"$work/stdout")" -ne 1 ] || ! grep -Eq "$line" "$work/stdout"; then
        fail "not the figures' line: $(cat "$work/stdout")"
    fi
    echo "stdout: $(cat "$work/stdout")"
    ;;
sharp)
    screen=1920x1080
    start_x "${screen}x$depth"
    start_orvo --sharp
    wait_window
    check_scene "$case_name-$depth"
    # Twice 640 x 480 is the largest whole factor for 1080 rows: 1280 x 960,
    # 320 columns and 60 rows of black either side.
    convert "$work/shot.png" -crop 1280x960+320+60 +repage "$work/picture.png"
    convert "$work/picture.png" -sample 640x480 -sample 1280x960 "$work/blocks.png"
    soft=$(pixels_changed "$work/picture.png" "$work/blocks.png")
    around=$(convert "$work/shot.png" -fill black -draw "rectangle 320,60 1599,1019" -format "%[fx:maxima]" info:)
    echo "pixels off their 2 x 2 block: $soft; brightest outside the picture: $around"
    [ "$soft" = 0 ] || fail "not whole 2 x 2 blocks at 320,60 ($soft pixels differ)"
    awk -v a="$around" 'BEGIN { exit !(a < 0.02) }' || fail "not black around the picture (max $around)"
    press_escape_and_expect_zero
    ;;
bad-argument)
    start_orvo --fullscreen
    orvo_exit 10
    [ "$rc" -eq 2 ] || fail "exit code $rc for an unknown argument"
    [ "$(head -n1 "$work/stderr")" = 'orvo: unknown argument "--fullscreen"' ] || fail "first line: $(head -n1 "$work/stderr")"
    [ "$(sed -n 2p "$work/stderr")" = "$("$orvo" --help | sed -n 1p)" ] || fail "no usage after it"
    [ ! -s "$work/stdout" ] || fail "something on stdout"
    ;;
format)
    expected=$5
    start_x "${screen}x$depth"
    start_orvo
    orvo_exit 30
    [ "$rc" -eq 0 ] || fail "the display did not open at depth $depth"
    [ "$(cat "$work/stdout")" = "$expected" ] || fail "converter $(cat "$work/stdout"), expected $expected"
    echo "depth $depth selects $expected"
    ;;
*)
    fail "unknown case"
    ;;
esac
finish
