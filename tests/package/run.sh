#!/usr/bin/env bash
# The three downloads as a user meets them:
#   run.sh DIST [deb] [windows] [web] [arm64]   (DIST as scripts/package.sh
#                                          leaves it; default: all four)
# - the .deb: lintian finds no errors; its desktop entry and metadata pass
#   desktop-file-validate and appstreamcli; its files, unpacked into a
#   scratch folder, name the package's version, and started from an empty
#   working directory show the scene with the song (orvo) and write the
#   native build's frame (orvo-render); installed with apt-get, it runs from
#   the menu's path and is removed again, leaving nothing behind;
# - the Windows zip: unpacked into a new folder, its programs carry an icon,
#   a version resource naming the version and a manifest; orvo.exe started
#   there under wine names the version, shows the scene and ends on Escape
#   with 0;
# - the web zip: unpacked and served by a plain static server (Python's), its
#   page names the version and its ?t= frame is orvo-render's, bit for bit.
# Every wait is bounded; X servers, wine and the web server are ended and the
# scratch folders removed on the way out.
set -uo pipefail
dist=$(realpath "$1")
shift
wanted=" ${*:-deb windows web arm64} "
here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
native=$root/build/release
installed_here=""
# shellcheck source=../support/harness.sh
. "$root/tests/support/harness.sh"
harness_begin "Package tests"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo -n"

remove_installed() {
    [ -z "$installed_here" ] || $sudo apt-get -o DPkg::Lock::Timeout=300 purge -y -qq orvo >/dev/null 2>&1
}
at_exit remove_installed

# The raw RGB of a picture file (a frame, a screenshot), as a hash.
rgb_hash() { convert "$1" -depth 8 rgb:- 2>/dev/null | sha1sum | cut -d' ' -f1; }

# The native build's frame at 9 s (frame 1 of the run 0, 9000), for both the
# unpacked orvo-render and the web page.
reference_frame() {
    [ -f "$work/native/frame-000001.png" ] && return 0
    timeout 120 "$native/tools/render/orvo-render" --assets "$native/assets" --out "$work/native" --times 0,9000 \
        >/dev/null || { fail "the native orvo-render failed"; return 1; }
}

# --- The Debian package.
check_deb() {
    local deb version scratch line
    deb=$(find "$dist" -maxdepth 1 -name 'orvo_*_amd64.deb' -print -quit)
    [ -n "$deb" ] || { fail "no orvo_*_amd64.deb in $dist"; return; }
    version=$(dpkg-deb -f "$deb" Version)
    [ "$(basename "$deb")" = "orvo_${version}_amd64.deb" ] || fail "$(basename "$deb") holds version $version"
    group "$(basename "$deb") ($(stat -c %s "$deb") bytes): lintian"
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
    grep -v "running with root privileges" "$work/lintian.log" >&2
    grep -q '^E: ' "$work/lintian.log" && fail "lintian reports errors"
    grep -qE '^(E|W): ' "$work/lintian.log" || echo "lintian: no errors, no warnings" >&2

    scratch=$work/deb
    dpkg-deb -x "$deb" "$scratch" || { fail "dpkg-deb -x"; return; }
    group "the .deb's desktop entry and metadata"
    desktop-file-validate "$scratch"/usr/share/applications/*.desktop || fail "desktop-file-validate"
    appstreamcli validate --no-net "$scratch"/usr/share/metainfo/*.metainfo.xml >"$work/appstream.log" 2>&1 ||
        { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
    grep -q "<release version=\"$version\"" "$scratch"/usr/share/metainfo/*.metainfo.xml ||
        fail "the metadata has no release $version"
    line=$(sed -n 's/^Exec=//p' "$scratch"/usr/share/applications/*.desktop)
    [ "$line" = orvo ] || fail "the desktop entry starts \"$line\", not orvo"

    group "the .deb's programs, unpacked"
    line=$("$scratch/usr/bin/orvo" --version)
    [ "$line" = "orvo $version" ] || fail "orvo --version says \"$line\", the package $version"
    # The xscreensaver hack: a link to orvo where Debian's hacks live, and its settings.
    line=$("$scratch/usr/libexec/xscreensaver/orvo" --version)
    [ "$line" = "orvo $version" ] || fail "the xscreensaver hack says \"$line\""
    xmllint --noout "$scratch/usr/share/xscreensaver/config/orvo.xml" || fail "orvo.xml is not well-formed"
    grep -q '<command arg="--root"/>' "$scratch/usr/share/xscreensaver/config/orvo.xml" || fail "orvo.xml has no --root"
    line=$("$scratch/usr/bin/orvo-render" --version)
    [ "$line" = "orvo-render $version" ] || fail "orvo-render --version says \"$line\", the package $version"
    mkdir -p "$work/empty"
    # A start from the menu: no assets in the working directory, the program
    # by the name the desktop entry gives.
    (cd "$work/empty" && PATH=$scratch/usr/bin:$PATH timeout 60 orvo-render --out "$work/unpacked" --times 0,9000 \
        >/dev/null) || fail "the unpacked orvo-render, started in an empty folder"
    reference_frame &&
        { [ "$(rgb_hash "$work/unpacked/frame-000001.png")" = "$(rgb_hash "$work/native/frame-000001.png")" ] ||
            fail "the unpacked orvo-render's frame differs from the build's"; }
    ORVO_SONG_COMPARE=$native/tests/orvo_song_compare timeout 120 \
        "$root/tests/e2e/orvo_e2e.sh" installed "$scratch/usr/bin/orvo" "$scratch/usr/share/orvo" ||
        fail "the unpacked orvo, started in an empty folder"
    [ -z "$(ls -A "$work/empty")" ] || fail "a start left files in its working directory"

    check_deb_install "$deb" "$version"
}

# apt-get install, run, remove: only where nothing of the name is installed
# and apt may be used.
check_deb_install() { # deb version
    local start end line left
    group "apt-get install and remove"
    if dpkg-query -W orvo >/dev/null 2>&1; then
        echo "skipped: a package orvo is installed here already" >&2
        return
    fi
    if ! $sudo true 2>/dev/null; then
        echo "skipped: apt-get needs root" >&2
        return
    fi
    dpkg-query -W -f='${Package}\n' | sort >"$work/packages-before"
    start=$(date +%s.%N)
    installed_here=1
    DEBIAN_FRONTEND=noninteractive timeout 600 $sudo apt-get -o DPkg::Lock::Timeout=300 install -y -qq \
        --no-install-recommends "$1" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get install"; return; }
    end=$(date +%s.%N)
    echo "apt-get install: $(echo "$end - $start" | bc) s" >&2
    line=$(cd / && orvo --version)
    [ "$line" = "orvo $2" ] || fail "the installed orvo --version says \"$line\""
    (cd "$work/empty" && timeout 60 orvo-render --out "$work/installed" --times 0,9000 >/dev/null) ||
        fail "the installed orvo-render, started in an empty folder"
    dpkg -L orvo | grep -v '/$' >"$work/files"
    timeout 300 $sudo apt-get -o DPkg::Lock::Timeout=300 purge -y -qq orvo >>"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" >&2; fail "apt-get purge"; return; }
    installed_here=""
    left=0
    while read -r line; do [ -e "$line" ] && [ ! -d "$line" ] && left=$((left + 1)); done <"$work/files"
    [ "$left" -eq 0 ] || fail "$left files left after the purge"
    dpkg-query -W -f='${Package}\n' | sort >"$work/packages-after"
    cmp -s "$work/packages-before" "$work/packages-after" ||
        fail "the installed packages changed: $(diff "$work/packages-before" "$work/packages-after" | sed -n '1,5p' | tr '\n' ' ')"
    echo "installed, ran and purged: nothing left" >&2
}

# --- The Windows zip.
check_windows() {
    local zip version folder exe resources line manifest
    zip=$(find "$dist" -maxdepth 1 -name 'orvo-*-windows-x86_64.zip' -print -quit)
    [ -n "$zip" ] || { fail "no orvo-*-windows-x86_64.zip in $dist"; return; }
    version=$(basename "$zip" -windows-x86_64.zip)
    version=${version#orvo-}
    group "$(basename "$zip") ($(stat -c %s "$zip") bytes): its files"
    mkdir -p "$work/windows"
    unzip -q "$zip" -d "$work/windows" || { fail "unzip"; return; }
    folder=$work/windows/orvo-$version-windows-x86_64
    for f in orvo.exe orvo.scr orvo-render.exe 02.jpg 02a.jpg king.jpg s.s3m README.txt LICENSE.txt \
        licences/libjpeg-turbo.txt licences/libpng1.6.txt licences/zlib.txt licences/libopenmpt.txt; do
        [ -f "$folder/$f" ] || fail "the zip has no $f"
    done

    group "the Windows programs' resources"
    for exe in orvo orvo-render; do
        resources=$(wrestool -l "$folder/$exe.exe" 2>&1)
        [[ $resources == *"--type=14 "* ]] || fail "$exe.exe has no icon"
        [[ $resources == *"--type=16 "* ]] || fail "$exe.exe has no version resource"
        [[ $resources == *"--type=24 "* ]] || fail "$exe.exe has no manifest"
        line=$(wrestool -x --raw --type=16 "$folder/$exe.exe" | strings -el | grep -A1 -x ProductVersion | tail -n1)
        [ "$line" = "$version" ] || fail "$exe.exe's version resource names \"$line\", the zip $version"
        # (Through a variable: grep -q stops reading early and would fail the
        # pipe under pipefail.)
        manifest=$(wrestool -x --raw --type=24 "$folder/$exe.exe")
        [[ $manifest == *dpiAwareness* ]] || fail "$exe.exe's manifest has no DPI awareness"
        [[ $manifest == *supportedOS* ]] || fail "$exe.exe's manifest names no Windows"
    done
    echo "orvo.exe: $(wrestool -l "$folder/orvo.exe" | wc -l) resources" >&2

    group "orvo.exe under wine, started in the unpacked folder"
    wine_begin || return
    # (wine's desktop starts with the first program: on the X server.)
    wine_restart_server || return
    wine_prepare_run "$folder"
    if start_x 640x480x24; then
        line=$(cd "$folder" && timeout 120 "${wine[@]}" orvo.exe --version | tr -d '\r')
        [ "$line" = "orvo $version" ] || fail "orvo.exe --version says \"$line\", the zip $version"
        start_orvo
        check_scene package-zip 60 && press_escape_and_expect_zero 5 || show_demo_stderr
    fi
    wine_stop_x
}

# --- The web zip.
check_web() {
    local zip version folder port modules
    zip=$(find "$dist" -maxdepth 1 -name 'orvo-*-web.zip' -print -quit)
    [ -n "$zip" ] || { fail "no orvo-*-web.zip in $dist"; return; }
    version=$(basename "$zip" -web.zip)
    version=${version#orvo-}
    group "$(basename "$zip") ($(stat -c %s "$zip") bytes), served"
    mkdir -p "$work/web"
    unzip -q "$zip" -d "$work/web" || { fail "unzip"; return; }
    folder=$work/web/orvo-$version-web
    for f in index.html orvo.js orvo.wasm orvo-simd128.js orvo-simd128.wasm 02.jpg 02a.jpg king.jpg s.s3m \
        manifest.webmanifest service-worker.js orvo-32.png orvo-128.png orvo-256.png \
        README.txt LICENSE.txt licences/libjpeg-turbo.txt licences/libopenmpt.txt; do
        [ -f "$folder/$f" ] || fail "the zip has no $f"
    done
    reference_frame || return

    modules=$root/build/web-node/node_modules
    [ -d "$modules/puppeteer-core" ] || { fail "no puppeteer-core in $modules (tests/web/run.sh installs it)"; return; }
    # Any static server: Python's, on a port it picks.
    start_server 10 http_port python3 -u -m http.server --bind 127.0.0.1 --directory "$work/web" 0 || return
    NODE_PATH=/usr/share/nodejs NODE_OPTIONS=--no-experimental-fetch ORVO_NODE_MODULES=$modules \
        timeout 180 node "$here/web_page.mjs" "http://127.0.0.1:$port/orvo-$version-web/" "$version" \
        "$work/native/frame-000001.png" "$work" || fail "the served web zip"
    stop "$server_pid"
}

# The port Python's server took, once it says so; sets port.
http_port() {
    port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/python3.log")
    port=${port%%$'\n'*}
    [ -n "$port" ]
}

[[ $wanted == *" deb "* ]] && check_deb
[[ $wanted == *" windows "* ]] && check_windows
[[ $wanted == *" web "* ]] && check_web
# The arm64 package, under qemu-user.
if [[ $wanted == *" arm64 "* ]]; then
    # shellcheck source=arm64_deb.sh
    . "$here/arm64_deb.sh"
    check_arm64_deb
fi

finish
