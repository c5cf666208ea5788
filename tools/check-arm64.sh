#!/usr/bin/env bash
# The core on Linux arm64, under emulation: builds tools/platform_answers.cpp
# with the core for x86-64 (default and TAXON_NO_SIMD) and, with Debian's
# cross compiler, for aarch64; runs the arm64 one under qemu-aarch64; and
# compares every answer line by line over every fuzz seed, every per-record
# sample of the test suite and ARM64_INPUTS generated inputs (200000). Any
# difference fails the run.
#
#   tools/check-arm64.sh            # the core (CI runs this)
#   tools/check-arm64.sh --python   # also the extension and the test suite under qemu
#
# Missing tools (g++-aarch64-linux-gnu, qemu-user) are installed with apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
inputs=${ARM64_INPUTS:-200000}
seed=${ARM64_SEED:-20261208}
out=${TAXON_ARM64_BUILD:-build/arm64}
mkdir -p "$out"

apt_install() {
  local sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$@" >/dev/null
}
need=()
command -v aarch64-linux-gnu-g++ >/dev/null 2>&1 || need+=(g++-aarch64-linux-gnu)
command -v qemu-aarch64 >/dev/null 2>&1 || need+=(qemu-user)
command -v g++ >/dev/null 2>&1 || need+=(g++)
((${#need[@]} == 0)) || apt_install "${need[@]}"

# cpu.hpp alone decides which instruction sets exist: no other file of the
# core tests the architecture or the processor, or includes intrinsics.
if grep -rnE '__(x86_64|aarch64|SSE2|AVX2?|ARM_NEON)__|_M_(X64|ARM64)|__builtin_cpu_|(imm|emm|x86)intrin\.h|arm_neon\.h|__builtin_ctz|target\("(avx|sse)' \
    src/tree --include='*.cpp' --include='*.hpp' | grep -v '^src/tree/cpu.hpp:'; then
  echo "check-arm64: the lines above decide on instruction sets outside src/tree/cpu.hpp" >&2
  exit 1
fi

flags=(-std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror -Isrc)
sources=(tools/platform_answers.cpp src/tree/*.cpp src/tree/matchers/*.cpp)
echo "check-arm64: building the answer printer for x86-64 (vector and portable) and aarch64"
g++ "${flags[@]}" "${sources[@]}" -o "$out/answers-x86_64" &
vector=$!
g++ "${flags[@]}" -DTAXON_NO_SIMD "${sources[@]}" -o "$out/answers-x86_64-portable" &
portable=$!
wait "$vector"
wait "$portable"
aarch64-linux-gnu-g++ "${flags[@]}" "${sources[@]}" -o "$out/answers-aarch64"
arm64=(qemu-aarch64 -L /usr/aarch64-linux-gnu "$out/answers-aarch64")

# The inputs from files: every fuzz seed, every sample of the test suite and
# the binary tests' smallest accepted buffers (those need pytest importable:
# tools/check's venv has it; without it they are left out, with a note).
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
py=python3
[[ -x .venv/bin/python ]] && py=.venv/bin/python
"$py" - "$samples" <<'EOF'
import importlib.util, pathlib, sys, types
sys.path.insert(0, "tests")
if importlib.util.find_spec("taxon") is None:
    sys.modules["taxon"] = types.ModuleType("taxon")
from samples import SAMPLES
folder = pathlib.Path(sys.argv[1])
for name, data in SAMPLES.items():
    (folder / f"s-{name}").write_bytes(data)
if importlib.util.find_spec("pytest") is None:
    print("check-arm64: pytest not importable, the binary tests' buffers are left out", file=sys.stderr)
else:
    import test_binary
    for n, data in enumerate(test_binary.ALL_SAMPLES):
        (folder / f"b-{n}").write_bytes(data)
EOF
mapfile -t files < <(find fuzz/corpus "$samples" -type f | sort)

status=0
compare() {  # compare NAME ARGS...: every build's lines against the x86-64 one's
  local name=$1
  shift
  "$out/answers-x86_64" "$@" >"$out/$name.x86_64"
  "$out/answers-x86_64-portable" "$@" >"$out/$name.portable"
  "${arm64[@]}" "$@" >"$out/$name.aarch64"
  local lines
  lines=$(wc -l <"$out/$name.x86_64")
  for other in portable aarch64; do
    if ! cmp -s "$out/$name.x86_64" "$out/$name.$other"; then
      echo "check-arm64: $name: the $other build answers differently:" >&2
      diff "$out/$name.x86_64" "$out/$name.$other" | head -n 20 >&2
      status=1
    fi
  done
  echo "check-arm64: $name: $lines inputs compared (x86-64 vector, x86-64 portable, aarch64 under qemu)"
  compared=$((compared + lines))
}
compared=0
start=$SECONDS
compare files "${files[@]}"
compare generated --generate "$inputs" "$seed"
echo "check-arm64: $compared inputs, $((SECONDS - start)) s of runs; $([[ $status == 0 ]] && echo 'no difference' || echo 'DIFFERENCES')"

# --python: the extension itself, cross-built, and the whole test suite run
# by Debian's arm64 CPython under qemu. That interpreter cannot sit beside
# the x86-64 one as an installed package, so its packages (and their
# libraries) are unpacked into a cached root instead; libpython3.11-dev:arm64
# gives the headers; pytest and hypothesis come as arm64 wheels.
python_suite() {
  local cache="${XDG_CACHE_HOME:-$HOME/.cache}/taxon/arm64-python"
  local sysroot="$cache/root"
  if [[ ! -x "$sysroot/usr/bin/python3.11" ]]; then
    dpkg --print-foreign-architectures | grep -qx arm64 || dpkg --add-architecture arm64
    apt-get -o DPkg::Lock::Timeout=600 update -qq
    local debs="$cache/debs"
    rm -rf "$debs" "$sysroot"
    mkdir -p "$debs" "$sysroot"
    mapfile -t packages < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
        --no-replaces --no-enhances python3.11:arm64 libpython3.11-dev:arm64 libstdc++6:arm64 \
      | grep -E '^[a-z0-9].*:arm64$' | grep -vE '^(dpkg|install-info|tar|perl.*):' | sort -u)
    (cd "$debs" && apt-get -o DPkg::Lock::Timeout=600 download -qq "${packages[@]}")
    for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
  fi
  if [[ ! -d "$cache/site/hypothesis" ]]; then
    # arm64 wheels where a package has compiled parts.
    python3 -m pip install -q --target "$cache/site" --platform manylinux2014_aarch64 --platform manylinux_2_28_aarch64 \
      --python-version 3.11 --implementation cp --only-binary=:all: pytest hypothesis
  fi
  # The interpreter as a command: subprocesses of the tests (sys.executable)
  # and the `taxon` command run under qemu too. (The test that runs the
  # command as another user is left out: that user cannot reach the cached
  # root in this user's home.)
  local bin="$root/$out/python-bin"
  mkdir -p "$bin"
  cat >"$bin/python3" <<EOS
#!/bin/sh
PYTHONHOME="$sysroot/usr" exec qemu-aarch64 -L "$sysroot" -0 "\$0" "$sysroot/usr/bin/python3.11" "\$@"
EOS
  cat >"$bin/taxon" <<EOS
#!/bin/sh
exec qemu-aarch64 -L "$sysroot" "$root/$out/python/taxon" "\$@"
EOS
  chmod +x "$bin/python3" "$bin/taxon"
  cmake -S . -B "$out/python" -DCMAKE_TOOLCHAIN_FILE="$root/tools/aarch64-linux-gnu.cmake" \
    -DTAXON_ARM64_ROOT="$sysroot" -DCMAKE_BUILD_TYPE=Release >"$out/python-configure.log" \
    || { cat "$out/python-configure.log" >&2; return 1; }
  cmake --build "$out/python" -j 2 >/dev/null
  local module
  module=$(ls "$out/python"/taxon*.so | head -n 1)
  echo "check-arm64: $(file -b "$module" 2>/dev/null | cut -d, -f1-2 || echo "$module")"
  local start=$SECONDS
  (cd /tmp && PYTHONPATH="$root/$out/python:$cache/site" TAXON_CLI="$bin/taxon" TAXON_TEST_TIME_SCALE=10 \
    "$bin/python3" -m pytest -q -p no:cacheprovider "$root/tests" -k "not test_permission_denied" "${@}")
  local rc=$?
  echo "check-arm64: the test suite under qemu took $((SECONDS - start)) s"
  return $rc
}

if [[ "${1:-}" == "--python" && $status == 0 ]]; then
  shift
  python_suite "$@" || status=1
fi
exit $status
