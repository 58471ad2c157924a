#!/usr/bin/env bash
# Installs what is missing, builds Orvo (which also makes the pictures and
# the song) and starts the demo in the asset folder. Escape ends it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target orvo orvo_assets
cd build/release/assets
exec ../src/driver/orvo
