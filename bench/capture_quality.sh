#!/usr/bin/env bash
# How close orvo-render --video's frames are to its PNG frames: 5 s at 60 fps
# from clock time 0, each video frame decoded (BT.601, limited range, as the
# file is tagged) and compared with the PNG frame of the same index; prints
# the RGB PSNR over all frames and the bit rate, for the default settings
# and for each further set of options given as one argument.
#   bench/capture_quality.sh ORVO_RENDER ASSETS_DIR ["--preset superfast" "--master" ...]
set -euo pipefail
render=${1:?usage: capture_quality.sh ORVO_RENDER ASSETS_DIR [OPTIONS...]}
assets=${2:?usage: capture_quality.sh ORVO_RENDER ASSETS_DIR [OPTIONS...]}
shift 2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

form=(--fps 60 --duration 5 --start 0)
"$render" --assets "$assets" --out "$out/png" "${form[@]}"
for options in "" "$@"; do
  # shellcheck disable=SC2086
  "$render" --assets "$assets" --video "$out/v.mp4" "${form[@]}" $options
  psnr=$(ffmpeg -nostdin -i "$out/v.mp4" -framerate 60 -i "$out/png/frame-%06d.png" -lavfi \
    "[0:v]scale=in_color_matrix=bt601:in_range=tv,format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr=shortest=1" \
    -f null - 2>&1 | sed -n 's/.*PSNR \(.*\)/\1/p')
  echo "${options:-default}: $psnr; $(( $(stat -c %s "$out/v.mp4") * 8 / 5 / 1000 )) kbit/s"
done
