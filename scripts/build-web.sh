#!/usr/bin/env bash
# Builds Orvo for the web browser with Debian's emscripten into build/web/:
# index.html, orvo.js and orvo.wasm beside the four asset files, and the
# installable app's manifest, service worker and icons. Debian has
# no WebAssembly builds of libjpeg or libopenmpt, so Debian's own source
# packages of them are fetched and built once, cached for every clone on the
# machine (scripts/lib/debian-source.sh says where and how); later runs take
# seconds. Nothing is downloaded from anywhere but Debian's archive
# (emscripten's system libraries are Debian's prebuilt ones).
#   --test   also runs the browser tests (tests/web/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/web

# --- Debian packages: emscripten and the source index; chromium, Firefox ESR,
# WebKitGTK and a PulseAudio server (Firefox's and WebKit's sound device) for
# the tests.
packages=(emscripten dpkg-dev cmake ninja-build pkg-config)
if [ "${1:-}" = "--test" ]; then
  packages+=(chromium firefox-esr pulseaudio pulseaudio-utils imagemagick)
  # WebKit, the engine of Safari: WebKitGTK's MiniBrowser, through its WebDriver, on Xvfb.
  packages+=(webkit2gtk-driver xvfb x11-utils)
  # A Node.js from elsewhere (NodeSource's package) brings its own npm and
  # conflicts with Debian's: only a machine without them gets Debian's.
  command -v npm >/dev/null || packages+=(npm)
fi
. "$root/scripts/lib/debian-source.sh"
install_missing "${packages[@]}"

# Debian's emscripten finds its JavaScript parser through NODE_PATH, and its
# generated code must not meet Node 20's own fetch (the web-* presets set the
# same for Orvo's own build).
export NODE_PATH=/usr/share/nodejs NODE_OPTIONS=--no-experimental-fetch
cflags="-O2 -fexceptions"
compiler_id="emcc $(emcc -dumpversion)"
target=web
prefix=$out/prefix
toolchain=$root/cmake/emscripten.cmake
cross_name="the web"
cross_configure=(emconfigure)
cross_make=(emmake make)

rm -rf "$prefix"
# Plain C kernels (no SIMD for wasm here); their output is the same.
build_cmake_library libjpeg libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=OFF

# libopenmpt throws and catches its own exceptions.
build_libopenmpt --host=wasm32 LDFLAGS="-fexceptions"
echo "web libraries ready in $prefix" >&2

# --- The assets: written by the native orvo-assetgen, as for the Linux build,
# so both builds start from the same files. The native orvo-render is kept for
# the tests' frame comparison.
./scripts/install-deps.sh run test
host_build=$root/build/release
cmake --preset release >/dev/null
nice cmake --build --preset release -j "$jobs" --target orvo_assets orvo_icons orvo-render \
  orvo_parameters_digest orvo_song_compare

# --- Orvo for the web, twice: plain, and with the simd128 path for browsers
# that run WebAssembly's SIMD (a module with SIMD in it loads nowhere else).
# The page picks one.
for variant in plain simd128; do
  cmake --preset "web-$variant" >/dev/null
  nice cmake --build --preset "web-$variant" -j "$jobs"
  cp "$out/build-$variant"/src/driver/orvo*.js "$out/build-$variant"/src/driver/orvo*.wasm "$out/"
done
# The page, with the version in its title, and what makes it an installable
# app that plays offline: the manifest, the service worker, the icons.
cp "$out/build-plain/"{index.html,service-worker.js} src/platform/web/manifest.webmanifest "$out/"
cp "$host_build"/icons/orvo-{32,128,256}.png "$out/"
cp "$host_build"/assets/{02.jpg,02a.jpg,king.jpg,s.s3m} "$out/"
echo "Web build ready in $out: index.html, orvo.js/.wasm, orvo-simd128.js/.wasm, the four asset files," \
  "the manifest, service worker and icons" >&2

if [ "${1:-}" = "--test" ]; then
  exec ./tests/web/run.sh "$out"
fi
