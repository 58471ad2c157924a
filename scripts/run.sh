#!/usr/bin/env bash
# Installs what the demo needs, builds it (which also makes the pictures and
# the song) in build/release and starts it in the asset folder. Escape ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh run
cmake --preset demo >/dev/null
cmake --build --preset demo -j "$(nproc)" --target orvo orvo_assets
cd build/release/assets
exec ../src/driver/orvo
