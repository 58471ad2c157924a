#!/usr/bin/env bash
# orvo-render where FFmpeg's development files are missing: a tree configured
# with a pkg-config search path that holds every .pc file of this machine but
# FFmpeg's. The configure succeeds, orvo-render builds and renders frames, and
# --video is refused in one line with exit code 2, leaving no file.
#   no_ffmpeg.sh SOURCE_DIR TREE ASSETS_DIR [CMAKE_ARGUMENTS...]
set -euo pipefail
source_dir=${1:?usage: no_ffmpeg.sh SOURCE_DIR TREE ASSETS_DIR [CMAKE_ARGUMENTS...]}
tree=${2:?} assets=${3:?}
shift 3

# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"
harness_begin "without FFmpeg"
after_failure=finish

pc=$tree/pkgconfig
rm -rf "$pc"
mkdir -p "$pc"
IFS=: read -ra search <<<"$(pkg-config --variable pc_path pkg-config)"
for dir in "${search[@]}"; do
  for file in "$dir"/*.pc; do
    [ -e "$file" ] || continue
    case ${file##*/} in libav* | libsw* | libpostproc*) continue ;; esac
    [ -e "$pc/${file##*/}" ] || ln -s "$file" "$pc/"
  done
done
export PKG_CONFIG_LIBDIR=$pc PKG_CONFIG_PATH=
pkg-config --exists libavcodec && fail "FFmpeg is still visible to pkg-config"

cmake -S "$source_dir" -B "$tree/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_TESTS=OFF \
  -DORVO_BUILD_BENCHMARKS=OFF "$@" >"$tree/configure.log" 2>&1 || { cat "$tree/configure.log"; fail "configure"; }
nice cmake --build "$tree/build" --target orvo-render >"$tree/build.log" 2>&1 || { tail -30 "$tree/build.log"; fail "build"; }
render=$tree/build/tools/render/orvo-render

out=$work
code=0
"$render" --assets "$assets" --video "$out/v.mp4" --duration 0.1 >"$out/stdout" 2>"$out/stderr" || code=$?
expected="orvo-render: this build can't write video: FFmpeg's development files (libavcodec, libavformat,"
expected+=" libavutil, libswscale) were not found when it was configured"
[ "$code" = 2 ] || fail "--video: exit code $code, not 2"
[ "$(cat "$out/stderr")" = "$expected" ] || fail "--video said: $(cat "$out/stderr")"
[ "$(wc -l <"$out/stderr")" = 1 ] || fail "--video wrote more than one line"
[ ! -e "$out/v.mp4" ] && [ ! -e "$out/v.mp4.part" ] || fail "--video left a file"
"$render" --assets "$assets" --out "$out/frames" --times 0 >/dev/null || fail "the frame form"
[ -s "$out/frames/frame-000000.png" ] || fail "no frame written"
echo "without FFmpeg: configured, built, --video refused with exit code 2, frames written"
