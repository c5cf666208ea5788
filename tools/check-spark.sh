#!/usr/bin/env bash
# The Spark scale-out tests. They need Java 17+ and PySpark (about 0.5 GB),
# so they run here instead of in the main suite, and this installs what is
# missing: the JRE from Debian, PySpark into a directory kept outside the
# checkout (reused by later runs). The interpreter is tools/check's venv when
# it is there (as in CI, right after tools/check: taxon is not built twice),
# else a venv beside PySpark's directory with this checkout's taxon. Here a
# missing Java or PySpark fails the run instead of skipping the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

java_major() {
  java -version 2>&1 | sed -n 's/.*version "\([0-9]*\).*/\1/p' | head -n 1
}
if ! command -v java >/dev/null || (( $(java_major) < 17 )); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=600 update -q
  apt-get -o DPkg::Lock::Timeout=600 install -y -q openjdk-17-jre-headless
fi

cache="${XDG_CACHE_HOME:-$HOME/.cache}/taxon"
if [[ -x .venv/bin/python ]] && .venv/bin/python -c 'import taxon, distributed, pytest' 2>/dev/null; then
  py=.venv/bin/python
else
  venv="$cache/spark-venv"
  [[ -x "$venv/bin/python" ]] || python3 -m venv "$venv"
  "$venv/bin/pip" install -q '.[test]'
  py="$venv/bin/python"
fi

# One directory per interpreter version: PySpark is pure Python, but pip
# resolves its dependencies for the interpreter that installs it.
lib="$cache/pyspark-$("$py" -c 'import sys; print("%d.%d" % sys.version_info[:2])')"
if ! PYTHONPATH="$lib" "$py" -c 'import pyspark' 2>/dev/null; then
  rm -rf "$lib"
  "$py" -m pip install -q --target "$lib" 'pyspark>=3.5,<5'
fi

# PYTHONPATH reaches Spark's Python workers too: they run this interpreter.
PYTHONPATH="$lib${PYTHONPATH:+:$PYTHONPATH}" TAXON_REQUIRE_SPARK=1 \
  "$py" -m pytest -q -k spark tests/test_scale_out.py
