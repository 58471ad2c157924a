#!/usr/bin/env bash
# How close orvo-render --video's frames are to its PNG frames: 5 s at 60 fps
# from clock time 0, each video frame decoded (by the matrix the file is
# tagged with, limited range), shrunk back by the file's scale (each N x N
# block averaged) and compared with the PNG frame of the same index; prints
# the RGB PSNR over all frames and the bit rate, for the default settings
# and for each further set of options given as one argument.
#   bench/capture_quality.sh ORVO_RENDER ASSETS_DIR ["--preset superfast" "--for-upload" ...]
set -euo pipefail
render=${1:?usage: capture_quality.sh ORVO_RENDER ASSETS_DIR [OPTIONS...]}
assets=${2:?usage: capture_quality.sh ORVO_RENDER ASSETS_DIR [OPTIONS...]}
shift 2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

form=(--fps 60 --duration 5 --start 0)
"$render" --assets "$assets" --out "$out/png" "${form[@]}" >/dev/null
for options in "" "$@"; do
  # shellcheck disable=SC2086
  "$render" --assets "$assets" --video "$out/v.mp4" "${form[@]}" $options >/dev/null
  width=$(ffprobe -v error -select_streams v:0 -show_entries stream=width -of csv=p=0 "$out/v.mp4")
  matrix=bt601
  [ "$width" -gt 640 ] && matrix=bt709
  psnr=$(ffmpeg -nostdin -i "$out/v.mp4" -framerate 60 -i "$out/png/frame-%06d.png" -lavfi \
    "[0:v]scale=in_color_matrix=$matrix:in_range=tv,format=rgb24,scale=640:480:flags=area[a];[1:v]format=rgb24[b];[a][b]psnr=shortest=1" \
    -f null - 2>&1 | sed -n 's/.*PSNR \(.*\)/\1/p')
  echo "${options:-default}: ${width} wide: $psnr; $(($(stat -c %s "$out/v.mp4") * 8 / 5 / 1000)) kbit/s"
done
