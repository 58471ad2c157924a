#!/usr/bin/env bash
# Cross-builds Orvo for 64-bit Windows into build/windows/: orvo.exe,
# orvo-render.exe, the unit tests and the assets, all linked statically.
# Debian has no Windows builds of libjpeg, libpng, zlib or libopenmpt, so
# Debian's own source packages of them are fetched and built once, cached for
# every clone on the machine (scripts/lib/debian-source.sh says where and
# how); later runs take seconds.
#   --test   also runs the Windows tests under wine (tests/windows/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/windows
host=x86_64-w64-mingw32

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
cflags="-O2"
compiler_id="$host $($cxx -dumpfullversion)"
target=windows
prefix=$out/prefix
toolchain=$root/cmake/mingw-w64.cmake
cross_name=Windows
cross_configure=(env CC="$cc" CXX="$cxx")
cross_make=(make)

rm -rf "$prefix"
# zlib: Debian's tree lacks the Windows resource file its CMake build wants,
# and the library is a handful of C files.
zlib_sources=(adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees
  trees uncompr zutil)
version=$(source_version zlib)
zlib=$(cache_folder zlib "$version" "${zlib_sources[@]}")
if [ ! -d "$zlib" ]; then
  echo "== building zlib for Windows" >&2
  tree=$(fetch_source zlib "$version")
  tmp=$(temporary_folder)
  mkdir -p "$tmp/lib" "$tmp/include" "$tmp/obj"
  cp "$tree/zlib.h" "$tmp/include/" && cp "$tree/zconf.h.in" "$tmp/include/zconf.h"
  (for f in "${zlib_sources[@]}"; do nice "$cc" $cflags -I"$tmp/include" -c "$tree/$f.c" -o "$tmp/obj/$f.o" || exit 1
    done && $host-ar rcs "$tmp/lib/libz.a" "$tmp"/obj/*.o) >"$tmp.log" 2>&1 ||
    { echo "build-windows: zlib failed, see $tmp.log" >&2; exit 1; }
  rm -rf "$tmp/obj" "$tmp.log"
  publish "$tmp" "$zlib"
fi
link_into_prefix "$zlib"
build_cmake_library libpng libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_ROOT="$zlib" -DZLIB_LIBRARY="$zlib/lib/libz.a" -DZLIB_INCLUDE_DIR="$zlib/include"
# Without nasm the plain C kernels are built; their output is the same.
build_cmake_library libjpeg libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=OFF
# GoogleTest's sources ship in libgtest-dev.
build_cmake_tree gtest "$(dpkg-query -W -f='${Version}' libgtest-dev)" /usr/src/googletest -DBUILD_GMOCK=ON \
  -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF

# No -g for libopenmpt: its objects would be 100 MB.
build_libopenmpt --host=$host

# --- The assets and the icon: written by the host's orvo-assetgen, as for the
# Linux build, so both builds start from the same files. The host's
# orvo-render is kept for the golden-frame comparison.
./scripts/install-deps.sh run test
cmake --preset release >/dev/null
nice cmake --build --preset release -j "$jobs" --target orvo_assets orvo_icons orvo-render

# --- Orvo for Windows.
win_build=$out/build
cmake --preset windows >/dev/null
nice cmake --build --preset windows -j "$jobs"
cp "$win_build/src/driver/orvo.exe" "$win_build/tools/render/orvo-render.exe" "$out/"
cp "$root/build/release"/assets/{02.jpg,02a.jpg,king.jpg,s.s3m} "$out/"
echo "Windows build ready in $out: orvo.exe beside 02.jpg 02a.jpg king.jpg s.s3m" >&2

if [ "${1:-}" = "--test" ]; then
  exec ./tests/windows/run.sh "$out"
fi
