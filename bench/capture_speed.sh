#!/usr/bin/env bash
# How fast orvo-render --video captures: the whole capture and each stage
# (orvo-render's own --stats), plus the CPU time it took, for 10 s of video
# at 60 fps with the default settings unless other options are given.
#   bench/capture_speed.sh ORVO_RENDER ASSETS_DIR [orvo-render options...]
set -euo pipefail
exec 2>&1
render=${1:?usage: capture_speed.sh ORVO_RENDER ASSETS_DIR [options...]}
assets=${2:?usage: capture_speed.sh ORVO_RENDER ASSETS_DIR [options...]}
shift 2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
TIMEFORMAT="wall %R s, CPU %U s user + %S s system"
time "$render" --assets "$assets" --video "$out/capture.mp4" --duration 10 --stats "$@"
echo "file: $(stat -c %s "$out/capture.mp4") bytes"
