# shellcheck shell=bash disable=SC2034 # it sets variables for the scripts that source it
# What the whole-program shell tests (tests/e2e, tests/windows, tests/web,
# tests/package) and measure.sh share: one contract for X11, Wayland and
# wine, where what only one environment needs carries its name as a prefix
# (wayland_, wine_). Sourced, then `harness_begin NAME`. Checks come in
# groups (`group`); `fail` says why on stderr and marks its group failed,
# then runs $after_failure if set (a script that stops at its first failure
# sets it to `finish`); `finish` closes with "NAME: N passed, N failed" and
# exits 1 when a group failed. Every wait is bounded. At exit the `at_exit`
# commands run, every background job of the script ends (TERM, KILL 5 s
# later) and the work folder, $work, goes.

passed=0 failed=0 group_name="" group_failed=0
harness_at_exit=()

harness_begin() { # name
    harness_name=$1
    work=$(mktemp -d "${TMPDIR:-/tmp}/orvo-test.XXXXXX")
    trap harness_cleanup EXIT
}

harness_cleanup() {
    set +e
    local command jobs
    for command in "${harness_at_exit[@]}"; do "$command"; done
    jobs=$(jobs -rp)
    [ -z "$jobs" ] || stop $jobs
    rm -rf "$work"
}

at_exit() { harness_at_exit+=("$1"); } # command

# Exit 77, CTest's skip, where a tool is missing.
require_tools() { # tool...
    local tool
    for tool; do
        command -v "$tool" >/dev/null 2>&1 && continue
        echo "skipped: no $tool (./scripts/install-deps.sh test desktops installs it)"
        exit 77
    done
}

group() { # text
    close_group
    group_name=$1 group_failed=0
    echo "== $1" >&2
}

close_group() {
    [ -n "$group_name" ] || return 0
    if [ "$group_failed" = 1 ]; then failed=$((failed + 1)); else passed=$((passed + 1)); fi
    group_name=""
}

fail() { # text
    echo "FAIL: $*" >&2
    if [ -n "$group_name" ]; then group_failed=1; else failed=$((failed + 1)); fi
    [ -z "${after_failure:-}" ] || "$after_failure"
}

finish() {
    close_group
    echo "$harness_name: $passed passed, $failed failed" >&2
    exit $((failed > 0))
}

# Runs COMMAND every $every seconds (0.1 unless set) until it succeeds: 0.
# 1 once SECONDS are spent, counted in tries so that a slow COMMAND gets as
# many as a quick one; 2 at once when the process $while_alive names ends.
wait_until() { # seconds command...
    local tries
    tries=$(awk -v s="$1" -v e="${every:-0.1}" 'BEGIN { print int(s / e + 0.5) }')
    shift
    while :; do
        "$@" && return 0
        [ -z "${while_alive:-}" ] || kill -0 "$while_alive" 2>/dev/null || return 2
        [ "$tries" -gt 0 ] || return 1
        tries=$((tries - 1))
        sleep "${every:-0.1}"
    done
}

gone() { ! kill -0 "$@" 2>/dev/null; }

# Ends processes started here: TERM, then KILL for those still there 5 s later.
stop() { # pid...
    local pid
    kill -TERM "$@" 2>/dev/null || :
    every=0.01 wait_until 5 gone "$@" || kill -KILL "$@" 2>/dev/null || :
    for pid; do wait "$pid" 2>/dev/null || :; done
}

# Waits up to SECONDS for PID, a child, to end; returns its exit code, or
# 124 (as timeout(1) does) after killing it when it is still running.
wait_exit() { # seconds pid
    local rc late=0
    every=0.05 wait_until "$1" gone "$2" || { late=1; kill -KILL "$2" 2>/dev/null || :; }
    wait "$2" 2>/dev/null && rc=0 || rc=$?
    [ "$late" = 0 ] || rc=124
    return "$rc"
}

# Starts COMMAND in the background, its output in $work/NAME.log (NAME
# $server_log if set, else its first word), and waits up to SECONDS until
# READY (a command) succeeds; sets server_pid. Otherwise shows the log and
# fails.
start_server() { # seconds ready command...
    local seconds=$1 ready=$2 log
    shift 2
    log=$work/${server_log:-$(basename "$1")}.log
    "$@" >"$log" 2>&1 &
    server_pid=$!
    while_alive=$server_pid wait_until "$seconds" "$ready" && return 0
    tail -n 20 "$log" >&2
    fail "not ready within $seconds s: $*"
    return 1
}

# A PulseAudio server of our own with one null sink, paced like a sound card,
# so the song a program plays can be recorded from its monitor (wine's, or a
# program under emulation that has no sound device of its own).
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

# A frame's RGB bytes as one hash, whatever the PNG's own encoding.
frame_rgb() { convert "$1" -depth 8 rgb:- 2>/dev/null | sha1sum | cut -d' ' -f1; } # file

# --- X11

# A private X server on a display number it chooses itself; sets DISPLAY and x_pid.
start_x() { # WxHxDEPTH
    : >"$work/display"
    start_server 10 x_answers Xvfb -displayfd 9 -screen 0 "$1" -nolisten tcp -noreset 9>"$work/display"
    local status=$?
    x_pid=$server_pid
    return "$status"
}

x_answers() {
    [ -s "$work/display" ] || return 1
    DISPLAY=":$(head -n1 "$work/display")"
    export DISPLAY
    xdpyinfo >/dev/null 2>&1
}

# A window manager (openbox unless named: icewm, fluxbox, jwm), once it has
# announced itself on the root window.
start_wm() { # [name]
    case ${1:-openbox} in
    openbox) start_server 10 wm_announced openbox --sm-disable ;;
    icewm | fluxbox | jwm) start_server 10 wm_announced "$1" ;;
    *) fail "no such window manager here: $1" ;;
    esac
}

wm_announced() { [[ $(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null) == *"window id"* ]]; }

# True when the demo's window is mapped; sets window.
demo_window() {
    window=$(xdotool search --onlyvisible --name "Orvo - Esc to exit" 2>/dev/null || true)
    window=${window%%$'\n'*}
    [ -n "$window" ]
}

screenshot() { import -window root "$1" 2>/dev/null; } # file

# Fractions of a screenshot's pixels that are black, grey and red (sets
# black, grey and red); true when they look like the demo's scene.
looks_like_scene() { # file
    local small=$work/small.png
    convert "$1" -sample 256x192 "$small"
    black=$(convert "$small" -fx "(r+g+b)<0.06 ? 1 : 0" -format "%[fx:mean]" info:)
    grey=$(convert "$small" -fx "(abs(r-g)<0.08 && abs(g-b)<0.08 && r>0.15 && r<0.95) ? 1 : 0" -format "%[fx:mean]" info:)
    red=$(convert "$small" -fx "(r>0.35 && r>2*g && r>2*b) ? 1 : 0" -format "%[fx:mean]" info:)
    awk -v b="$black" -v g="$grey" -v r="$red" 'BEGIN { exit !(b < 0.5 && g > 0.01 && r > 0.01) }'
}

# True when a 1280 x 720 screenshot holds the 4:3 picture letterboxed: 960
# columns of picture with 160 black ones either side.
letterboxed_1280x720() { # file
    local left right middle
    left=$(convert "$1" -crop 150x720+0+0 -format "%[fx:maxima]" info:)
    right=$(convert "$1" -crop 150x720+1130+0 -format "%[fx:maxima]" info:)
    middle=$(convert "$1" -crop 900x720+190+0 -format "%[fx:mean]" info:)
    echo "bars: left max $left, right max $right; picture mean $middle"
    awk -v l="$left" -v r="$right" -v m="$middle" 'BEGIN { exit !(l < 0.02 && r < 0.02 && m > 0.1) }'
}

pixels_changed() { compare -metric AE "$1" "$2" null: 2>&1 || true; } # file file

# --- The demo, in every environment (X11, Wayland, wine)
#
# The script sets orvo (the program). orvo_command, an array, is how this
# environment starts it (the program itself unless set: the Wayland and wine
# helpers set it), run_dir the folder it starts in ($work unless set); what
# it writes goes to $work/stdout and $work/stderr. Every check below fails
# with one line that says why and then returns 1.

# In sanitizer builds the leak check at exit stays on, with the system
# libraries' own leaks suppressed (lsan_suppressions.txt), so the
# window-system questions' connections and lists are checked for release.
# "off" turns it off: where SDL's Wayland driver draws through Mesa's GL, that
# driver is unloaded before exit, and what it leaves (with the Wayland
# proxies SDL 2.26 never destroys) can no longer be named in a suppression.
sanitizer_leak_check() { # program [off]
    local libraries suppressions
    # (Through a variable: a grep that stops reading early would fail the
    # pipe under pipefail while ldd still writes.)
    libraries=$(ldd "$1" 2>/dev/null || true)
    [[ $libraries == *libasan* ]] || return 0
    suppressions=$(realpath "$(dirname "${BASH_SOURCE[0]}")/lsan_suppressions.txt")
    export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
    [ "${2:-}" != off ] || export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
}

# Begins a case that ends at its first failure, showing what the demo said
# on $work/stderr. The leak check is off only in the Wayland cases that draw
# through Mesa's GL; the seat check runs there too, and weston-no-seat checks
# it alone.
demo_case_begin() { # name group program
    harness_begin "$1"
    after_failure=end_case
    group "$2"
    if [[ $1 == wayland\ * && $2 != weston-no-seat ]]; then
        sanitizer_leak_check "$3" off
    else
        sanitizer_leak_check "$3"
    fi
}

end_case() {
    show_demo_stderr
    finish
}

show_demo_stderr() { [ ! -s "$work/stderr" ] || { echo "--- orvo's stderr:" && head -c 4000 "$work/stderr"; } >&2; }

start_orvo() { # argument...
    if [ -z "${orvo_command+set}" ]; then orvo_command=("$orvo"); fi
    (cd "${run_dir:-$work}" && exec "${orvo_command[@]}" "$@") >"$work/stdout" 2>"$work/stderr" &
    orvo_pid=$!
}

# Waits up to SECONDS for the demo to end; sets rc (124 when it was still
# running and had to be killed, which fails).
orvo_exit() { # seconds
    wait_exit "$1" "$orvo_pid"
    rc=$?
    [ "$rc" != 124 ] || { fail "still running $1 s later"; return 1; }
}

expect_exit_code() { # code what
    [ "$rc" -eq "$1" ] || { fail "exit code $rc $2"; return 1; }
}

one_line_on_stderr() {
    local lines
    lines=$(wc -l <"$work/stderr")
    [ "$lines" -eq 1 ] || { fail "expected one line on stderr, got $lines: $(head -c 600 "$work/stderr")"; return 1; }
    echo "stderr: $(cat "$work/stderr")"
}

nothing_on_stderr() { [ ! -s "$work/stderr" ] || { fail "wrote on stderr"; return 1; }; }

# Waits until the demo's X window is mapped; sets window.
wait_window() {
    local status=0
    while_alive=$orvo_pid wait_until 30 demo_window || status=$?
    [ "$status" != 2 ] || { fail "ended before its window showed"; return 1; }
    [ "$status" = 0 ] || { fail "no window within 30 s"; return 1; }
}

shoot() { screenshot "$work/$1.png" || { fail "no screenshot"; return 1; }; } # name

# Copies $work/NAME.png to $ORVO_E2E_KEEP_SHOTS/LABEL.png when that is set.
keep_shot() { [ -z "${ORVO_E2E_KEEP_SHOTS:-}" ] || cp "$work/$1.png" "$ORVO_E2E_KEEP_SHOTS/$2.png"; } # name label

scene_shown() { shoot shot && looks_like_scene "$work/shot.png"; }

# Takes screenshots until one shows the scene, for up to SECONDS (30 unless
# given: a sanitizer build on a busy machine takes a while to draw its first
# frames, wine longer); the last is $work/shot.png, kept as LABEL.
check_scene() { # label [seconds]
    local status=0 seconds=${2:-30}
    black=- grey=- red=-
    every=0.5 while_alive=$orvo_pid wait_until "$seconds" scene_shown || status=$?
    [ "$status" != 2 ] || { fail "ended while drawing"; return 1; }
    [ "$status" = 0 ] || { fail "no scene within $seconds s (black $black, grey $grey, red $red)"; return 1; }
    keep_shot shot "$1"
    echo "$1: black $black, grey $grey, red $red"
}

screen_moved() {
    shoot after
    [ "$(pixels_changed "$work/before.png" "$work/after.png")" != 0 ]
}

# True when the screen changes within SECONDS (5 unless given).
screen_changes() { # [seconds]
    shoot before
    every=0.2 wait_until "${1:-5}" screen_moved
}

# True when two screenshots a second apart are the same; sets changed.
screen_still_for_a_second() {
    shoot still1
    sleep 1
    shoot still2
    changed=$(pixels_changed "$work/still1.png" "$work/still2.png")
    [ "$changed" = 0 ]
}

# Escape on the X server's keyboard, held for 200 ms (wine reads the key as
# it is at each poll), must end the demo with exit code 0 within SECONDS (2
# unless given).
press_escape_and_expect_zero() { # [seconds]
    local pressed
    pressed=$(date +%s%N)
    { xdotool keydown Escape && sleep 0.2 && xdotool keyup Escape; } || fail "xdotool could not send Escape"
    orvo_exit "${1:-2}" && expect_exit_code 0 "after Escape" || return 1
    echo "Escape: ended with 0 within $((($(date +%s%N) - pressed) / 1000000)) ms of the key going down"
}

# Kills the server SERVER_PID (a compositor) while the demo runs: the demo
# must end within 5 s (it should take under one: the time is printed) with
# one line on stderr and exit code 1.
kill_server_and_expect_end() { # server_pid what
    local killed
    kill -0 "$orvo_pid" 2>/dev/null || { fail "the demo was not running"; return 1; }
    kill -KILL "$1"
    killed=$(date +%s%N)
    orvo_exit 5 || return 1
    echo "$2 killed: the demo ended $((($(date +%s%N) - killed) / 1000000)) ms later with $rc"
    expect_exit_code 1 "once $2 was gone" && one_line_on_stderr
}

# --- Wayland compositors (tests/e2e/wayland_e2e.sh, measure.sh)

# A session of the test's own: no X display (a nested compositor's is
# given to it alone), no session bus of the caller's, a runtime folder of
# its own. With `user`, an ordinary user (made if missing; root only) owns
# the runtime folder and runs the compositor and the demo, for compositors
# that refuse root; as_user is the command prefix that runs as that user.
wayland_session() { # [user]
    unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER SDL_RENDER_DRIVER SDL_AUDIODRIVER DBUS_SESSION_BUS_ADDRESS
    runtime=$work/runtime socket=orvo-test as_user=()
    mkdir -m 700 "$runtime"
    export XDG_RUNTIME_DIR=$runtime
    [ "${1:-}" = user ] && [ "$(id -u)" -eq 0 ] || return 0
    local name=orvo-test
    id "$name" >/dev/null 2>&1 || useradd --system --create-home "$name" ||
        { echo "skipped: no user $name, and useradd can't make one"; exit 77; }
    chown "$name:" "$runtime"
    chmod 711 "$work"
    as_user=(setpriv --reuid="$name" --regid="$name" --init-groups
        env HOME="$(getent passwd "$name" | cut -d: -f6)" USER="$name" LOGNAME="$name")
}

# True when the compositor's socket in $runtime ($socket, or the first
# wayland-N when $socket is empty: it picks the name) lists its globals,
# kept in $work/globals.
wayland_answers() {
    local found
    if [ -z "$socket" ]; then
        for found in "$runtime"/wayland-*; do
            [ -S "$found" ] && socket=${found##*/} && break
        done
        [ -n "$socket" ] || return 1
    fi
    [ -S "$runtime/$socket" ] && WAYLAND_DISPLAY=$socket timeout 5 wayland-info >"$work/globals" 2>/dev/null
}

# Starts the compositor COMMAND (as_user's), its log $work/NAME.log, and
# waits until it answers; sets compositor_pid, and orvo_command as a user's
# session starts the demo: DISPLAY unset, WAYLAND_DISPLAY naming the
# compositor, XDG_RUNTIME_DIR where its socket is, nothing else of ours.
wayland_start() { # name command...
    local name=$1
    shift
    server_log=$name start_server 30 wayland_answers "${as_user[@]}" "$@" || return 1
    compositor_pid=$server_pid
    orvo_command=("${as_user[@]}" env -u DISPLAY WAYLAND_DISPLAY="$socket" "$orvo")
}

# weston with the given options and a panel-less shell (the panel's clock
# would change the screen while the demo is still).
wayland_start_weston() { # option...
    printf '[shell]\npanel-position=none\n' >"$work/weston.ini"
    wayland_start weston weston --socket="$socket" --config="$work/weston.ini" --idle-time=0 "$@"
}

# weston nested in a new Xvfb, its X window its one output.
wayland_start_nested_weston() { # renderer-option|"" scale width height
    local scale=$2 width=$3 height=$4
    start_x "$((width * scale))x$((height * scale))x24" || return 1
    wayland_start_weston --backend=x11-backend.so --width="$width" --height="$height" --scale="$scale" ${1:+"$1"} ||
        return 1
    nested_window=$(sed -n 's/.*x11 output .*, window id \([0-9]*\).*/\1/p' "$work/weston.log" | sed -n 1p)
    wayland_focus_nested
}

# A wlroots compositor (sway, cage) nested in a new Xvfb through wlroots'
# X11 backend, its window the only one on the X server.
wayland_start_wlroots() { # name command...
    start_x 1024x768x24 || return 1
    socket=""
    wayland_start "$1" env WLR_BACKENDS=x11 DISPLAY="$DISPLAY" "${@:2}" || return 1
    nested_window=$(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p' | sed -n 1p)
    wayland_focus_nested
}

# Gives the nested compositor's X window the X input focus, long before any
# key: a compositor reads the keys already down when the focus arrives as
# held, not typed. Sets nested_window.
wayland_focus_nested() {
    [ -n "$nested_window" ] || { fail "the compositor named no X window"; return 1; }
    xdotool windowfocus --sync "$nested_window" || { fail "the compositor's window can't take the focus"; return 1; }
}

# sway, as the session's user (it refuses root): no bar, no Xwayland, a
# black background. Sets swaymsg, the command that talks to it.
wayland_start_sway() {
    printf '%s\n' 'output * bg #000000 solid_color' 'default_border none' 'xwayland disable' >"$work/sway.config"
    chmod 644 "$work/sway.config"
    wayland_start_wlroots sway sway --config "$work/sway.config" || return 1
    local ipc
    ipc=$(find "$runtime" -maxdepth 1 -name 'sway-ipc.*.sock' -print -quit)
    swaymsg=("${as_user[@]}" swaymsg --socket "$ipc")
}

# cage, the kiosk compositor: its own application (a sleep, ended on the
# way out: cage leaves it behind) waits while the demo is the one window it
# shows.
wayland_start_cage() {
    wayland_start_wlroots cage cage -- sleep 600 || return 1
    at_exit wayland_stop_cage_application
}

wayland_stop_cage_application() {
    local pid
    for pid in $(pgrep -P "$compositor_pid" -x sleep); do kill "$pid"; done
}

# A compositor that needs a session bus (mutter, kwin), with a bus of its
# own, in a session and process group of its own that at_exit ends.
wayland_start_with_session_bus() { # name command...
    wayland_start "$1" setsid dbus-run-session -- "${@:2}" || return 1
    compositor_group=$server_pid
    at_exit wayland_stop_compositor_group
}

wayland_stop_compositor_group() {
    kill -TERM -- "-$compositor_group" 2>/dev/null
    every=0.1 wait_until 5 gone "$compositor_group" || kill -KILL -- "-$compositor_group" 2>/dev/null
}

# Debian gives kwin_wayland a file capability (cap_sys_resource); where that
# can't be granted (a container's bounding set), exec fails. A copy carries
# no capability and runs the same. Sets kwin, or skips.
wayland_find_kwin() {
    kwin=$(command -v kwin_wayland)
    "$kwin" --version >/dev/null 2>&1 && return 0
    cp "$kwin" "$work/kwin_wayland" || { echo "skipped: kwin_wayland can't be run or copied"; exit 77; }
    kwin=$work/kwin_wayland
    "$kwin" --version >/dev/null 2>&1 || { echo "skipped: kwin_wayland does not run here"; exit 77; }
    echo "kwin_wayland's file capability can't be granted here: running a copy without it"
}

# --- wine (tests/windows, tests/package, measure.sh)

# A private, temporary prefix, booted, with one wineserver of our own (see
# wine_start_server); sets wine, the command that runs a Windows program.
# Without address randomization, as the unit tests run (see
# cmake/mingw-w64.cmake): wine 8 fails to start now and then otherwise.
wine_begin() {
    export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" HOME=$work/home
    export XDG_RUNTIME_DIR=$work/run
    mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    unset DISPLAY WAYLAND_DISPLAY
    wine=(setarch x86_64 -R "$(command -v wine64 || command -v wine)")
    at_exit wine_end
    wine_start_server || return 1
    timeout 180 "${wine[@]}" wineboot -i >/dev/null 2>&1 || { fail "wineboot"; return 1; }
}

# Ends every wine program of the prefix, and the server.
wine_end() {
    timeout 20 wineserver -k 2>/dev/null
    timeout 20 wineserver -w 2>/dev/null
}

# One wineserver for the whole run, started before any program. A server that
# a program starts itself is Debian's "wineserver -p0": it shuts down the
# moment no program runs, as between two test cases, and a program starting
# in that moment has its connection reset ("wine client error:0: recvmsg:
# Connection reset by peer") or is killed with the server. This one stays
# until 300 s after the last program; it must be the only one.
wine_start_server() {
    mkdir -p "$WINEPREFIX"
    wineserver -p 300 || { fail "a wineserver already runs for $WINEPREFIX"; return 1; }
}

# A new wineserver, whose desktop process starts on the X server started
# next (wine's desktop starts with the first program).
wine_restart_server() {
    wine_end
    wine_start_server
}

# Ends the X server; wine's X11 driver lives in wineserver's clients: they
# leave with it, and a new server waits for the next X server.
wine_stop_x() {
    wine_end
    [ -z "${x_pid:-}" ] || stop "$x_pid"
    x_pid=""
    unset DISPLAY
    wine_start_server
}

# A folder for one run of orvo.exe from FOLDER (the program and its assets,
# copied there unless it is FOLDER itself); sets run_dir and orvo_command.
wine_prepare_run() { # folder [name]
    if [ -n "${2:-}" ]; then
        run_dir=$work/run-$2
        mkdir -p "$run_dir"
        cp "$1"/{orvo.exe,02.jpg,02a.jpg,king.jpg,s.s3m} "$run_dir/"
    else
        run_dir=$1
    fi
    orvo_command=("${wine[@]}" orvo.exe)
}

