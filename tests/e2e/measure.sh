#!/usr/bin/env bash
# Measures the live demo on an X server: time from start to the first
# presented scene frame, CPU use over 10 s of running, peak memory, and the
# time from the Escape key to the end of the process (median of 5).
#
#   tests/e2e/measure.sh ORVO ASSET_DIR [--wm] [--screen WxH] [--audio-soak SECONDS]
#
# Starts its own Xvfb (1024x768, depth 24, unless --screen says otherwise);
# --wm runs openbox on it as a desktop would. The song plays on SDL's disk
# audio driver, which paces itself roughly as a sound card does (a sleep of
# one period after each, so it drifts behind the wall clock by its own
# overhead) and writes what it plays to a file; --audio-soak also plays the
# song that long and checks every sample frame written against libopenmpt's
# own render of the song (a device that ran dry would show a gap).
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"
orvo=$(realpath "$1")
assets=$(realpath "$2")
shift 2
with_wm=0
screen=1024x768
soak=0
while [ $# -gt 0 ]; do
    case $1 in
    --wm) with_wm=1 ;;
    --screen) screen=$2; shift ;;
    --audio-soak) soak=$2; shift ;;
    *) echo "measure.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

harness_begin measure
cp "$assets"/02.jpg "$assets"/02a.jpg "$assets"/king.jpg "$assets"/s.s3m "$work/"
start_x "${screen}x24"
[ "$with_wm" = 0 ] || start_wm
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw"
cd "$work"
echo "screen $screen, $([ "$with_wm" = 1 ] && echo "openbox" || echo "no window manager")"

now_ns() { date +%s%N; }

wait_window() {
    every=0.05 wait_until 15 demo_window && return
    echo "measure.sh: no window within 15 s" >&2
    exit 1
}

# 1. Start to first scene frame: from the exec to the main thread's second
# sched_yield, which present makes right after each flip (the first follows
# the black page of start-up).
strace -f -ttt -o trace -e trace=execve,sched_yield timeout 5 "$orvo" >/dev/null 2>&1 || true
main=$(awk '/execve\("[^"]*\/orvo"/ { print $1; exit }' trace)
awk -v main="$main" '
    $1 == main && /execve\(/ && !t0 { t0 = $2 }
    $1 == main && /sched_yield/ { if (++n == 2) { printf "start to first scene frame: %.0f ms\n", ($2 - t0) * 1000; exit } }
' trace

# 2. CPU use over 10 s, from 2 s after start; 3. peak memory (VmHWM).
"$orvo" 2>/dev/null &
orvo_pid=$!
sleep 2
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

# 4. Escape to exit, five times: from the moment xdotool has sent the key
# (press and release flushed to the X server) to the moment the process is
# gone; in brackets from just before xdotool starts, which adds its own
# start-up and connection.
times=()
whole=()
for _ in 1 2 3 4 5; do
    "$orvo" 2>/dev/null &
    orvo_pid=$!
    wait_window
    sleep 1
    t0=$(now_ns)
    xdotool key Escape
    t1=$(now_ns)
    wait "$orvo_pid" || true
    t2=$(now_ns)
    times+=($(((t2 - t1) / 1000000)))
    whole+=($(((t2 - t0) / 1000000)))
done
median() { printf '%s\n' "$@" | sort -n | sed -n 3p; }
echo "Escape to exit: median $(median "${times[@]}") ms (runs: $(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')ms; with xdotool's start: median $(median "${whole[@]}") ms)"

# 5. The song against the wall clock, and against libopenmpt's own render:
# every sample frame the device took must be the song's next one.
song_compare=$(dirname "$orvo")/../../tests/orvo_song_compare
if [ "$soak" -gt 0 ]; then
    rm -f audio.raw
    "$orvo" 2>/dev/null &
    orvo_pid=$!
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
