#!/usr/bin/env bash
# Fails when an include under src/ runs up a floor or sideways: a folder may
# include its own files and those of the floors below it, nothing else.
# The floors are listed in docs/design.md.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A floor=(
  [core]=0 [data]=0
  [simd]=1 [platform]=1
  [effects]=2 [image]=2 [display]=2 [timing]=2 [music]=2
  [scene]=3
  [driver]=4
)

status=0
while IFS= read -r file; do
  folder=${file#src/}
  folder=${folder%%/*}
  if [ -z "${floor[$folder]+set}" ]; then
    echo "$file: folder src/$folder has no floor in scripts/check-floors.sh" >&2
    status=1
    continue
  fi
  while IFS= read -r included; do
    target=${included%%/*}
    [ "$target" = "$folder" ] && continue
    if [ -z "${floor[$target]+set}" ]; then
      echo "$file: includes \"$included\", outside the floors" >&2
      status=1
    elif [ "${floor[$target]}" -ge "${floor[$folder]}" ]; then
      echo "$file: includes \"$included\" ($target is not below $folder)" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)
[ "$status" -eq 0 ] && echo "floors: every include under src/ points down"
exit "$status"
