#!/usr/bin/env bash
# Measures the live demo: time from start to the first scene frame on the
# screen and from the Escape key to the end of the process (median of 5
# each), CPU use over 10 s of running, peak memory. The whole-program tests
# only test; the figures of docs/performance.md come from here.
#
#   tests/e2e/measure.sh ORVO ASSET_DIR [--wm [NAME] | --weston [pixman] | --mutter | --kwin | --wine DIR]
#                        [--screen WxH] [--audio-soak SECONDS]
#
# Starts its own Xvfb (1024x768, depth 24, unless --screen says otherwise);
# --wm runs a window manager on it as a desktop would (openbox, or the one
# named: icewm, fluxbox, jwm); --weston runs weston on it instead (its X11
# backend, GL or pixman, one output the screen's size) and the demo as a
# Wayland client; --mutter and --kwin run those headless (no X screen: CPU
# and memory only); --wine runs DIR's orvo.exe (build/windows) under wine,
# Escape held as the wine tests hold it.
# The first frame is the first moment the screen's centre shows something
# other than black and what it showed before (orvo_first_frame_probe polls
# it every 4 ms). The song plays on SDL's disk audio driver, which paces
# itself roughly as a sound card does (a sleep of one period after each, so
# it drifts behind the wall clock by its own overhead) and writes what it
# plays to a file; --audio-soak also plays the song that long and checks
# every sample frame written against libopenmpt's own render of the song (a
# device that ran dry would show a gap).
# shellcheck disable=SC2119 # defaults stand for arguments
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"
orvo=$(realpath "$1")
assets=$(realpath "$2")
shift 2
wm=""
screen=1024x768
soak=0
while [ $# -gt 0 ]; do
    case $1 in
    --wm)
        wm=openbox
        case ${2:-} in openbox | icewm | fluxbox | jwm) wm=$2; shift ;; esac
        ;;
    --weston)
        wm=weston
        [ "${2:-}" = pixman ] && { wm=weston-pixman; shift; }
        ;;
    --mutter | --kwin) wm=${1#--} ;;
    --wine) wm=wine windows=$(realpath "$2"); shift ;;
    --screen) screen=$2; shift ;;
    --audio-soak) soak=$2; shift ;;
    *) echo "measure.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
probe=$(dirname "$orvo")/../../tests/orvo_first_frame_probe
[ -x "$probe" ] || { echo "measure.sh: no $probe (build the target orvo_first_frame_probe)" >&2; exit 1; }

harness_begin measure
after_failure=finish
cp "$assets"/02.jpg "$assets"/02a.jpg "$assets"/king.jpg "$assets"/s.s3m "$work/"
orvo_command=("$orvo")
x_screen=1
case $wm in
weston | weston-pixman)
    wayland_session
    renderer=""
    [ "$wm" = weston ] || renderer=--use-pixman
    wayland_start_nested_weston "$renderer" 1 "${screen%x*}" "${screen#*x}"
    ;;
mutter)
    wayland_session
    x_screen=0
    wayland_start_with_session_bus mutter mutter --headless --wayland --no-x11 --virtual-monitor "$screen" \
        --wayland-display="$socket"
    ;;
kwin)
    wayland_session
    x_screen=0
    wayland_find_kwin
    wayland_start_with_session_bus kwin "$kwin" --virtual --no-lockscreen --socket "$socket" \
        --width "${screen%x*}" --height "${screen#*x}"
    ;;
wine)
    wine_begin
    wine_restart_server
    wine_prepare_run "$windows" measure
    start_x "${screen}x24"
    ;;
*)
    start_x "${screen}x24"
    [ -z "$wm" ] || start_wm "$wm"
    ;;
esac
sleep 1 # some window managers still paint the root window after announcing themselves
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
cd "$work"
echo "screen $screen, ${wm:-no window manager}"

now_ns() { date +%s%N; }
median() { printf '%s\n' "$@" | sort -n | sed -n 3p; }
sorted() { printf '%s\n' "$@" | sort -n | tr '\n' ' '; }

# Escape as the tests send it: held for 200 ms under wine (which reads the
# key as it is at each poll), pressed and released elsewhere.
escape() {
    if [ "$wm" = wine ]; then xdotool keydown Escape && sleep 0.2 && xdotool keyup Escape; else xdotool key Escape; fi
}

# 1. Start to first scene frame and Escape to exit, five times each: from
# the fork before the exec to the first frame seen; from the moment xdotool
# has sent the key (pressed and, but under wine, released, flushed to the X
# server) to the moment the probe saw the process gone. Only on an X screen.
if [ "$x_screen" = 1 ]; then
    firsts=()
    ends=()
    for _ in 1 2 3 4 5; do
        rm -f probe.out # the background job makes it anew only once it starts
        (cd "${run_dir:-$work}" && exec "$probe" "${orvo_command[@]}") >probe.out 2>/dev/null &
        probe_pid=$!
        every=0.05 wait_until 60 grep -qs "first frame" probe.out || { echo "measure.sh: no first frame" >&2; exit 1; }
        firsts+=("$(awk '/first frame/ { print $4 }' probe.out)")
        sleep 1
        escape
        t1=$(now_ns)
        wait "$probe_pid" || true
        ends+=($((($(awk '/ended at/ { print $3 }' probe.out) - t1) / 1000000)))
        sleep 0.5
    done
    echo "start to first scene frame: median $(median "${firsts[@]}") ms (runs: $(sorted "${firsts[@]}")ms)"
    echo "Escape to exit: median $(median "${ends[@]}") ms (runs: $(sorted "${ends[@]}")ms)"
fi

# 2. CPU use over 10 s, from 3 s after start (wine starts slowly); 3. peak
# memory (VmHWM).
start_orvo
sleep 3
ticks() { awk '{ print $14 + $15 }' "/proc/$orvo_pid/stat"; }
hz=$(getconf CLK_TCK)
a=$(ticks)
sleep 10
b=$(ticks)
peak=$(awk '/VmHWM/ { print $2, $3 }' "/proc/$orvo_pid/status")
kill -TERM "$orvo_pid"
wait "$orvo_pid" || true
echo "CPU over 10 s: $(awk -v a="$a" -v b="$b" -v hz="$hz" 'BEGIN { printf "%.0f %% of one core", (b - a) / hz / 10 * 100 }')"
echo "peak resident memory: $peak"

# 4. The song against the wall clock, and against libopenmpt's own render:
# every sample frame the device took must be the song's next one.
song_compare=$(dirname "$orvo")/../../tests/orvo_song_compare
if [ "$soak" -gt 0 ]; then
    rm -f audio.raw
    start_orvo
    wait_window
    t0=$(now_ns)
    size0=$(stat -c %s audio.raw 2>/dev/null || echo 0)
    sleep "$soak"
    size1=$(stat -c %s audio.raw)
    t1=$(now_ns)
    kill -TERM "$orvo_pid"
    wait "$orvo_pid" || true
    awk -v s0="$size0" -v s1="$size1" -v t0="$t0" -v t1="$t1" 'BEGIN {
        played = (s1 - s0) / 4 / 44100; wall = (t1 - t0) / 1e9
        printf "song over %.1f s of wall clock: %.2f s written (%.2f %%)\n", wall, played, played / wall * 100 }'
    [ -x "$song_compare" ] && "$song_compare" s.s3m audio.raw
fi
