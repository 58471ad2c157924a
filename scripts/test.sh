#!/usr/bin/env bash
# Installs what is missing, then builds and runs the tests.
#   ./scripts/test.sh         the Linux suites: a normal optimised build and one
#                             with AddressSanitizer and UndefinedBehaviorSanitizer,
#                             each with its unit, golden-frame, source and
#                             whole-program tests (X11 and Wayland)
#   ./scripts/test.sh --all   those, then the fuzz targets, the cross builds and
#                             their tests (Windows under wine, the browsers, ARM64
#                             under qemu), and
#                             the three downloads, made and tested as a user
#                             meets them: what CI runs
set -euo pipefail
cd "$(dirname "$0")/.."
all=0
case "${1:-}" in
  "") ;;
  --all) all=1 ;;
  *) echo "usage: test.sh [--all]" >&2; exit 2 ;;
esac

lists=(run video test desktops)
[ "$all" = 0 ] || lists+=(fuzz packages)
./scripts/install-deps.sh "${lists[@]}"

jobs=$(nproc)
for variant in release sanitize; do
  echo "== $variant build" >&2
  cmake --preset "$variant" >/dev/null
  cmake --build --preset "$variant" -j "$jobs"
  echo "== $variant tests" >&2
  ctest --preset "$variant" -j "$jobs"
done

if [ "$all" = 0 ]; then
  echo "Left out (./scripts/test.sh --all runs them): the fuzz targets, the Windows build" \
    "under wine, the browser build, the ARM64 build under qemu, the downloads." >&2
  exit 0
fi

# The fuzz targets (tests/fuzz, clang and libFuzzer), each for a bounded time.
echo "== fuzz targets" >&2
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz -j "$jobs"

# The Windows build and its tests under wine; the first run on a machine also
# builds the Windows libraries from Debian's sources (cached outside the
# clone, see scripts/lib/debian-source.sh).
echo "== windows build and tests" >&2
./scripts/build-windows.sh --test

# The browser build and its tests in headless chromium (the first run on a
# machine builds libjpeg-turbo and libopenmpt for WebAssembly, cached too).
echo "== browser build and tests" >&2
./scripts/build-web.sh --test

# The ARM64 build (Debian's arm64 libraries beside the machine's own) and its
# tests under qemu-user.
echo "== arm64 build and tests" >&2
./scripts/build-arm64.sh --test

# The two .deb packages, the Windows zip and the web zip in dist/ (from the builds above),
# each unpacked, installed or served and started.
echo "== packages and their tests" >&2
./scripts/package.sh
./tests/package/run.sh dist
