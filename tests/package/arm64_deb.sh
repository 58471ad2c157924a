# shellcheck shell=bash disable=SC2154 # (dist and work are run.sh's)
# The arm64 .deb's checks, sourced by tests/package/run.sh (after the
# harness; it sets dist, work, rgb_hash and reference_frame): lintian finds
# nothing, its Depends name plain package names (no ":arm64"), and its
# orvo-render, unpacked and started under qemu-user from an empty folder,
# writes the native build's frame on both of its paths.
check_arm64_deb() {
    local deb version scratch depends path
    deb=$(find "$dist" -maxdepth 1 -name 'orvo_*_arm64.deb' -print -quit)
    [ -n "$deb" ] || { fail "no orvo_*_arm64.deb in $dist"; return; }
    version=$(dpkg-deb -f "$deb" Version)
    group "$(basename "$deb") ($(stat -c %s "$deb") bytes): lintian, its fields"
    [ "$(basename "$deb")" = "orvo_${version}_arm64.deb" ] || fail "$(basename "$deb") holds version $version"
    [ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ] || fail "Architecture: $(dpkg-deb -f "$deb" Architecture)"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends" >&2
    [[ $depends == *libsdl2-2.0-0* && $depends != *:arm64* ]] || fail "Depends names no plain libsdl2-2.0-0: $depends"
    lintian --tag-display-limit 0 "$deb" >"$work/lintian-arm64.log" 2>&1
    grep -v "running with root privileges" "$work/lintian-arm64.log" >&2
    grep -qE '^(E|W): ' "$work/lintian-arm64.log" && fail "lintian reports errors or warnings"

    scratch=$work/deb-arm64
    dpkg-deb -x "$deb" "$scratch" || { fail "dpkg-deb -x"; return; }
    mkdir -p "$work/empty-arm64"
    for path in plain neon; do
        group "the arm64 .deb's orvo-render under qemu, ORVO_SIMD=$path, from an empty folder"
        (cd "$work/empty-arm64" && ORVO_SIMD=$path timeout 300 qemu-aarch64 -L / "$scratch/usr/bin/orvo-render" \
            --out "$work/arm64-$path" --times 0,9000 >/dev/null) || { fail "the unpacked arm64 orvo-render"; continue; }
        reference_frame &&
            { [ "$(rgb_hash "$work/arm64-$path/frame-000001.png")" = "$(rgb_hash "$work/native/frame-000001.png")" ] ||
                fail "the arm64 orvo-render's frame differs from the native build's"; }
    done
    [ -z "$(ls -A "$work/empty-arm64")" ] || fail "a start left files in its working directory"
}
