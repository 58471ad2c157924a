#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a normal
# optimised build and one with AddressSanitizer and UndefinedBehaviorSanitizer;
# then the cross builds and their tests.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --test

jobs=$(nproc)
for variant in release sanitize; do
  dir=build/$variant
  flags=(-DCMAKE_BUILD_TYPE=Release)
  [ "$variant" = sanitize ] && flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_SANITIZE=ON)
  echo "== $variant build" >&2
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $variant tests" >&2
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure
done

# The Windows build and its tests under wine; the first run also builds the
# Windows libraries from Debian's sources (cached in build/windows/deps/).
echo "== windows build and tests" >&2
./scripts/build-windows.sh --test

# The browser build and its tests in headless chromium (the first run builds
# libjpeg-turbo and libopenmpt for WebAssembly, cached in build/web/deps/).
echo "== browser build and tests" >&2
./scripts/build-web.sh --test
