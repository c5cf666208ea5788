#!/usr/bin/env bash
# valgrind memcheck over a representative part of the test suite: the module
# surface, registrations, hostile callers, properties, and the binary,
# container, UTF-8 and UTF-16 format tests. Builds the extension with debug info in its own venv,
# runs the interpreter under memcheck with PYTHONMALLOC=malloc (so every
# Python object is a malloc block valgrind can check), and fails on any
# memory error or definite leak that the suppressions do not cover.
#
#   tools/valgrind-tests.sh [extra pytest options, e.g. -x]
#
# Suppressions: CPython's own valgrind-python.supp when one is found (or named
# by VALGRIND_PYTHON_SUPP), and tools/valgrind-python.supp for the
# interpreter's start-up and exit noise. The loop-based leak tests and the
# thread tests are left out: their subprocesses run outside valgrind and
# their loops are too slow under it; valgrind checks leaks itself here.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind-tests: needs valgrind (Debian/Ubuntu: apt-get install valgrind)" >&2
  exit 1
fi
venv=${TAXON_VALGRIND_VENV:-.venv-valgrind}
python3 -m venv "$venv"
"$venv/bin/pip" install -q pytest hypothesis
"$venv/bin/pip" install -q . -Ccmake.build-type=RelWithDebInfo -Cbuild-dir=build/valgrind

supp=(--suppressions="$root/tools/valgrind-python.supp")
python_supp=${VALGRIND_PYTHON_SUPP:-}
if [[ -z "$python_supp" ]]; then
  base=$("$venv/bin/python" -c 'import sys; print(sys.base_prefix)')
  python_supp=$(find "$base" /usr/lib/valgrind /usr/libexec/valgrind /usr/share/doc -name 'valgrind-python.supp' \
                  2>/dev/null | head -n 1 || true)
fi
[[ -n "$python_supp" && -f "$python_supp" ]] && supp+=(--suppressions="$python_supp")

tests=(test_module.py test_registrations.py test_hostile.py test_properties.py test_walk.py test_binary.py
       test_zip.py test_ole.py test_media.py test_encodings.py test_json.py test_markup.py test_utf16.py)
args=()
for t in "${tests[@]}"; do [[ -f "tests/$t" ]] && args+=("$root/tests/$t"); done

cd /tmp
PYTHONMALLOC=malloc valgrind --tool=memcheck --error-exitcode=99 --num-callers=40 \
  --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
  --log-file="$root/build/valgrind.log" "${supp[@]}" \
  "$root/$venv/bin/python" -m pytest -q -p no:cacheprovider \
  -k "not does_not_leak and not threads and not subprocess and not recursion_raises and not sub_interpreters" \
  "${args[@]}" "$@" && status=0 || status=$?
grep -E "ERROR SUMMARY|definitely lost" "$root/build/valgrind.log" || true
if [[ $status -ne 0 ]]; then
  echo "valgrind-tests: FAILED (exit $status); full report in build/valgrind.log" >&2
fi
exit $status
