# Shared by the cross builds (build-windows.sh, build-web.sh): the Debian
# packages they need, Debian's own source packages of the libraries, and a
# cache of the libraries built from them that every clone on the machine
# shares, as compiler caches do.
#
# The cache lives in ${ORVO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/orvo}.
# Each built library is one folder named by its package version and a key
# over everything its build depends on: the compiler's version, the flags,
# the configure arguments and, for CMake builds, the toolchain file's
# content. A library is built in a temporary folder and renamed into place
# when whole, so two runs at once, or a run killed half-way, never leave a
# half-built library that a later run trusts.
#
# The caller sets target (the cache's subfolder: "windows", "web"),
# compiler_id, cflags and prefix (the build tree's merged prefix, which this
# file fills with the cached libraries' headers and static libraries).

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
cache=${ORVO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/orvo}
jobs=$(nproc)

# Installs the packages not yet installed, and adds deb-src entries for the
# archives the binaries come from (apt-get source needs them), once.
install_missing() {
  local missing=() p status need_update="" list=/etc/apt/sources.list.d/orvo-deb-src.sources
  for p in "$@"; do
    # One line per installed architecture (arm64 beside amd64 after
    # scripts/build-arm64.sh): the machine's own copy, or an arch-all one, counts.
    status=$(dpkg-query -W -f='${Architecture} ${Status}\n' "$p" 2>/dev/null || true)
    [[ $'\n'$status == *$'\n'@(all|$(dpkg --print-architecture))" install ok installed"* ]] || missing+=("$p")
  done
  if [ ! -f "$list" ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee "$list" >/dev/null
    need_update=1
  fi
  [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ] || return 0
  echo "Installing: ${missing[*]:-(source index only)}" >&2
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  [ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -o DPkg::Lock::Timeout=600 \
    -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Moves a finished temporary folder to its place in the cache. When another
# run got there first, its copy is kept and ours dropped.
publish() { # temporary-folder final-folder
  mkdir -p "$(dirname "$2")"
  mv -T "$1" "$2" 2>/dev/null || [ -d "$2" ] || { echo "$0: can't write $2" >&2; exit 1; }
  rm -rf "$1"
}

# A fresh temporary folder in the cache (on the same file system, so the
# rename into place is atomic). Folders left by killed runs are cleared
# after a day.
temporary_folder() {
  mkdir -p "$cache/tmp"
  find "$cache/tmp" -mindepth 1 -maxdepth 1 -mmin +1440 -exec rm -rf {} + 2>/dev/null || true
  mktemp -d "$cache/tmp/build.XXXXXX"
}

# The version of Debian's source package $1 in bookworm itself (security
# updates of these have no source there).
source_version() {
  local version
  # (sed stops by itself after the first match: no head to cut the pipe.)
  version=$(apt-get source --print-uris -qq "$1/bookworm" 2>/dev/null |
    sed -n "s/^'[^ ]*_\([^_]*\)\.dsc'.*/\1/; T; s/%2[bB]/+/g; p; q" || true)
  [ -n "$version" ] || { echo "$0: no Debian source package $1" >&2; exit 1; }
  echo "$version"
}

# Prints the unpacked source tree of Debian's source package $1 at version
# $2, fetching it into the cache the first time.
fetch_source() { # pkg version
  local dir=$cache/src/$1-$2 tmp
  if [ ! -d "$dir" ]; then
    tmp=$(temporary_folder)
    (cd "$tmp" && apt-get source -qq "$1/bookworm" >/dev/null 2>"$tmp.log") ||
      { echo "$0: apt-get source $1 failed (see $tmp.log)" >&2; exit 1; }
    rm -f "$tmp.log"
    publish "$tmp" "$dir"
  fi
  find "$dir" -mindepth 1 -maxdepth 1 -type d -print -quit
}

# The cache folder of a library: its version and the key over its inputs.
cache_folder() { # name version key-inputs...
  local name=$1 version=$2 key
  shift 2
  key=$(printf '%s\n' "$compiler_id" "$cflags" "$@" | sha1sum | cut -c1-12)
  echo "$cache/$target/$name-$version-$key"
}

# Adds a cached library's headers, static libraries and pkg-config files to
# the merged prefix.
link_into_prefix() {
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp -a "$1/include/." "$prefix/include/"
  find "$1" -name '*.a' -exec cp -a {} "$prefix/lib/" \;
  find "$1" -name '*.pc' -exec cp -a {} "$prefix/lib/pkgconfig/" \;
}

# Building for the target. The caller also sets cross_name ("Windows", "the
# web"), toolchain (its CMake toolchain file) and how its autotools are run:
# cross_configure, the words put before configure (may be empty), and
# cross_make, the make command.

# Configures, builds and installs a CMake source tree into its cache folder,
# once, and adds it to the merged prefix.
build_cmake_tree() { # name version source-tree-or-package extra-cmake-args...
  local name=$1 version=$2 tree=$3 folder tmp
  shift 3
  folder=$(cache_folder "$name" "$version" "$@" "$(cat "$toolchain")")
  if [ ! -d "$folder" ]; then
    echo "== building $name ($version) for $cross_name" >&2
    [ -d "$tree" ] || tree=$(fetch_source "$tree" "$version")
    tmp=$(temporary_folder)
    nice cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain" -S "$tree" -B "$tmp/build" -G Ninja \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_INSTALL_PREFIX="$folder" \
      "$@" >"$tmp.log" 2>&1 &&
      nice cmake --build "$tmp/build" -j "$jobs" >>"$tmp.log" 2>&1 &&
      DESTDIR="$tmp/stage" cmake --install "$tmp/build" >>"$tmp.log" 2>&1 ||
      { echo "$0: $name failed, see $tmp.log" >&2; exit 1; }
    publish "$tmp/stage$folder" "$folder"
    rm -rf "$tmp" "$tmp.log"
  fi
  link_into_prefix "$folder"
}

# The same for Debian's source package pkg.
build_cmake_library() { # name pkg extra-cmake-args...
  local name=$1 pkg=$2
  shift 2
  build_cmake_tree "$name" "$(source_version "$pkg")" "$pkg" "$@"
}

# libopenmpt through autotools, static, every optional dependency off (or the
# host's zlib and friends are picked up).
build_libopenmpt() { # configure-args...
  local version folder tree tmp args
  version=$(source_version libopenmpt)
  args=(--enable-static --disable-shared --without-zlib --without-mpg123 --without-ogg --without-vorbis
    --without-vorbisfile --without-pulseaudio --without-portaudio --without-portaudiocpp --without-sdl2
    --without-sndfile --without-flac --disable-openmpt123 --disable-examples --disable-tests
    --disable-doxygen-doc "$@")
  folder=$(cache_folder libopenmpt "$version" "${cross_configure[@]}" "${cross_make[@]}" "${args[@]}")
  if [ ! -d "$folder" ]; then
    echo "== building libopenmpt ($version) for $cross_name: the longest step, several minutes" >&2
    tree=$(fetch_source libopenmpt "$version")
    tmp=$(temporary_folder)
    mkdir -p "$tmp/build"
    (cd "$tmp/build" && nice "${cross_configure[@]}" "$tree/configure" --prefix="$folder" "${args[@]}" \
        CFLAGS="$cflags" CXXFLAGS="$cflags" PKG_CONFIG_LIBDIR=/nonexistent &&
      nice "${cross_make[@]}" -j "$jobs" && make install DESTDIR="$tmp/stage") >"$tmp.log" 2>&1 ||
      { echo "$0: libopenmpt failed, see $tmp.log" >&2; exit 1; }
    publish "$tmp/stage$folder" "$folder"
    rm -rf "$tmp" "$tmp.log"
  fi
  link_into_prefix "$folder"
}
