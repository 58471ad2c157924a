#!/usr/bin/env bash
# Cross-builds Orvo for 64-bit Windows into build/windows/: orvo.exe,
# orvo-render.exe, the unit tests and the assets, all linked statically.
# Debian has no Windows builds of libjpeg, libpng, zlib or libopenmpt, so
# Debian's own source packages of them are fetched and built once, cached in
# build/windows/deps/ under their version and flags; later runs take seconds.
#   --test   also runs the Windows tests under wine (tests/windows/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/windows
deps=$out/deps
host=x86_64-w64-mingw32
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

# --- Debian packages: the posix-thread MinGW g++, wine, and source packages.
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 dpkg-dev
  libgtest-dev cmake ninja-build)
if [ "${1:-}" = "--test" ]; then
  # wine draws through Mesa's software GL on Xvfb.
  packages+=(xvfb xdotool x11-utils imagemagick pulseaudio pulseaudio-utils sox bc libgl1-mesa-dri)
fi
. "$root/scripts/lib/debian-source.sh"
install_missing "${packages[@]}"

# Both g++ flavours may be installed; the posix one has std::thread.
cc=$(command -v $host-gcc-posix)
cxx=$(command -v $host-g++-posix)
export CC=$cc CXX=$cxx
cflags="-O2"
compiler_id=$($cxx -dumpfullversion)
mkdir -p "$deps/src"

toolchain=$root/cmake/mingw-w64.cmake

cross_name=Windows
cross_cmake=(cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain")
cross_configure=()
cross_make=(make)

rm -rf "$deps/prefix"
# zlib: Debian's tree lacks the Windows resource file its CMake build wants,
# and the library is a handful of C files.
tree=$(fetch_source zlib)
prefix=$(prefix_for zlib "$(source_version zlib "$tree")")
if [ ! -f "$prefix/.done" ]; then
  echo "== building zlib for Windows" >&2
  rm -rf "$prefix" "$prefix.build" && mkdir -p "$prefix.build" "$prefix/lib" "$prefix/include"
  cp "$tree/zlib.h" "$prefix/include/" && cp "$tree/zconf.h.in" "$prefix/include/zconf.h"
  (cd "$prefix.build" &&
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees \
      trees uncompr zutil; do nice "$cc" $cflags -I"$prefix/include" -c "$tree/$f.c" -o "$f.o" || exit 1; done &&
    $host-ar rcs "$prefix/lib/libz.a" ./*.o) >"$prefix.log" 2>&1 ||
    { echo "build-windows: zlib failed, see $prefix.log" >&2; exit 1; }
  rm -rf "$prefix.build"
  touch "$prefix/.done"
fi
link_into_prefix "$prefix"
build_cmake_library libpng libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_ROOT="$deps/prefix" -DZLIB_LIBRARY="$deps/prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$deps/prefix/include"
# Without nasm the plain C kernels are built; their output is the same.
build_cmake_library libjpeg libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=OFF
# GoogleTest's sources ship in libgtest-dev.
build_cmake_tree gtest "$(dpkg-query -W -f='${Version}' libgtest-dev)" /usr/src/googletest -DBUILD_GMOCK=ON \
  -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF

# No -g for libopenmpt: its objects would be 100 MB.
build_libopenmpt --host=$host

# --- The assets: written by the host's orvo-assetgen, as for the Linux build,
# so both builds start from the same files. The host's orvo-render is kept for
# the golden-frame comparison.
./scripts/install-deps.sh
host_build=$out/host
# (With the host's own compilers: CC and CXX name MinGW's from here on.)
env -u CC -u CXX cmake -S . -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
nice cmake --build "$host_build" -j "$jobs" --target orvo_assets orvo-render

# --- Orvo for Windows.
win_build=$out/build
PKG_CONFIG_LIBDIR=$deps/prefix/lib/pkgconfig cmake -S . -B "$win_build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
PKG_CONFIG_LIBDIR=$deps/prefix/lib/pkgconfig nice cmake --build "$win_build" -j "$jobs"
cp "$win_build/src/driver/orvo.exe" "$win_build/tools/render/orvo-render.exe" "$out/"
cp "$host_build"/assets/{02.jpg,02a.jpg,king.jpg,s.s3m} "$out/"
echo "Windows build ready in $out: orvo.exe beside 02.jpg 02a.jpg king.jpg s.s3m" >&2

if [ "${1:-}" = "--test" ]; then
  exec ./tests/windows/run.sh "$out"
fi
