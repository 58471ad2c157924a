#!/usr/bin/env bash
# Installs what is missing, builds Orvo and starts the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
echo "The demo is not built yet." >&2
exit 1
