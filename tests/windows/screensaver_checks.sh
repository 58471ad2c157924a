# shellcheck shell=bash
# orvo.scr, the screensaver, under wine on Xvfb; sourced by run.sh after
# the harness's wine helpers:
# - /s shows the scene, and a mouse move of 20 pixels ends it with 0;
# - /p HWND runs silently in a 320 x 240 window of another program
#   (orvo_host_window.exe) and ends with 0 once that window is gone; a
#   handle that names no window gives one line and 1;
# - started with no argument, as Windows asks a screensaver for its
#   settings, it shows a message box, and ends with 0 when it is answered.

# A run folder with the program as the screensaver; start_orvo starts it.
wine_prepare_saver() { # case
    wine_prepare_run "$out" "$1"
    mv "$run_dir/orvo.exe" "$run_dir/orvo.scr"
    orvo_command=("${wine[@]}" orvo.scr)
}

wine_message_box() { xdotool search --onlyvisible --name '^Orvo$' >/dev/null 2>&1; }

# Return, pressed again each second for up to 10 s until the program ends:
# the box can be on the screen a moment before it takes keys.
wine_answer_message_box() {
    local tries
    for tries in 1 2 3 4 5 6 7 8 9 10; do
        xdotool key Return || return 1
        sleep 1
        gone "$orvo_pid" && return 0
    done
}

check_screensaver() {
    group "orvo.scr /s: the scene until the mouse moves"
    # A wineserver whose desktop starts on the X server (as check_whole_program's).
    wine_restart_server || return
    wine_prepare_saver saver
    if start_x 640x480x24; then
        xdotool mousemove 320 240
        start_orvo /s
        if check_scene wine-saver 60; then
            xdotool mousemove_relative 20 0 || fail "xdotool could not move the mouse"
            orvo_exit 5 && expect_exit_code 0 "/s after a mouse move"
        fi
        show_demo_stderr
    fi
    wine_stop_x

    # wine shows nothing that a process draws into another's window (it
    # draws into the top window's surface, which is the other process's),
    # so the picture itself is not looked for here.
    group "orvo.scr /p HWND: runs silently in the preview window until it goes"
    wine_prepare_saver preview
    if start_x 640x480x24; then
        "${wine[@]}" "$build/tests/orvo_host_window.exe" >"$work/host" 2>/dev/null &
        local host_pid=$!
        if while_alive=$host_pid wait_until 60 test -s "$work/host"; then
            start_orvo /p "$(tr -d '\r' <"$work/host")"
            sleep 8
            if gone "$orvo_pid"; then
                wait "$orvo_pid"
                fail "/p: ended by itself with $?: $(head -c 400 "$work/stderr")"
            fi
            stop "$host_pid"
            orvo_exit 10 && expect_exit_code 0 "/p after its window was destroyed" && nothing_on_stderr
        else
            fail "the host window did not show within 60 s"
        fi
        # A handle that names no window: one line, exit code 1.
        start_orvo /p:4242
        orvo_exit 60 && expect_exit_code 1 "for /p:4242" && one_line_on_stderr
    fi
    wine_stop_x

    group "orvo.scr with no argument: the no-settings message box"
    wine_prepare_saver settings
    if start_x 640x480x24; then
        start_orvo
        if while_alive=$orvo_pid wait_until 60 wine_message_box; then
            wine_answer_message_box || fail "xdotool could not answer the message box"
            orvo_exit 10 && expect_exit_code 0 "after the settings box was answered"
        else
            fail "no message box named Orvo within 60 s: $(head -c 600 "$work/stderr")"
        fi
    fi
    wine_stop_x
}
