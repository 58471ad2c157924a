#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over the sources of src/ and
# tools/ as BUILD_DIR compiles them; any finding fails.
# Usage: check-tidy.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-tidy.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
command -v clang-tidy >/dev/null || { echo "check-tidy: clang-tidy is missing (scripts/install-deps.sh test)" >&2; exit 1; }
[ -f "$build/compile_commands.json" ] || { echo "check-tidy: no compile_commands.json in $build" >&2; exit 1; }

jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
# The files this build compiles (the Windows backend is checked by its own
# compiler only).
compiled=$(<"$build/compile_commands.json")
files=()
for f in $(git ls-files 'src/*.cpp' 'tools/*.cpp'); do
  [[ $compiled == *"\"file\": \"$PWD/$f\""* ]] && files+=("$f")
done
printf '%s\n' "${files[@]}" | xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet
echo "tidy: no findings in the ${#files[@]} files of src/ and tools/ this build compiles"
