#!/usr/bin/env bash
# Builds the two libFuzzer targets through CMake's TAXON_FUZZ option (the
# core's own source list, no Python): fuzz/build.sh [OUT_DIR] [fuzz|coverage]
#   fuzz      AddressSanitizer + UndefinedBehaviorSanitizer (the default)
#   coverage  source-based coverage instrumentation, to replay a corpus
# Needs clang++ with its libFuzzer runtime (CXX overrides the compiler).
# Extra CMake arguments may follow, e.g. -DTAXON_SIMD=OFF.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
mode=${2:-fuzz}
shift $(( $# > 2 ? 2 : $# ))
CXX=${CXX:-clang++}
JOBS=${JOBS:-2}
case "$mode" in
  fuzz|coverage) ;;
  *) echo "unknown mode '$mode' (fuzz or coverage)" >&2; exit 2 ;;
esac
mkdir -p "$out"
cmake -S "$root" -B "$out" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAXON_PYTHON=OFF -DTAXON_CLI=OFF -DTAXON_FUZZ=ON -DTAXON_FUZZ_MODE="$mode" "$@" >"$out/configure.log" 2>&1 \
  || { cat "$out/configure.log" >&2; exit 1; }
cmake --build "$out" -j "$JOBS" --target detect_fuzzer matchers_fuzzer >/dev/null
echo "built $out/detect_fuzzer and $out/matchers_fuzzer ($mode)"
