#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Orvo
# need, asking apt only for those that are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  libjpeg62-turbo-dev libpng-dev libsdl2-dev libopenmpt-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
  clang-format clang-tidy
  libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
)
if [ "${1:-}" = "--test" ]; then
  # Whole-program tests: a real X server, key presses, screenshots, audio checks.
  packages+=(xvfb xdotool imagemagick sox x11-utils openbox icewm fluxbox jwm)
  # The fuzz targets: clang with its libFuzzer and sanitizer runtimes.
  packages+=(clang libclang-rt-14-dev)
  # The packages' tests: their checkers, the zips, the Windows resources.
  packages+=(lintian desktop-file-utils appstream zip unzip icoutils bc)
  # Wayland compositors the demo is tested under, their session bus and
  # Mesa's GL drivers (the software rasterizer they and the demo draw with);
  # wayland-utils' wayland-info tells what a compositor offers (a keyboard).
  packages+=(weston mutter kwin-wayland dbus dbus-user-session wayland-utils x11-xserver-utils libgl1-mesa-dri)
fi

missing=()
for p in "${packages[@]}"; do
  # One line per installed architecture (arm64 beside amd64 after
  # scripts/build-arm64.sh): the machine's own copy, or an arch-all one, counts.
  status=$(dpkg-query -W -f='${Architecture} ${Status}\n' "$p" 2>/dev/null || true)
  [[ $'\n'$status == *$'\n'@(all|$(dpkg --print-architecture))" install ok installed"* ]] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}" >&2
# Another apt run (an unattended upgrade, a second build) may hold the lock
# for a while: wait for it rather than fail.
lock_wait=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${lock_wait[@]}" update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
