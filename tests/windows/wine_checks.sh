# shellcheck shell=bash
# The checks that tests/windows/run.sh runs, one function each; sourced by it
# after tests/support/harness.sh (it sets out, build and host, and begins wine).

simd_paths=(plain sse2 avx2 avx512)

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

# Each group below ends at its first failure (the harness's checks return 1).
check_whole_program() {
    group "orvo.exe under Xvfb, 640 x 480 x 24, song on a PulseAudio null sink"
    # A new wineserver, whose desktop process starts on the X server: the
    # one from wineboot started with no display.
    wine_restart_server || return
    # Every run has the sound server, so wine's sound drivers have nothing
    # to say on stderr.
    start_pulse || return
    wine_prepare_run "$out" scene
    if start_x 640x480x24; then
        parecord --device=orvo.monitor --rate=44100 --channels=2 --format=s16le --file-format=wav \
            "$work/song.wav" >"$work/parecord.log" 2>&1 &
        local rec_pid=$!
        start_orvo
        check_scene wine-depth24 60 && press_escape_and_expect_zero 5 || show_demo_stderr
        kill -INT "$rec_pid" 2>/dev/null
        wait_exit 10 "$rec_pid"
        check_song
    fi
    wine_stop_x

    group "a broken king.jpg"
    wine_prepare_run "$out" bad-king
    head -c 3000 /dev/urandom >"$run_dir/king.jpg"
    if start_x 640x480x24; then
        start_orvo
        orvo_exit 60 && expect_exit_code 1 "for a broken king.jpg" && one_line_on_stderr &&
            { ! grep -q "^can't open the display" "$work/stderr" || fail "the display's line, not the decoder's"; }
    fi
    wine_stop_x

    group "no mode can be set (an 800 x 600 screen)"
    wine_prepare_run "$out" no-mode
    if start_x 800x600x24; then
        start_orvo
        orvo_exit 60 && expect_exit_code 1 "with no mode" && one_line_on_stderr &&
            { grep -q "^can't open the display: " "$work/stderr" || fail "not display open's line"; }
    fi
    wine_stop_x

    group "a 16-bit screen: the RGB565 converter"
    wine_prepare_run "$out" depth16
    if start_x 640x480x16; then
        start_orvo
        check_scene wine-depth16 60 && press_escape_and_expect_zero 5 || show_demo_stderr
    fi
    wine_stop_x
    stop_pulse

    # No sound server, and the test machine has no sound card: waveOut has no
    # device. (Pointing wine's sound drivers at a missing device instead
    # makes the display's window fail under wine 8.)
    group "no sound server: the demo runs silently"
    wine_prepare_run "$out" no-sound
    if start_x 640x480x24; then
        start_orvo
        check_scene wine-no-sound 60 && press_escape_and_expect_zero 5 || show_demo_stderr
    fi
    wine_stop_x
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
