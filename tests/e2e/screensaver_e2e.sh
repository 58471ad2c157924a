#!/usr/bin/env bash
# orvo as a screensaver under a real X server (Xvfb).
#
#   screensaver_e2e.sh CASE ORVO ASSET_DIR HOST_WINDOW
#
# CASE is one of:
#   window-id     orvo --window-id into a 320 x 240 window of another program
#                 (HOST_WINDOW makes one and prints its id): the scene fills
#                 it, no sound device is opened; the window resized to
#                 480 x 240 keeps the picture 4:3 between black bars; SIGTERM
#                 ends the demo with 0 and leaves the window shown. With
#                 --sound the song plays, and destroying the window ends the
#                 demo with 0. Bad ids, a missing window, no display: one
#                 line and exit code 2 or 1.
#   xscreensaver  the real xscreensaver daemon, run as an ordinary user (it
#                 starts no hack as root), with orvo --root as its only hack:
#                 -activate shows the scene on the whole 16:9 screen,
#                 letterboxed; -deactivate ends the hack within two seconds
#                 with exit code 0; no sound device was opened.
# Sound is watched through SDL's disk audio driver, which writes a file only
# once the demo opens a device. Every wait is bounded.
# shellcheck disable=SC2317 # the checks are called through wait_until
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"
require_tools Xvfb xdotool xdpyinfo xwininfo import convert
[ "$1" != xscreensaver ] || require_tools xscreensaver xscreensaver-command

case_name=$1
orvo=$(realpath "$2")
assets=$3
host_window=${4:-}
harness_begin "screensaver $case_name"
after_failure=finish
sanitizer_leak_check "$orvo"

sound=$work/sound.raw
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$sound
for f in 02.jpg 02a.jpg king.jpg s.s3m; do
    cp "$assets/$f" "$work/" || fail "no $f in $assets (the asset generator writes them at build time)"
done

orvo_ends_with_zero() { # seconds what
    orvo_exit "$1" && expect_exit_code 0 "$2"
}

# The borrowed window as the X server shows it.
window_shot() { import -window "$host" "$work/window.png" 2>/dev/null; }
scene_in_window() { window_shot && looks_like_scene "$work/window.png"; }

# 480 x 240 holds the 4:3 picture at 320 x 240 with 80 black columns either
# side; the host's white shows wherever the demo left a column undrawn.
letterboxed_480x240() {
    window_shot || return 1
    local left right middle
    left=$(convert "$work/window.png" -crop 76x240+0+0 -format "%[fx:maxima]" info:)
    right=$(convert "$work/window.png" -crop 76x240+404+0 -format "%[fx:maxima]" info:)
    middle=$(convert "$work/window.png" -crop 280x240+100+0 -format "%[fx:mean]" info:)
    awk -v l="$left" -v r="$right" -v m="$middle" 'BEGIN { exit !(l < 0.02 && r < 0.02 && m > 0.1) }'
}

sound_playing() { [ -s "$sound" ]; }

# Runs orvo with ARGUMENTS; it must end at once with CODE and one line on
# stderr (a refused argument's line is followed by the usage).
refused() { # code argument...
    local code=$1 rc=0
    shift
    start_orvo "$@"
    wait_exit 5 "$orvo_pid" || rc=$?
    [ "$rc" = "$code" ] || fail "orvo $*: exit code $rc, not $code"
    [ "$code" = 2 ] || [ "$(wc -l <"$work/stderr")" = 1 ] || fail "orvo $*: not one line on stderr: $(cat "$work/stderr")"
    [[ $(head -n1 "$work/stderr") == orvo:* || $code == 1 ]] || fail "orvo $*: $(head -n1 "$work/stderr")"
    echo "orvo $*: $rc, $(head -n1 "$work/stderr")"
}

case $case_name in
window-id)
    [ -x "$host_window" ] || fail "no host window program at $host_window"
    start_x 640x480x24
    "$host_window" 320 240 >"$work/host" &
    host_pid=$!
    wait_until 10 test -s "$work/host" || fail "the host window did not show"
    host=$(cat "$work/host")

    group "a borrowed 320 x 240 window: the scene, silent, following a resize"
    start_orvo --window-id "$host"
    every=0.5 while_alive=$orvo_pid wait_until 30 scene_in_window ||
        fail "no scene in the window within 30 s (black $black, grey $grey, red $red)"
    xdotool windowsize "$host" 480 240 || fail "xdotool can't resize the window"
    every=0.5 while_alive=$orvo_pid wait_until 10 letterboxed_480x240 || fail "not letterboxed in the resized window"
    ! sound_playing || fail "a sound device was opened without --sound"
    kill -TERM "$orvo_pid"
    orvo_ends_with_zero 2 "after SIGTERM"
    [[ $(xwininfo -id "$host") == *IsViewable* ]] || fail "the window is no longer shown after the demo ended"

    group "--sound is heard; the window destroyed ends the demo"
    start_orvo --window-id "$((host))" --sound
    while_alive=$orvo_pid wait_until 15 sound_playing || fail "no song within 15 s with --sound"
    stop "$host_pid"
    orvo_ends_with_zero 3 "after its window was destroyed"

    group "bad ids and displays"
    refused 2 --window-id xyz
    refused 2 --window-id 0
    XSCREENSAVER_WINDOW=zz refused 2 --root
    refused 1 --window-id 0x1fffff00
    DISPLAY='' refused 1 --root
    ;;
xscreensaver)
    # As root the daemon starts no hack: an ordinary user runs it, with a
    # home and runtime folder of its own under the work folder.
    if [ "$(id -u)" = 0 ]; then
        user="orvo-test"
        id "$user" >/dev/null 2>&1 || useradd --system --create-home "$user" || fail "no user $user"
        as_user() { runuser -u "$user" -- env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" "$@"; }
    else
        user=$(id -un)
        as_user() { env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" "$@"; }
    fi
    mkdir -p "$work/home" "$work/runtime"
    chmod 700 "$work/runtime"
    chmod a+x "$work"
    chmod a+r "$work"/*.jpg "$work"/*.s3m
    chown "$user" "$work/home" "$work/runtime" "$work"
    # The hack is orvo as the daemon starts it; the wrapper only passes the
    # daemon's SIGTERM on and keeps the exit code.
    cat >"$work/hack" <<EOF
#!/bin/sh
trap 'kill -TERM \$child' TERM
"$orvo" "\$@" & child=\$!
wait \$child
wait \$child
echo \$? >"$work/hack.rc"
EOF
    chmod a+rx "$work/hack"
    cat >"$work/home/.xscreensaver" <<EOF
timeout: 0:30:00
mode: one
selected: 0
lock: False
fade: False
unfade: False
splash: False
dpmsEnabled: False
grabDesktopImages: False
programs: $work/hack --root \\n
EOF
    chown "$user" "$work/home/.xscreensaver"
    unset WAYLAND_DISPLAY

    group "xscreensaver shows orvo --root and ends it"
    start_x 1280x720x24
    cd "$work" || fail "no work folder"  # where the hack finds the pictures and the song
    daemon_answers() { as_user xscreensaver-command -version >/dev/null 2>&1; }
    start_server 15 daemon_answers as_user xscreensaver -no-splash -verbose
    as_user xscreensaver-command -activate >/dev/null || fail "xscreensaver-command -activate failed"
    scene_on_screen() { screenshot "$work/shot.png" && looks_like_scene "$work/shot.png"; }
    every=0.5 wait_until 30 scene_on_screen ||
        fail "no scene within 30 s (black $black, grey $grey, red $red); the daemon said: $(tail -n 5 "$work/as_user.log")"
    letterboxed_1280x720 "$work/shot.png" || fail "not letterboxed on the 16:9 screen"
    ! sound_playing || fail "the hack opened a sound device"
    as_user xscreensaver-command -deactivate >/dev/null || fail "xscreensaver-command -deactivate failed"
    every=0.05 wait_until 2 test -s "$work/hack.rc" || fail "the hack still ran 2 s after -deactivate"
    [ "$(cat "$work/hack.rc")" = 0 ] || fail "the hack ended with exit code $(cat "$work/hack.rc"); the daemon said: $(tail -n 8 "$work/as_user.log")"
    ;;
*) fail "no such case: $case_name" ;;
esac
finish
