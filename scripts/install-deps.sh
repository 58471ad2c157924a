#!/usr/bin/env bash
# Installs the Debian 12 packages that a task needs, asking apt only for those
# that are missing. The lists, by need:
#   run       build and start the demo (scripts/run.sh): the default
#   video     orvo-render --video (FFmpeg's development files)
#   test      the test and benchmark builds, the source checks, an X server to test on
#   desktops  the window managers and Wayland compositors the demo is tested under
#   fuzz      the fuzz targets (clang with its libFuzzer and sanitizer runtimes)
#   packages  checking the downloads
# The cross builds install their own toolchains (scripts/build-windows.sh,
# scripts/build-web.sh).
set -euo pipefail

declare -A lists
lists[run]="g++ cmake ninja-build pkg-config ccache libjpeg62-turbo-dev libpng-dev libsdl2-dev libopenmpt-dev"
lists[video]="libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg"
# Whole-program tests: a real X server, key presses, screenshots, audio checks.
lists[test]="libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev clang-format clang-tidy
  xvfb xdotool imagemagick sox x11-utils x11-xserver-utils bc"
# Mesa's GL drivers draw for the compositors and the demo on them; wayland-info
# tells what a compositor offers (a keyboard); the session bus is mutter's and kwin's;
# sway and cage (wlroots) refuse root, so the tests run them as an ordinary user;
# xscreensaver's daemon starts the demo as its hack.
lists[desktops]="openbox icewm fluxbox jwm
  weston mutter kwin-wayland dbus dbus-user-session wayland-utils libgl1-mesa-dri sway cage
  xscreensaver"
lists[fuzz]="clang libclang-rt-14-dev"
lists[packages]="lintian desktop-file-utils appstream zip unzip icoutils"
# xmllint: the package test reads the xscreensaver settings file.
lists[packages]+=" libxml2-utils"

[ $# -gt 0 ] || set -- run
packages=()
for list in "$@"; do
  [ -n "${lists[$list]:-}" ] || {
    echo "install-deps: no list '$list' (run, video, test, desktops, fuzz, packages)" >&2
    exit 2
  }
  read -r -d '' -a names <<<"${lists[$list]}" || true
  packages+=("${names[@]}")
done

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
