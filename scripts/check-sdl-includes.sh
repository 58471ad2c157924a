#!/usr/bin/env bash
# The SDL backend builds where X11 or Wayland's development files are
# missing: only the files built with them (*_x11.cpp, sdl_wayland_seat.cpp)
# may include their headers or SDL_syswm.h, which includes X11's.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
found=$(grep -nE '#include <(X11/|SDL_syswm\.h|wayland-)' src/platform/sdl/* |
  grep -vE '^src/platform/sdl/([a-z_]+_x11|sdl_wayland_seat)\.cpp:')
if [ -n "$found" ]; then
  echo "window-system headers outside their own files:" >&2
  echo "$found" >&2
  exit 1
fi
echo "sdl includes: X11 and Wayland headers only in their own files"
