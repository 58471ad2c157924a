# Shared by the cross builds (build-windows.sh, build-web.sh): the Debian
# packages they need, Debian's own source packages of the libraries, fetched
# once, and one cache folder per library keyed by its version, the compiler
# and the flags. The caller sets deps (the cache folder), compiler_id and
# cflags before building.

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# Installs the packages not yet installed, and adds deb-src entries for the
# archives the binaries come from (apt-get source needs them), once.
install_missing() {
  local missing=() p status need_update="" list=/etc/apt/sources.list.d/orvo-deb-src.sources
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
  done
  if [ ! -f "$list" ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee "$list" >/dev/null
    need_update=1
  fi
  [ ${#missing[@]} -gt 0 ] || [ -n "$need_update" ] || return 0
  echo "Installing: ${missing[*]:-(source index only)}" >&2
  $sudo apt-get update -qq
  [ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive $sudo apt-get install -o DPkg::Lock::Timeout=600 \
    -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Prints the unpacked source folder of Debian's source package $1, fetching it
# from bookworm itself (security updates of these have no source there).
fetch_source() {
  local pkg=$1 version
  # (sed stops by itself after the first match: no head to cut the pipe.)
  version=$(apt-get source --print-uris -qq "$pkg/bookworm" 2>/dev/null |
    sed -n "s/^'[^ ]*_\([^_]*\)\.dsc'.*/\1/; T; s/%2[bB]/+/g; p; q" || true)
  [ -n "$version" ] || { echo "$0: no Debian source package $pkg" >&2; exit 1; }
  local dir=$deps/src/$pkg-$version
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && apt-get source -qq "$pkg/bookworm" >/dev/null 2>"$dir.log") ||
      { echo "$0: apt-get source $pkg failed (see $dir.log)" >&2; exit 1; }
    touch "$dir/.unpacked"
  fi
  find "$dir" -mindepth 1 -maxdepth 1 -type d -print -quit
}

source_version() { # pkg tree
  local v
  v=$(basename "$(dirname "$2")")
  echo "${v#"$1"-}"
}

# The cache folder of a library: package version, compiler and flags.
prefix_for() { # name version
  local key
  key=$(printf '%s|%s|%s' "$2" "$compiler_id" "$cflags" | sha1sum | cut -c1-10)
  echo "$deps/$1-$2-$key"
}

# One merged prefix of headers and static libraries for the Orvo build.
link_into_prefix() {
  mkdir -p "$deps/prefix/include" "$deps/prefix/lib/pkgconfig"
  cp -a "$1/include/." "$deps/prefix/include/"
  find "$1" -name '*.a' -exec cp -a {} "$deps/prefix/lib/" \;
  find "$1" -name '*.pc' -exec cp -a {} "$deps/prefix/lib/pkgconfig/" \;
}

# Building for the target. The caller also sets cross_name ("Windows", "the
# web") and how its tools are run: cross_cmake, the CMake configure command
# with the target's toolchain; cross_configure, the words put before an
# autotools configure (may be empty); cross_make, the make command.

# Configures, builds and installs a CMake source tree into its cache folder,
# once, and adds it to the merged prefix.
build_cmake_tree() { # name version source-tree extra-cmake-args...
  local name=$1 version=$2 tree=$3 prefix; shift 3
  prefix=$(prefix_for "$name" "$version")
  if [ ! -f "$prefix/.done" ]; then
    echo "== building $name ($version) for $cross_name" >&2
    rm -rf "$prefix" "$prefix.build"
    nice "${cross_cmake[@]}" -S "$tree" -B "$prefix.build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$deps/prefix" \
      "$@" >"$prefix.log" 2>&1 &&
      nice cmake --build "$prefix.build" -j "$jobs" >>"$prefix.log" 2>&1 &&
      cmake --install "$prefix.build" >>"$prefix.log" 2>&1 ||
      { echo "$0: $name failed, see $prefix.log" >&2; exit 1; }
    rm -rf "$prefix.build"
    touch "$prefix/.done"
  fi
  link_into_prefix "$prefix"
}

# The same for Debian's source package pkg.
build_cmake_library() { # name pkg extra-cmake-args...
  local name=$1 pkg=$2 tree; shift 2
  tree=$(fetch_source "$pkg")
  build_cmake_tree "$name" "$(source_version "$pkg" "$tree")" "$tree" "$@"
}

# libopenmpt through autotools, static, every optional dependency off (or the
# host's zlib and friends are picked up).
build_libopenmpt() { # configure-args...
  local tree version prefix
  tree=$(fetch_source libopenmpt)
  version=$(source_version libopenmpt "$tree")
  prefix=$(prefix_for libopenmpt "$version")
  if [ ! -f "$prefix/.done" ]; then
    echo "== building libopenmpt ($version) for $cross_name: the longest step, several minutes" >&2
    rm -rf "$prefix" "$prefix.build" && mkdir -p "$prefix.build"
    (cd "$prefix.build" && nice "${cross_configure[@]}" "$tree/configure" --prefix="$prefix" \
        --enable-static --disable-shared --without-zlib --without-mpg123 --without-ogg --without-vorbis \
        --without-vorbisfile --without-pulseaudio --without-portaudio --without-portaudiocpp --without-sdl2 \
        --without-sndfile --without-flac --disable-openmpt123 --disable-examples --disable-tests \
        --disable-doxygen-doc CFLAGS="$cflags" CXXFLAGS="$cflags" PKG_CONFIG_LIBDIR=/nonexistent "$@" &&
      nice "${cross_make[@]}" -j "$jobs" && make install) >"$prefix.log" 2>&1 ||
      { echo "$0: libopenmpt failed, see $prefix.log" >&2; exit 1; }
    rm -rf "$prefix.build"
    touch "$prefix/.done"
  fi
  link_into_prefix "$prefix"
}
