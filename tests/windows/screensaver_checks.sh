# shellcheck shell=bash
# orvo.scr, the screensaver, under wine on Xvfb; sourced by run.sh after
# wine_checks.sh, whose helpers it uses:
# - /s shows the scene, and a mouse move of 20 pixels ends it with 0;
# - /p HWND draws the scene into a 320 x 240 window of another program
#   (orvo_host_window.exe, white), silently, and ends with 0 once that
#   window is gone;
# - started with no argument, as Windows asks a screensaver for its
#   settings, it shows a message box, and ends with 0 when it is answered.

# A run folder with the program as the screensaver.
prepare_saver() { # case
    prepare_run "$1"
    mv "$run/orvo.exe" "$run/orvo.scr"
}

start_saver() { # argument...
    (cd "$run" && exec "${wine[@]}" orvo.scr "$@") >"$run/stdout" 2>"$run/stderr" &
    orvo_pid=$!
    started_at=$(date +%s.%N)
}

saver_ends_with_zero() { # seconds label
    orvo_exit "$1" || { fail "$2: still running ${1}s later"; return; }
    [ "$rc" -eq 0 ] || fail "$2: exit code $rc: $(head -c 400 "$run/stderr")"
}

# The host window's area of the screen: the scene, little of the host's white left.
preview_shown() {
    local white
    screenshot "$work/screen.png" && convert "$work/screen.png" -crop 320x240+40+40 +repage "$work/preview.png" &&
        looks_like_scene "$work/preview.png" || return 1
    white=$(convert "$work/preview.png" -fx '(r+g+b)>2.9 ? 1 : 0' -format '%[fx:mean]' info:)
    awk -v w="$white" 'BEGIN { exit !(w < 0.05) }'
}

message_box() { xdotool search --name '^Orvo$' >/dev/null 2>&1; }

check_screensaver() {
    group "orvo.scr /s: the scene until the mouse moves"
    prepare_saver saver
    if start_x 640x480x24; then
        xdotool mousemove 320 240
        start_saver /s
        if wait_picture; then
            sleep 2
            check_scene saver
            xdotool mousemove_relative 20 0 || fail "xdotool could not move the mouse"
            saver_ends_with_zero 5 "/s after a mouse move"
        else
            fail "/s: no picture within 60 s: $(head -c 600 "$run/stderr")"
        fi
    fi
    stop_x

    group "orvo.scr /p HWND: the scene in the preview window, until it goes"
    prepare_saver preview
    if start_x 640x480x24; then
        "${wine[@]}" "$build/tests/orvo_host_window.exe" >"$run/host" 2>/dev/null &
        local host_pid=$!
        if while_alive=$host_pid wait_until 60 test -s "$run/host"; then
            start_saver /p "$(tr -d '\r' <"$run/host")"
            every=0.5 while_alive=$orvo_pid wait_until 60 preview_shown ||
                fail "/p: no scene in the preview window within 60 s: $(head -c 600 "$run/stderr")"
            [ -z "${ORVO_WINE_KEEP_SHOTS:-}" ] || cp "$work/screen.png" "$ORVO_WINE_KEEP_SHOTS/shot-preview.png"
            stop "$host_pid"
            saver_ends_with_zero 10 "/p after its window was destroyed"
        else
            fail "the host window did not show within 60 s"
        fi
    fi
    stop_x

    group "orvo.scr with no argument: the no-settings message box"
    prepare_saver settings
    if start_x 640x480x24; then
        start_saver
        if while_alive=$orvo_pid wait_until 60 message_box; then
            xdotool key Return || fail "xdotool could not answer the message box"
            saver_ends_with_zero 10 "the settings box, answered"
        else
            fail "no message box named Orvo within 60 s: $(head -c 600 "$run/stderr")"
        fi
    fi
    stop_x
}
