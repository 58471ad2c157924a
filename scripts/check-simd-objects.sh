#!/usr/bin/env bash
# Fails when AVX or AVX-512 instructions appear where baseline x86-64 code
# could run them: in any object file of src/ or tools/ other than the layer
# files (*_avx2.cpp, *_avx512.cpp), or, inside a layer file, in a weak
# (shared, linker-chosen) function, whose one kept copy baseline callers
# would share. Usage: check-simd-objects.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-simd-objects.sh BUILD_DIR}
case "$(uname -m)" in x86_64 | amd64) ;; *) echo "simd objects: not an x86 build, nothing to check"; exit 0 ;; esac

# Prints "function: instruction" for each AVX or AVX-512 instruction (VEX or
# EVEX forms, ymm/zmm/mask registers) of the object, one per function.
avx_functions() {
  objdump -d --no-show-raw-insn "$1" | awk '
    /^[0-9a-f]+ <.*>:$/ { fn = $2; gsub(/[<>:]/, "", fn); next }
    /^ *[0-9a-f]+:\t/ {
      split($0, part, "\t"); insn = part[2]; split(insn, word, " "); m = word[1]
      if (m ~ /^v/ || m ~ /^k(mov|and|or|xor|not|shift|test|add|unpck)/ || insn ~ /%[yz]mm|%k[0-7]/) {
        if (!(fn in seen)) { seen[fn] = 1; print fn ": " insn }
      }
    }'
}

status=0
checked=0
while IFS= read -r object; do
  checked=$((checked + 1))
  case "$object" in
    *_avx2.cpp.o | *_avx512.cpp.o)
      weak=$(nm --defined-only "$object" | awk '$2 ~ /^[WVu]$/ { print $3 }' | sort -u)
      while IFS= read -r line; do
        [ -n "$line" ] || continue
        if grep -qxF -- "${line%%: *}" <<<"$weak"; then
          echo "$object: weak function with AVX instructions: $line" >&2
          status=1
        fi
      done < <(avx_functions "$object")
      ;;
    *)
      while IFS= read -r line; do
        [ -n "$line" ] || continue
        echo "$object: AVX instruction outside the layer files: $line" >&2
        status=1
      done < <(avx_functions "$object")
      ;;
  esac
done < <(find "$build/src" "$build/tools" -name '*.o' | sort)

if [ "$checked" -eq 0 ]; then
  echo "simd objects: no object files under $build/src or $build/tools" >&2
  exit 1
fi
[ "$status" -eq 0 ] && echo "simd objects: $checked objects, AVX only in the layer files' own functions"
exit "$status"
