#!/usr/bin/env bash
# Builds the `taxon` command with ThreadSanitizer (build/tsan) and runs the
# command's tests against it; any report fails the run, including one in a
# test that looks only at the command's output (reports are also logged to
# a directory that must stay empty).
#
# One kind of report is suppressed, with its reason, in tools/tsan.supp: a
# descriptor number used by two workers that each have a table of their own.
# The tests that limit the address space (`ulimit -v`) are left out:
# ThreadSanitizer cannot even start under such a limit (it maps terabytes of
# shadow memory).
#
#   tools/test-tsan.sh [PYTEST_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[[ -x .venv/bin/python ]] || { echo "test-tsan: run tools/check first (it makes .venv)" >&2; exit 2; }
cmake -S . -B build/tsan -G Ninja -DPython_EXECUTABLE="$root/.venv/bin/python" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build build/tsan --target taxon_cli
# Some tests run the command as another user (nobody): the suppressions
# and the report directory must be theirs to read and write too, wherever
# the checkout is.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
chmod 1777 "$logs"
cp tools/tsan.supp "$logs/tsan.supp"
chmod 644 "$logs/tsan.supp"
# With the address-space layout randomised as newer kernels do by default
# (vm.mmap_rnd_bits=32), some ThreadSanitizer runtimes find their shadow
# memory taken and die at start; the tests run without the randomisation.
norandom=()
setarch "$(uname -m)" -R true 2>/dev/null && norandom=(setarch "$(uname -m)" -R)
status=0
TSAN_OPTIONS="suppressions=$logs/tsan.supp:log_path=$logs/report:halt_on_error=0" TAXON_CLI="$root/build/tsan/taxon" \
  "${norandom[@]}" .venv/bin/python -m pytest -q -p no:cacheprovider tests/test_cli*.py \
  -k "not little_address_space and not larger_than_memory" "$@" || status=$?
if compgen -G "$logs/report*" >/dev/null; then
  cat "$logs"/report* >&2
  echo "test-tsan: ThreadSanitizer reported the above" >&2
  exit 1
fi
exit "$status"
