# shellcheck shell=bash
# orvo.scr, the screensaver, under wine on Xvfb; sourced by run.sh after
# wine_checks.sh, whose helpers it uses:
# - /s shows the scene, and a mouse move of 20 pixels ends it with 0;
# - /p HWND runs silently in a 320 x 240 window of another program
#   (orvo_host_window.exe) and ends with 0 once that window is gone; a
#   handle that names no window gives one line and 1;
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

message_box() { xdotool search --name '^Orvo$' >/dev/null 2>&1; }

check_screensaver() {
    group "orvo.scr /s: the scene until the mouse moves"
    # A wineserver whose desktop starts on the X server (as check_whole_program's).
    end_wine
    start_wineserver || { fail "no wineserver of our own"; return; }
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

    # wine shows nothing that a process draws into another's window (it
    # draws into the top window's surface, which is the other process's),
    # so the picture itself is not looked for here.
    group "orvo.scr /p HWND: runs silently in the preview window until it goes"
    prepare_saver preview
    if start_x 640x480x24; then
        "${wine[@]}" "$build/tests/orvo_host_window.exe" >"$run/host" 2>/dev/null &
        local host_pid=$!
        if while_alive=$host_pid wait_until 60 test -s "$run/host"; then
            start_saver /p "$(tr -d '\r' <"$run/host")"
            sleep 8
            if gone "$orvo_pid"; then
                wait "$orvo_pid"
                fail "/p: ended by itself with $?: $(head -c 400 "$run/stderr")"
            fi
            stop "$host_pid"
            saver_ends_with_zero 10 "/p after its window was destroyed"
            [ ! -s "$run/stderr" ] || fail "/p: said $(head -c 400 "$run/stderr")"
        else
            fail "the host window did not show within 60 s"
        fi
        # A handle that names no window: one line, exit code 1.
        start_saver /p:4242
        if orvo_exit 60; then
            [ "$rc" -eq 1 ] || fail "/p:4242: exit code $rc"
            one_line_on_stderr "/p:4242"
        else
            fail "/p:4242: still running after 60 s"
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
