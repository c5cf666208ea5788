#!/usr/bin/env bash
# The Spark scale-out test. It needs Java 17+ and PySpark (about 0.5 GB), so
# it runs here instead of in the main suite, and installs what is missing:
# the JRE from Debian, PySpark into a venv kept outside the checkout (reused
# by later runs) with this checkout's taxon installed into it. Here a
# missing Java or PySpark fails the run instead of skipping the test.
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

venv="${TAXON_SPARK_VENV:-${XDG_CACHE_HOME:-$HOME/.cache}/taxon/spark-venv}"
if [[ ! -x "$venv/bin/python" ]]; then
  mkdir -p "$(dirname "$venv")"
  python3 -m venv "$venv"
fi
"$venv/bin/pip" install -q 'pyspark>=3.5,<5'
"$venv/bin/pip" install -q '.[test]'

TAXON_REQUIRE_SPARK=1 "$venv/bin/python" -m pytest -q -k spark tests/test_scale_out.py
