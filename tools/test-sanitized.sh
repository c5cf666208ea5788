#!/usr/bin/env bash
# Builds the extension with AddressSanitizer and UndefinedBehaviorSanitizer in
# its own venv and runs the test suite against it. Any sanitizer report fails
# the run (UBSan is built to abort on the first report).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
venv=${TAXON_ASAN_VENV:-.venv-asan}
[[ "$venv" = /* ]] || venv="$root/$venv"
# The runtimes preloaded below are gcc's, so the extension is built by g++.
export CXX=g++
python3 -m venv "$venv"
"$venv/bin/pip" install -q pytest hypothesis
"$venv/bin/pip" install -q . -Ccmake.define.TAXON_SANITIZE=ON -Cbuild-dir=build/asan
runtime="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)"
# The interpreter itself is not built with the sanitizer: route its
# allocations through malloc so ASan sees them, and ignore its own leaks at exit.
cd /tmp
LD_PRELOAD="$runtime" PYTHONMALLOC=malloc ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1:check_initialization_order=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$venv/bin/python" -m pytest -q -p no:cacheprovider "$root/tests" "$@"
