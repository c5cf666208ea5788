#!/usr/bin/env bash
# Builds the two libFuzzer targets from the detection core's sources (no
# Python): fuzz/build.sh [OUT_DIR] [fuzz|coverage]
#   fuzz      AddressSanitizer + UndefinedBehaviorSanitizer (the default)
#   coverage  source-based coverage instrumentation, to replay a corpus
# Needs clang++ with its libFuzzer runtime (CXX overrides the compiler).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
mode=${2:-fuzz}
CXX=${CXX:-clang++}
JOBS=${JOBS:-2}

common=(-std=c++20 -g -fno-omit-frame-pointer -I"$root/src" -I"$root/fuzz"
        -Wall -Wextra -Wshadow -Wno-sign-conversion)
case "$mode" in
  fuzz)
    cflags=(-O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
    lflags=(-fsanitize=fuzzer,address,undefined) ;;
  coverage)
    cflags=(-O0 -fsanitize=fuzzer-no-link -fprofile-instr-generate -fcoverage-mapping)
    lflags=(-fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping) ;;
  *) echo "unknown mode '$mode' (fuzz or coverage)" >&2; exit 2 ;;
esac

mkdir -p "$out/obj"
shopt -s nullglob
sources=("$root"/src/tree/*.cpp "$root"/src/tree/matchers/*.cpp)
export CXX
printf '%s\n' "${sources[@]}" | xargs -P "$JOBS" -I{} sh -c \
  '"$CXX" "$@" -c "{}" -o "'"$out"'/obj/$(basename "{}" .cpp).o"' _ "${common[@]}" "${cflags[@]}"
for target in detect_fuzzer matchers_fuzzer; do
  "$CXX" "${common[@]}" "${cflags[@]}" -c "$root/fuzz/$target.cpp" -o "$out/obj/$target.o"
done
core=()
for src in "${sources[@]}"; do core+=("$out/obj/$(basename "$src" .cpp).o"); done
for target in detect_fuzzer matchers_fuzzer; do
  "$CXX" "${lflags[@]}" "$out/obj/$target.o" "${core[@]}" -o "$out/$target"
done
echo "built $out/detect_fuzzer and $out/matchers_fuzzer ($mode)"
