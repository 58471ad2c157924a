#!/usr/bin/env bash
# Measures the demo on an X server: time from start to the first presented
# scene frame, CPU use over 10 s of running, and peak memory.
#
#   tests/e2e/measure.sh ORVO ASSET_DIR
#
# Uses $DISPLAY if set, otherwise starts its own Xvfb (1024x768, depth 24).
# The song plays on SDL's dummy audio driver unless SDL_AUDIODRIVER is set.
set -euo pipefail
orvo=$(realpath "$1")
assets=$(realpath "$2")
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill -TERM "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cp "$assets"/02.jpg "$assets"/02a.jpg "$assets"/king.jpg "$assets"/s.s3m "$work/"
if [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$work/display" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$work/display")"
fi
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
cd "$work"

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
pid=$!
sleep 2
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
a=$(ticks)
sleep 10
b=$(ticks)
peak=$(awk '/VmHWM/ { print $2, $3 }' "/proc/$pid/status")
kill -TERM "$pid"
wait "$pid"
echo "CPU over 10 s: $(awk -v a="$a" -v b="$b" -v hz="$hz" 'BEGIN { printf "%.0f %% of one core", (b - a) / hz / 10 * 100 }')"
echo "peak resident memory: $peak"
