#!/usr/bin/env bash
# Builds the two fuzz targets (clang, libFuzzer, ASan + UBSan) and runs each
# for a fixed number of inputs, starting from the seed corpus in
# fuzz/corpus/ and the test suite's samples (one per record of the tree). Any finding (sanitizer report, failed check, crash, timeout)
# fails the run; the input that caused it is left in build/fuzz/artifacts/.
#
#   tools/fuzz-smoke.sh            # FUZZ_RUNS inputs per target (200000)
#
# With CI=true a missing clang is installed with apt-get; otherwise a missing
# clang is an error that says what to install.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${FUZZ_RUNS:-200000}
out=${TAXON_FUZZ_BUILD:-build/fuzz}

has_fuzzer_clang() {
  command -v clang++ >/dev/null 2>&1 || return 1
  local probe
  probe=$(mktemp -d)
  printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }\n' \
    > "$probe/probe.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1
  local ok=$?
  rm -rf "$probe"
  return $ok
}

if ! has_fuzzer_clang; then
  if [[ "${CI:-}" == "true" ]]; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang >/dev/null
    if ! has_fuzzer_clang; then
      # libFuzzer and the sanitizer runtimes ship apart from clang, as a
      # package that is only recommended on some releases.
      major=$(clang++ --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
      DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "libclang-rt-$major-dev" >/dev/null || true
    fi
  fi
  if ! has_fuzzer_clang; then
    echo "fuzz-smoke: needs clang++ with libFuzzer and the sanitizer runtimes" >&2
    echo "  (Debian/Ubuntu: apt-get install clang; run with CI=true to install it automatically)" >&2
    exit 1
  fi
fi

if ! command -v cmake >/dev/null 2>&1; then
  # The targets are built through CMake; a pip-installed one will do.
  tools_venv="${XDG_CACHE_HOME:-$HOME/.cache}/taxon/venv-cmake"
  [[ -x "$tools_venv/bin/cmake" ]] || { python3 -m venv "$tools_venv" && "$tools_venv/bin/pip" install -q cmake; }
  export PATH="$tools_venv/bin:$PATH"
fi
fuzz/build.sh "$out" fuzz
mkdir -p "$out/artifacts"
samples=$(mktemp -d)
python3 fuzz/make_seeds.py --samples "$samples" >/dev/null
status=0
for target in detect matchers; do
  # New inputs go to a scratch corpus, so the seeds in the tree stay as made.
  scratch=$(mktemp -d)
  echo "fuzz-smoke: $target, $runs inputs"
  if ! "$out/${target}_fuzzer" -runs="$runs" -max_len=4096 -len_control=0 -timeout=10 \
      -artifact_prefix="$out/artifacts/$target-" "$scratch" "fuzz/corpus/$target" "$samples" >"$out/$target.log" 2>&1; then
    echo "fuzz-smoke: $target FAILED; its log:" >&2
    tail -n 60 "$out/$target.log" >&2
    status=1
  else
    grep -E '^Done [0-9]+ runs' "$out/$target.log" || true
  fi
  rm -rf "$scratch"
done
rm -rf "$samples"
exit $status
