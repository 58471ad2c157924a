#!/usr/bin/env bash
# The optional halves, each built where its package is missing: a tree of its
# own configured with a pkg-config search path that holds every .pc file of
# this machine but that package's (pkg-config is how the build looks for
# all three), building only the program that uses it.
#   ffmpeg   orvo-render builds with video_capture_none.cpp, renders frames,
#            and --video is refused in one line with exit code 2, no file left;
#   x11      orvo builds with sdl_window_manager_none.cpp: it needs neither
#            libX11 nor libXrandr, still Wayland's client; and on a bare X
#            server (Xvfb, when there is one) the window manager is
#            "unknown", so assumed: the window waits at 640 x 480 for a
#            fullscreen that nobody grants, where a build with X11 sees
#            there is none and covers the screen by its size;
#   wayland  orvo builds with sdl_wayland_seat_none.cpp: no libwayland-client,
#            still X11's, and on the bare X server it covers the screen;
# and either orvo answers --version and, with no display, says so in one
# line with exit code 1.
#   without_packages.sh SOURCE_DIR TREE ASSETS_DIR [CMAKE_ARGUMENTS...]
set -euo pipefail
usage="usage: without_packages.sh SOURCE_DIR TREE ASSETS_DIR [CMAKE_ARGUMENTS...]"
source_dir=${1:?$usage} tree=${2:?$usage} assets=${3:?$usage}
shift 3
cmake_arguments=("$@")

# shellcheck source-path=SCRIPTDIR source=../support/harness.sh
. "$(dirname "$(realpath "$0")")/../support/harness.sh"
harness_begin "without packages"
out=$work x11_size="" wayland_size=""

# configure_without CASE PATTERN TARGET: the case's tree, configured where
# no .pc file whose name matches PATTERN (alternatives split by |) is seen, and TARGET built in it.
configure_without() {
  local pc=$tree/$1/pkgconfig dir file search
  rm -rf "$pc"
  mkdir -p "$pc"
  IFS=: read -ra search <<<"$(pkg-config --variable pc_path pkg-config)"
  for dir in "${search[@]}"; do
    for file in "$dir"/*.pc; do
      [ -e "$file" ] || continue
      [[ ${file##*/} == @($2) ]] && continue
      [ -e "$pc/${file##*/}" ] || ln -s "$file" "$pc/"
    done
  done
  if ! PKG_CONFIG_LIBDIR=$pc PKG_CONFIG_PATH='' cmake -S "$source_dir" -B "$tree/$1/build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_TESTS=OFF -DORVO_BUILD_BENCHMARKS=OFF "${cmake_arguments[@]}" \
    >"$tree/$1/configure.log" 2>&1; then
    cat "$tree/$1/configure.log" >&2
    fail "configure"
    return 1
  fi
  if ! nice cmake --build "$tree/$1/build" --target "$3" >"$tree/$1/build.log" 2>&1; then
    tail -30 "$tree/$1/build.log" >&2
    fail "build"
    return 1
  fi
}

# The libraries a program names as needed, one a line.
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }

# orvo's checks common to the window-system cases: --version, and no display.
check_orvo() {
  local orvo=$1 code=0
  [ "$("$orvo" --version)" = "orvo $(sed -n 's/^project(orvo VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")" ] ||
    fail "--version said: $("$orvo" --version)"
  (cd "$assets" && env -u DISPLAY -u WAYLAND_DISPLAY "$orvo" >"$out/stdout" 2>"$out/stderr") || code=$?
  [ "$code" = 1 ] || fail "no display: exit code $code, not 1"
  [ "$(wc -l <"$out/stderr")" = 1 ] || fail "no display: not one line: $(cat "$out/stderr")"
}

# Sets size to orvo's window on a bare X server, "WIDTHxHEIGHT"; "" without Xvfb.
window_on_bare_x() {
  size=""
  command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xwininfo >/dev/null || return 0
  [ -n "${x_pid:-}" ] || start_x 1024x768x24 || return 0
  (cd "$assets" && exec "$1" >/dev/null 2>"$out/bare-x.stderr") &
  orvo_pid=$!
  while_alive=$orvo_pid wait_until 10 demo_window || true
  # A window manager, were there one, would have answered by now; the window
  # may have been made again for another renderer meanwhile.
  sleep 1
  if demo_window; then
    size=$(xwininfo -id "$window" | sed -n 's/.*Width: \([0-9]*\)/\1/p; s/.*Height: \([0-9]*\)/x\1/p' | tr -d '\n')
  else
    size="no window: $(cat "$out/bare-x.stderr")"
  fi
  stop "$orvo_pid"
}

group "without FFmpeg"
if configure_without ffmpeg 'libav*.pc|libsw*.pc|libpostproc.pc' orvo-render; then
  render=$tree/ffmpeg/build/tools/render/orvo-render
  code=0
  "$render" --assets "$assets" --video "$out/v.mp4" --duration 0.1 >"$out/stdout" 2>"$out/stderr" || code=$?
  expected="orvo-render: this build can't write video: FFmpeg's development files (libavcodec, libavformat,"
  expected+=" libavutil, libswscale) were not found when it was configured"
  [ "$code" = 2 ] || fail "--video: exit code $code, not 2"
  [ "$(cat "$out/stderr")" = "$expected" ] || fail "--video said: $(cat "$out/stderr")"
  if [ -e "$out/v.mp4" ] || [ -e "$out/v.mp4.part" ]; then fail "--video left a file"; fi
  "$render" --assets "$assets" --out "$out/frames" --times 0 >/dev/null || fail "the frame form"
  [ -s "$out/frames/frame-000000.png" ] || fail "no frame written"
  libraries=$(needed "$render")
  [[ $libraries != *libav* ]] || fail "orvo-render needs FFmpeg's libraries: $libraries"
fi

group "without X11"
if configure_without x11 'x11.pc|x11-*.pc|xrandr.pc' orvo; then
  orvo=$tree/x11/build/src/driver/orvo
  libraries=$(needed "$orvo")
  [[ $libraries != *libX11* && $libraries != *libXrandr* ]] || fail "orvo needs X11's libraries: $libraries"
  [[ $libraries == *libwayland-client* ]] || fail "orvo lost Wayland's client library: $libraries"
  check_orvo "$orvo"
  window_on_bare_x "$orvo"
  x11_size=$size
  [ -z "$x11_size" ] || [ "$x11_size" = 640x480 ] || fail "on a bare X server the window is $x11_size, not 640x480"
fi

group "without Wayland"
if configure_without wayland 'wayland-client.pc' orvo; then
  orvo=$tree/wayland/build/src/driver/orvo
  libraries=$(needed "$orvo")
  [[ $libraries != *libwayland* ]] || fail "orvo needs Wayland's client library: $libraries"
  [[ $libraries == *libX11* ]] || fail "orvo lost X11's libraries: $libraries"
  check_orvo "$orvo"
  window_on_bare_x "$orvo"
  wayland_size=$size
  [ -z "$wayland_size" ] || [ "$wayland_size" = 1024x768 ] ||
    fail "on a bare X server the window is $wayland_size, not 1024x768"
fi

close_group
if [ -n "${x11_size:-}" ]; then
  echo "on a bare X server: without X11 the window waits at $x11_size (a window manager assumed)," \
    "with X11 it covers the screen ($wayland_size)"
else
  echo "skipped: no Xvfb, xdotool or xwininfo for the bare X server's checks"
fi
finish
