# shellcheck shell=bash
# The checks that tests/windows/run.sh runs, one function each; sourced by it
# after tests/support/harness.sh (it sets out, build, host, wine and end_wine).

simd_paths=(plain sse2 avx2 avx512)

# Ends every wine program of the prefix, and the server.
end_wine() {
    timeout 20 wineserver -k 2>/dev/null
    timeout 20 wineserver -w 2>/dev/null
}

# One wineserver for the whole run, started before any program. A server that
# a program starts itself is Debian's "wineserver -p0": it shuts down the
# moment no program runs, as between two test cases, and a program starting
# in that moment has its connection reset ("wine client error:0: recvmsg:
# Connection reset by peer") or is killed with the server. This one stays
# until 300 s after the last program; it must be the only one.
start_wineserver() {
    mkdir -p "$WINEPREFIX"
    wineserver -p 300 || { fail "a wineserver already runs for $WINEPREFIX"; return 1; }
}

# Windows' own DLLs: what a statically linked MinGW program may import.
check_imports() {
    group "imports"
    local exe dll
    for exe in "$out/orvo.exe" "$out/orvo-render.exe"; do
        while read -r dll; do
            case "${dll,,}" in
            kernel32.dll | user32.dll | gdi32.dll | winmm.dll | msvcrt.dll | advapi32.dll | ole32.dll | \
                shell32.dll | ws2_32.dll | bcrypt.dll | api-ms-win-*) ;;
            *) fail "$(basename "$exe") imports $dll, not a Windows system DLL" ;;
            esac
        done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
        echo "$(basename "$exe") imports: $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
            tr '\n' ' ')" >&2
    done
    # ddraw.dll is loaded at run time, never imported.
    x86_64-w64-mingw32-objdump -p "$out/orvo.exe" >"$work/imports"
    grep -qi 'DLL Name: ddraw' "$work/imports" && fail "orvo.exe imports ddraw.dll"
}

# 64-bit MinGW keeps the stack 16-byte aligned only: an aligned move of a
# 256- or 512-bit register to or from the stack would fault. The build has
# the assembler turn every such move into an unaligned one.
check_vector_moves() {
    group "no aligned 256/512-bit moves"
    local exe count
    for exe in "$out"/*.exe "$build"/tests/*.exe; do
        count=$(x86_64-w64-mingw32-objdump -d "$exe" | grep -cE 'vmov(dqa|aps|apd)[0-9]*[[:space:]].*%[yz]mm')
        [ "$count" -eq 0 ] || fail "$(basename "$exe") has $count aligned 256/512-bit moves"
    done
}

check_unit_suite() {
    local path
    for path in "${simd_paths[@]}"; do
        group "unit suite under wine, ORVO_SIMD=$path"
        ORVO_SIMD=$path timeout 1800 ctest --test-dir "$build" -j 2 --output-on-failure \
            >"$work/ctest-$path.log" 2>&1 || {
            grep -B2 -A30 -E '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception' "$work/ctest-$path.log" | sed -n '1,120p' >&2
            fail "unit suite on $path"
        }
        grep -E 'tests passed|tests failed' "$work/ctest-$path.log" >&2
    done
}

# The raw RGB of a frame file, for comparing what the frames show.
frame_rgb() { convert "$1" -depth 8 rgb:- 2>/dev/null | sha1sum | cut -d' ' -f1; }

check_golden_frames() {
    local times="-5000,0,0,1234,-1,987654,-2147483648" path n linux_frames
    linux_frames=$work/frames-linux
    group "frames from the Linux orvo-render"
    (cd "$host/assets" &&
        timeout 300 "$host/tools/render/orvo-render" --assets . --out "$linux_frames" --times "$times" &&
        timeout 300 "$host/tools/render/orvo-render" --assets . --out "$linux_frames/fps" --fps 25 --duration 2 \
            --start 8000) || { fail "the Linux orvo-render failed"; return; }
    for path in "${simd_paths[@]}"; do
        group "golden frames from orvo-render.exe, ORVO_SIMD=$path"
        local frames=$work/frames-$path
        (cd "$host/assets" &&
            ORVO_SIMD=$path timeout 300 "${wine[@]}" "$out/orvo-render.exe" --assets . --out "$frames" --times "$times" &&
            ORVO_SIMD=$path timeout 300 "${wine[@]}" "$out/orvo-render.exe" --assets . --out "$frames/fps" --fps 25 \
                --duration 2 --start 8000) >"$work/render.log" 2>&1 || {
            cat "$work/render.log" >&2
            fail "orvo-render.exe failed on $path"
            continue
        }
        local differ=0 total=0
        for n in "$linux_frames"/frame-*.png "$linux_frames"/fps/frame-*.png; do
            total=$((total + 1))
            local name=${n#"$linux_frames"/}
            [ "$(frame_rgb "$n")" = "$(frame_rgb "$frames/$name")" ] || { differ=$((differ + 1)); echo "differs: $name" >&2; }
        done
        [ "$total" -eq 57 ] || fail "expected 57 frames, got $total"
        [ "$differ" -eq 0 ] && echo "$total frames identical to the Linux build's" >&2
        [ "$differ" -eq 0 ] || fail "$differ of $total frames differ from the Linux build's on $path"
    done
}

# --- The whole program under Xvfb.

stop_x() {
    # wine's X11 driver lives in wineserver's clients: they leave with it.
    end_wine
    [ -z "$x_pid" ] || stop "$x_pid"
    x_pid=""
    unset DISPLAY
    start_wineserver || fail "no wineserver of our own"
}

# A PulseAudio server of our own with one null sink, paced like a sound card,
# so the song that wine plays can be recorded from its monitor.
start_pulse() {
    export PULSE_SERVER=unix:$work/pulse.sock
    start_server 10 pulse_answers pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit \
        --use-pid-file=no --load="module-native-protocol-unix socket=$work/pulse.sock auth-anonymous=1" \
        --load="module-null-sink sink_name=orvo" --load="module-always-sink" || return
    pulse_pid=$server_pid
    pactl set-default-sink orvo >/dev/null 2>&1
}

pulse_answers() { timeout 5 pactl info >/dev/null 2>&1; }

stop_pulse() {
    stop "$pulse_pid"
    unset PULSE_SERVER
}

# A folder with the program and its assets; $1 names the case.
prepare_run() {
    run=$work/run-$1
    mkdir -p "$run"
    cp "$out/orvo.exe" "$out"/{02.jpg,02a.jpg,king.jpg,s.s3m} "$run/"
}

start_orvo() {
    (cd "$run" && exec "${wine[@]}" orvo.exe) >"$run/stdout" 2>"$run/stderr" &
    orvo_pid=$!
    started_at=$(date +%s.%N)
}

# Waits up to $1 seconds for orvo to end; sets rc (124 if it is still running).
orvo_exit() {
    wait_exit "$1" "$orvo_pid"
    rc=$?
    [ "$rc" != 124 ]
}

picture_shown() {
    screenshot "$work/probe.png" &&
        [ "$(convert "$work/probe.png" -format '%[fx:maxima]' info: 2>/dev/null)" != "0" ]
}

# Waits up to 60 s for the screen to show something but black.
wait_picture() {
    while_alive=$orvo_pid wait_until 60 picture_shown || return 1
    first_frame=$(echo "$(date +%s.%N) - $started_at" | bc)
}

# Fractions of the screenshot's pixels that are black, grey and red (the
# checks of the Linux whole-program tests).
check_scene() { # label
    screenshot "$work/shot.png" || { fail "$1: no screenshot"; return; }
    [ -z "${ORVO_WINE_KEEP_SHOTS:-}" ] || cp "$work/shot.png" "$ORVO_WINE_KEEP_SHOTS/shot-$1.png"
    if looks_like_scene "$work/shot.png"; then
        echo "$1: black $black, grey $grey, red $red" >&2
    else
        fail "$1: not the scene (black $black, grey $grey, red $red)"
    fi
}

# Escape held for 200 ms: the key is read as it is at each poll.
press_escape_and_expect_zero() { # label
    { xdotool keydown Escape && sleep 0.2 && xdotool keyup Escape; } || fail "$1: xdotool could not send Escape"
    orvo_exit 5 || { fail "$1: still running 5 s after Escape"; return; }
    [ "$rc" -eq 0 ] || fail "$1: exit code $rc after Escape"
}

one_line_on_stderr() { # label
    local lines
    lines=$(wc -l <"$run/stderr")
    [ "$lines" -eq 1 ] || fail "$1: expected one line on stderr, got $lines: $(head -c 600 "$run/stderr")"
    echo "$1: $(head -n1 "$run/stderr")" >&2
}

cpu_seconds() { # pid: user + system CPU seconds so far
    awk '{ print ($14 + $15) / 100 }' "/proc/$1/stat" 2>/dev/null || echo 0
}

check_whole_program() {
    group "orvo.exe under Xvfb, 640 x 480 x 24, song on a PulseAudio null sink"
    # A new wineserver, whose desktop process starts on the X server: the
    # one from wineboot started with no display.
    end_wine
    start_wineserver || { fail "no wineserver of our own"; return; }
    # Every run has the sound server, so wine's sound drivers have nothing
    # to say on stderr.
    start_pulse || return
    prepare_run scene
    if start_x 640x480x24; then
        parecord --device=orvo.monitor --rate=44100 --channels=2 --format=s16le --file-format=wav \
            "$work/song.wav" >"$work/parecord.log" 2>&1 &
        local rec_pid=$!
        start_orvo
        if wait_picture; then
            sleep 3
            local cpu_before cpu_after
            cpu_before=$(cpu_seconds "$orvo_pid")
            sleep 5
            cpu_after=$(cpu_seconds "$orvo_pid")
            echo "start to first frame: ${first_frame} s; CPU over 5 s: $(echo "($cpu_after - $cpu_before) * 20" | bc) %" >&2
            check_scene depth24
            press_escape_and_expect_zero depth24
        else
            fail "depth 24: no picture within 60 s: $(head -c 600 "$run/stderr")"
        fi
        kill -INT "$rec_pid" 2>/dev/null
        wait_exit 10 "$rec_pid"
        check_song
    fi
    stop_x

    group "a broken king.jpg"
    prepare_run bad-king
    head -c 3000 /dev/urandom >"$run/king.jpg"
    if start_x 640x480x24; then
        start_orvo
        orvo_exit 60 || fail "bad king: still running after 60 s"
        [ "$rc" -eq 1 ] || fail "bad king: exit code $rc"
        one_line_on_stderr "bad king"
        grep -q "^can't open the display" "$run/stderr" && fail "bad king: the display's line, not the decoder's"
    fi
    stop_x

    group "no mode can be set (an 800 x 600 screen)"
    prepare_run no-mode
    if start_x 800x600x24; then
        start_orvo
        orvo_exit 60 || fail "no mode: still running after 60 s"
        [ "$rc" -eq 1 ] || fail "no mode: exit code $rc"
        one_line_on_stderr "no mode"
        grep -q "^can't open the display: " "$run/stderr" || fail "no mode: not display open's line"
    fi
    stop_x

    group "a 16-bit screen: the RGB565 converter"
    prepare_run depth16
    if start_x 640x480x16; then
        start_orvo
        if wait_picture; then
            sleep 2
            check_scene depth16
            press_escape_and_expect_zero depth16
        else
            fail "depth 16: no picture within 60 s: $(head -c 600 "$run/stderr")"
        fi
    fi
    stop_x
    stop_pulse

    # No sound server, and the test machine has no sound card: waveOut has no
    # device. (Pointing wine's sound drivers at a missing device instead
    # makes the display's window fail under wine 8.)
    group "no sound server: the demo runs silently"
    prepare_run no-sound
    if start_x 640x480x24; then
        start_orvo
        if wait_picture; then
            sleep 1
            check_scene no-sound
            press_escape_and_expect_zero no-sound
        else
            fail "no sound device: no picture within 60 s: $(head -c 600 "$run/stderr")"
        fi
    fi
    stop_x
}

# The recording is not silent in either channel.
check_song() {
    [ -s "$work/song.wav" ] || { fail "no audio recorded: $(head -c 400 "$work/parecord.log")"; return; }
    local left right
    left=$(sox "$work/song.wav" -n remix 1 stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
    right=$(sox "$work/song.wav" -n remix 2 stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
    echo "song: $(stat -c %s "$work/song.wav") bytes, RMS left ${left:-?}, right ${right:-?}" >&2
    awk -v l="${left:-0}" -v r="${right:-0}" 'BEGIN { exit !(l > 0.001 && r > 0.001) }' ||
        fail "the recorded song is silent (RMS left $left, right $right)"
}
