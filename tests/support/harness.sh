# shellcheck shell=bash disable=SC2034 # it sets variables for the scripts that source it
# What the whole-program shell tests (tests/e2e, tests/windows, tests/web)
# share; sourced, then `harness_begin NAME`. Checks come in groups (`group`);
# `fail` says why on stderr and marks its group failed, then runs
# $after_failure if set (a script that stops at its first failure sets it to
# `finish`); `finish` closes with "NAME: N passed, N failed" and exits 1 when
# a group failed. Every wait is bounded. At exit the `at_exit` commands run,
# every background job of the script ends (TERM, KILL 5 s later) and the work
# folder, $work, goes.

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
        echo "skipped: no $tool (./scripts/install-deps.sh --test installs it)"
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

# Starts COMMAND in the background, its output in $work/NAME.log (NAME its
# first word), and waits up to SECONDS until READY (a command) succeeds; sets
# server_pid. Otherwise shows the log and fails.
start_server() { # seconds ready command...
    local seconds=$1 ready=$2 log
    shift 2
    log=$work/$(basename "$1").log
    "$@" >"$log" 2>&1 &
    server_pid=$!
    while_alive=$server_pid wait_until "$seconds" "$ready" && return 0
    tail -n 20 "$log" >&2
    fail "not ready within $seconds s: $*"
    return 1
}

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

# --- The demo's whole-program cases (tests/e2e)

# Begins a case that ends at its first failure, showing what the demo said
# on $work/stderr. In sanitizer builds the leak check at exit stays on, with
# the system libraries' own leaks suppressed (lsan_suppressions.txt), so the
# window-system questions' connections and lists are checked for release. It
# goes off only where SDL's Wayland driver draws through Mesa's GL: that
# driver is unloaded before exit, and what it leaves (with the Wayland
# proxies SDL 2.26 never destroys) can no longer be named in a suppression.
# There the seat check runs too; weston-no-seat checks it alone.
demo_case_begin() { # name group program
    local libraries suppressions
    harness_begin "$1"
    after_failure=end_case
    group "$2"
    # (Through a variable: a grep that stops reading early would fail the
    # pipe under pipefail while ldd still writes.)
    libraries=$(ldd "$3" 2>/dev/null || true)
    suppressions=$(dirname "${BASH_SOURCE[0]}")/lsan_suppressions.txt
    [[ $libraries != *libasan* ]] || export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
    [[ $libraries != *libasan* || $1 != wayland\ * || $2 == weston-no-seat ]] ||
        export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
}

end_case() {
    [ -s "$work/stderr" ] && { echo "--- orvo's stderr:" && head -c 4000 "$work/stderr"; } >&2
    finish
}
