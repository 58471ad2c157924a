#!/usr/bin/env bash
# Makes Orvo's downloads in dist/:
#   orvo_VERSION_amd64.deb               the Debian 12 package (CPack, from build/release)
#   orvo_VERSION_arm64.deb               the same for 64-bit ARM (from build/arm64, scripts/build-arm64.sh)
#   orvo-VERSION-windows-x86_64.zip      orvo.exe, orvo.scr, orvo-render.exe, the four files, README.txt
#   orvo-VERSION-web.zip                 the static web site, with a README.txt
# each with Orvo's LICENSE and the licences of the libraries built into it,
# taken from Debian's source packages of those libraries. The Windows and
# web builds are scripts/build-windows.sh's and scripts/build-web.sh's (the
# first run on a machine builds their libraries, see those scripts).
# tests/package/run.sh tests the three as a user meets them.
#   package.sh [deb] [windows] [web] [arm64]    only those (default: all four)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dist=$root/dist
wanted=" ${*:-deb windows web arm64} "
for what in "$@"; do
  case $what in deb | windows | web | arm64) ;; *) echo "usage: package.sh [deb] [windows] [web] [arm64]" >&2; exit 2 ;; esac
done

. "$root/scripts/lib/debian-source.sh"
install_missing zip dpkg-dev mingw-w64-x86-64-dev binutils-mingw-w64-x86-64

# --- Linux: the release build and its package.
./scripts/install-deps.sh run video test
cmake --preset release >/dev/null
nice cmake --build --preset release -j "$jobs" --target orvo_install
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
[ -n "$version" ] || { echo "package: no project version in build/release" >&2; exit 1; }
mkdir -p "$dist"
stage=$(mktemp -d "${TMPDIR:-/tmp}/orvo-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT

if [[ $wanted == *" deb "* ]]; then
rm -f "$dist"/orvo_*_amd64.deb
(cd build/release && cpack -G DEB -B "$dist/cpack" >"$dist/cpack.log" 2>&1) ||
  { cat "$dist/cpack.log" >&2; exit 1; }
mv "$dist/cpack/orvo_${version}_amd64.deb" "$dist/"
rm -rf "$dist/cpack" "$dist/cpack.log"
fi

# --- 64-bit ARM: the cross build's package. DEB_HOST_ARCH tells
# dpkg-shlibdeps that arm64 is the package's own architecture, so its
# Depends name the libraries' packages plainly (libc6, not libc6:arm64).
if [[ $wanted == *" arm64 "* ]]; then
./scripts/build-arm64.sh
rm -f "$dist"/orvo_*_arm64.deb
(cd build/arm64 && DEB_HOST_ARCH=arm64 cpack -G DEB -B "$dist/cpack-arm64" >"$dist/cpack-arm64.log" 2>&1) ||
  { cat "$dist/cpack-arm64.log" >&2; exit 1; }
mv "$dist/cpack-arm64/orvo_${version}_arm64.deb" "$dist/"
rm -rf "$dist/cpack-arm64" "$dist/cpack-arm64.log"
fi

# Orvo's licence and, in licences/, the copyright file of each Debian source
# package named (the library's authors, licence and notices).
licences() { # folder source-packages...
  local folder=$1 pkg tree
  shift
  mkdir -p "$folder/licences"
  cp LICENSE "$folder/LICENSE.txt"
  for pkg in "$@"; do
    tree=$(fetch_source "$pkg" "$(source_version "$pkg")")
    cp "$tree/debian/copyright" "$folder/licences/$pkg.txt"
  done
}

# A zip of one folder, the folder itself at its top.
zip_folder() { # parent name zip-file
  (cd "$1" && zip -qr9X "$3" "$2")
}

# --- Windows: the programs stripped of their symbols (the resources stay).
if [[ $wanted == *" windows "* ]]; then
./scripts/build-windows.sh
name=orvo-$version-windows-x86_64
folder=$stage/$name
rm -f "$dist"/orvo-*-windows-*.zip
mkdir -p "$folder"
for exe in orvo orvo-render; do
  x86_64-w64-mingw32-strip -o "$folder/$exe.exe" "build/windows/$exe.exe"
done
# The screensaver is the same program under Windows' name for one.
cp "$folder/orvo.exe" "$folder/orvo.scr"
cp build/windows/{02.jpg,02a.jpg,king.jpg,s.s3m} "$folder/"
cp build/windows/build/README.txt "$folder/"
licences "$folder" libjpeg-turbo libpng1.6 zlib libopenmpt
# The C and threads runtime linked into the programs: Debian's MinGW-w64.
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$folder/licences/mingw-w64.txt"
# Windows users read text files in Notepad: CRLF line ends.
sed -i 's/\r*$/\r/' "$folder"/*.txt "$folder"/licences/*.txt
zip_folder "$stage" "$name" "$dist/$name.zip"
fi

# --- The web site.
if [[ $wanted == *" web "* ]]; then
./scripts/build-web.sh
name=orvo-$version-web
folder=$stage/$name
rm -f "$dist"/orvo-*-web.zip
mkdir -p "$folder"
cp build/web/{index.html,orvo.js,orvo.wasm,orvo-simd128.js,orvo-simd128.wasm} "$folder/"
cp build/web/{manifest.webmanifest,service-worker.js,orvo-32.png,orvo-128.png,orvo-256.png} "$folder/"
cp build/web/{02.jpg,02a.jpg,king.jpg,s.s3m} "$folder/"
cp build/web/build-plain/README.txt "$folder/"
licences "$folder" libjpeg-turbo libopenmpt
zip_folder "$stage" "$name" "$dist/$name.zip"
fi

echo "Packages in $dist:" >&2
ls -l "$dist" >&2
