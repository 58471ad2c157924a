#!/usr/bin/env bash
# How fast orvo-render --video captures: the whole capture and each stage
# (orvo-render's own --stats), the CPU time it took and the file's bit rate.
# Without options: 5 s at 60 fps for each of --scale 1, 2 and 4, with and
# without --for-upload. With options: 10 s at 60 fps with those.
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
capture() {
  local seconds=$1
  shift
  echo "== $*"
  time "$render" --assets "$assets" --video "$out/capture.mp4" --duration "$seconds" --stats "$@" >/dev/null
  echo "file: $(stat -c %s "$out/capture.mp4") bytes, $(($(stat -c %s "$out/capture.mp4") * 8 / seconds / 1000)) kbit/s"
}
if [ $# -gt 0 ]; then
  capture 10 "$@"
  exit 0
fi
for scale in 1 2 4; do
  capture 5 --start 30000 --scale "$scale"
  capture 5 --start 30000 --scale "$scale" --for-upload
done
