#!/usr/bin/env bash
# Line coverage of the matcher sources reached by fuzz corpora:
#   fuzz/coverage.sh DETECT_CORPUS MATCHERS_CORPUS [OUT_DIR]
# Builds both targets with source-based coverage, replays each corpus once
# (-runs=0) and prints llvm-cov's report for src/tree/matchers/*.cpp, first
# per target, then for the two together.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
detect_corpus=$1
matchers_corpus=$2
out=${3:-$root/build/fuzz-coverage}
PROFDATA=${LLVM_PROFDATA:-llvm-profdata}
COV=${LLVM_COV:-llvm-cov}

"$root/fuzz/build.sh" "$out" coverage
for target in detect matchers; do
  corpus=$([[ $target == detect ]] && echo "$detect_corpus" || echo "$matchers_corpus")
  rm -f "$out/$target".*.profraw
  LLVM_PROFILE_FILE="$out/$target.%p.profraw" "$out/${target}_fuzzer" -runs=0 "$corpus" >"$out/$target.replay.log" 2>&1
  "$PROFDATA" merge -sparse "$out/$target".*.profraw -o "$out/$target.profdata"
done
"$PROFDATA" merge -sparse "$out/detect.profdata" "$out/matchers.profdata" -o "$out/both.profdata"
sources=("$root"/src/tree/matchers/*.cpp)
for target in detect matchers; do
  echo "== $target"
  "$COV" report "$out/${target}_fuzzer" -instr-profile="$out/$target.profdata" "${sources[@]}"
done
echo "== both"
"$COV" report "$out/detect_fuzzer" -object "$out/matchers_fuzzer" -instr-profile="$out/both.profdata" "${sources[@]}"
