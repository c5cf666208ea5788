#!/usr/bin/env bash
# Builds the extension with AddressSanitizer and UndefinedBehaviorSanitizer in
# its own venv and runs the test suite against it, once for the default build
# and once for the portable one (TAXON_SIMD=OFF; TAXON_ASAN_BUILDS picks).
# Any sanitizer report fails the run (UBSan is built to abort on the first
# report).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
venv=${TAXON_ASAN_VENV:-.venv-asan}
[[ "$venv" = /* ]] || venv="$root/$venv"
# The runtimes preloaded below are gcc's, so the extension is built by g++.
export CXX=g++
python3 -m venv "$venv"
"$venv/bin/pip" install -q pytest hypothesis
runtime="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)"
for build in ${TAXON_ASAN_BUILDS:-vector portable}; do
  simd=ON
  [[ $build == portable ]] && simd=OFF
  echo "test-sanitized: $build build (TAXON_SIMD=$simd)"
  (cd "$root" && "$venv/bin/pip" install -q --force-reinstall --no-deps . -Ccmake.define.TAXON_SANITIZE=ON \
    -Ccmake.define.TAXON_SIMD=$simd -Cbuild-dir=build/asan-$build)
  # The interpreter itself is not built with the sanitizer: route its
  # allocations through malloc so ASan sees them, and ignore its own leaks at exit.
  # The command's walk, I/O and limits do not depend on the vector paths:
  # the vector build's run covers them.
  only=()
  [[ $build == portable ]] && only=(--ignore-glob="$root/tests/test_cli_walk.py" --ignore-glob="$root/tests/test_cli_limits.py"
    --ignore-glob="$root/tests/test_cli_inflight.py" --ignore-glob="$root/tests/test_cli_slowfs.py")
  (cd /tmp && LD_PRELOAD="$runtime" PYTHONMALLOC=malloc \
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1:check_initialization_order=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$venv/bin/python" -m pytest -q -p no:cacheprovider "$root/tests" "${only[@]}" "$@")
done
