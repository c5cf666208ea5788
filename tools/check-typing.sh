#!/usr/bin/env bash
# Type information check: builds the wheel, installs it with mypy in a fresh
# venv and runs `mypy --strict` on examples/typing_example.py, which uses
# every function. Then checks that the stubs are strict enough to refuse
# wrong calls. Fails on any error.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 -m venv "$work/venv"
py="$work/venv/bin/python"
"$py" -m pip install -q mypy
"$py" -m pip wheel -q --no-deps -w "$work/dist" .
"$py" -m pip install -q "$work"/dist/taxon_sniff-*.whl

# From outside the source tree, so only the installed stubs are seen.
cd "$work"
"$py" -m mypy --strict --no-incremental "$root/examples/typing_example.py"
"$py" "$root/examples/typing_example.py" > /dev/null

# Calls the stubs must refuse: data as str, magic passed by position, a
# matcher with the wrong parameter type, a bad use of the result.
cat > "$work/wrong.py" <<'PY'
import taxon
taxon.detect_mime("text")
taxon.register("a/b", ".b", b"AB")
def by_str(data: str) -> bool: return True
taxon.register("a/b", ".b", matcher=by_str)
n: int = taxon.detect_type(b"")
PY
if out=$("$py" -m mypy --strict --no-incremental "$work/wrong.py"); then
  echo "check-typing: mypy accepted calls the stubs must refuse" >&2
  exit 1
fi
errors=$(grep -c ': error:' <<<"$out" || true)
if [[ "$errors" != 4 ]]; then
  echo "check-typing: expected 4 errors on the wrong calls, got:" >&2
  echo "$out" >&2
  exit 1
fi
echo "check-typing: ok"
