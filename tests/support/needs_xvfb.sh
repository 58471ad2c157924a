#!/usr/bin/env bash
# Runs a whole-program test that starts its own X server, or reports it
# skipped (exit 77, which CTest counts as a skip) where Xvfb or the tools the
# test drives it with are missing.
set -euo pipefail
for tool in Xvfb xdotool xdpyinfo; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: no $tool (./scripts/install-deps.sh --test installs it)"
    exit 77
  fi
done
exec "$@"
