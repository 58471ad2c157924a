#!/usr/bin/env bash
# Cross-builds Orvo for 64-bit ARM Linux (Debian arm64: a Raspberry Pi 4 or 5
# on Raspberry Pi OS, an ARM server) into build/arm64 with Debian's
# aarch64-linux-gnu GCC, linking Debian's own arm64 libraries, installed
# beside the machine's amd64 ones (multiarch). The programs run here under
# qemu-user; the neon path is the SSE2 layer compiled through SIMDe.
#   --test   also runs the tests under emulation (tests/arm64/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# --- The cross compiler, qemu-user, SIMDe (headers only) and the arm64
# libraries. apt brings the amd64 copies of shared libraries up to the arm64
# copies' versions (multiarch wants them equal) but must remove nothing: the
# install is refused when a dry run would.
host_packages=(gcc-aarch64-linux-gnu g++-aarch64-linux-gnu qemu-user libsimde-dev cmake ninja-build pkg-config)
arm64_packages=(libsdl2-dev:arm64 libopenmpt-dev:arm64 libjpeg62-turbo-dev:arm64 libpng-dev:arm64
  libgtest-dev:arm64 libavcodec-dev:arm64 libavformat-dev:arm64 libavutil-dev:arm64 libswscale-dev:arm64)
native=$(dpkg --print-architecture)
missing=()
for p in "${host_packages[@]}" "${arm64_packages[@]}"; do
  # One line per installed architecture: the named one (the machine's own
  # unless NAME:ARCH), or an arch-all package, counts.
  arch=$native
  [[ $p != *:* ]] || arch=${p#*:}
  status=$(dpkg-query -W -f='${Architecture} ${Status}\n' "$p" 2>/dev/null || true)
  [[ $'\n'$status == *$'\n'@(all|$arch)" install ok installed"* ]] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  lock_wait=(-o DPkg::Lock::Timeout=600)
  if [[ " $(dpkg --print-foreign-architectures | tr '\n' ' ') " != *" arm64 "* ]]; then
    echo "build-arm64: adding the arm64 architecture to dpkg" >&2
    $sudo dpkg --add-architecture arm64
  fi
  $sudo apt-get "${lock_wait[@]}" update -qq
  plan=$(apt-get -s "${lock_wait[@]}" install --no-install-recommends "${missing[@]}")
  removed=$(sed -n 's/^Remv \([^ ]*\).*/\1/p' <<<"$plan")
  if [ -n "$removed" ]; then
    echo "build-arm64: installing ${missing[*]} would remove: $(tr '\n' ' ' <<<"$removed")" >&2
    echo "build-arm64: nothing installed" >&2
    exit 1
  fi
  echo "build-arm64: installing ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${lock_wait[@]}" install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
  echo "build-arm64: added $(grep -c '^Inst .*:arm64' <<<"$plan" || true) arm64 packages," \
    "brought $(grep -c '^Inst [^ ]* \[' <<<"$plan" || true) installed packages to a newer version" \
    "($(sed -n 's/^Inst \([^ ]*\) \[.*/\1/p' <<<"$plan" | tr '\n' ' '))" >&2
fi

# --- Orvo for arm64: the programs, the assets (written by the arm64
# orvo-assetgen under qemu) and the unit suites. The native build is the
# reference the tests compare frames with.
jobs=$(nproc)
cmake --preset arm64 >/dev/null
nice cmake --build --preset arm64 -j "$jobs"
echo "arm64 build ready in $root/build/arm64" >&2

if [ "${1:-}" = "--test" ]; then
  ./scripts/install-deps.sh
  cmake --preset release >/dev/null
  nice cmake --build --preset release -j "$jobs" --target orvo-render orvo_assets
  exec ./tests/arm64/run.sh "$root/build/arm64"
fi
