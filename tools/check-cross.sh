#!/usr/bin/env bash
# The core and the command on other architectures: arm64, 32-bit x86 (i686)
# and big-endian s390x. Builds tools/platform_answers.cpp with the core, and
# the command, for x86-64 (default and TAXON_NO_SIMD) and, with Debian's
# cross compilers, for aarch64, i686 and s390x, all with warnings as errors;
# then compares every build's lines with the x86-64 one's: the answers over
# every fuzz seed, every per-record sample of the test suite and
# CROSS_INPUTS generated inputs (200000), and the command's output (-r
# --json, two threads) over the same files. aarch64 and s390x run under
# qemu; i686 runs natively through its own loader (qemu-i386 7.2 stalls in
# pthread_create, and an x86-64 kernel runs 32-bit code anyway). Any
# difference fails the run.
#
#   tools/check-cross.sh            # the core and the command (CI runs this)
#   tools/check-cross.sh --python   # also the extension and the test suite on arm64 under qemu
#   CROSS_ARCHS=aarch64 tools/check-cross.sh   # fewer architectures
#
# Missing tools (the cross compilers, qemu-user) are installed with apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
inputs=${CROSS_INPUTS:-200000}
seed=${CROSS_SEED:-20261208}
read -r -a archs <<<"${CROSS_ARCHS:-aarch64 i686 s390x}"
out=${TAXON_CROSS_BUILD:-build/cross}
mkdir -p "$out"

apt_install() {
  local sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "$@" >/dev/null
}
need=()
command -v g++ >/dev/null 2>&1 || need+=(g++)
for arch in "${archs[@]}"; do
  command -v "$arch-linux-gnu-g++" >/dev/null 2>&1 || need+=("g++-$arch-linux-gnu")
  [[ $arch == i686 ]] || command -v "qemu-$arch" >/dev/null 2>&1 || need+=(qemu-user)
done
((${#need[@]} == 0)) || apt_install $(printf '%s\n' "${need[@]}" | sort -u)

# How a build runs: natively, through the i686 loader, or under qemu.
runner() {
  case $1 in
    x86_64 | portable) ;;
    i686) echo "/usr/i686-linux-gnu/lib/ld-linux.so.2 --library-path /usr/i686-linux-gnu/lib" ;;
    *) echo "qemu-$1 -L /usr/$1-linux-gnu" ;;
  esac
}

# cpu.hpp alone decides which instruction sets exist: no other file of the
# core tests the architecture or the processor, or includes intrinsics.
if grep -rnE '__(x86_64|aarch64|SSE2|AVX2?|ARM_NEON)__|_M_(X64|ARM64)|__builtin_cpu_|(imm|emm|x86)intrin\.h|arm_neon\.h|__builtin_ctz|target\("(avx|sse)' \
    src/tree --include='*.cpp' --include='*.hpp' | grep -v '^src/tree/cpu.hpp:'; then
  echo "check-cross: the lines above decide on instruction sets outside src/tree/cpu.hpp" >&2
  exit 1
fi

flags=(-std=c++20 -O2 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror -Isrc -pthread)
core=(src/tree/*.cpp src/tree/matchers/*.cpp)
# The command's sources: all of them but the Windows platform layer.
cli=()
for f in src/cli/*.cpp; do [[ $f == */platform_windows.cpp ]] || cli+=("$f"); done
builds=(x86_64 portable "${archs[@]}")
# build NAME: every source to an object, two at a time, then the answer
# printer and the command. Objects are kept: a second run compiles again
# only a source newer than its object (any header change: all of them).
build() {
  local name=$1 cxx=g++ extra=""
  case $name in
    x86_64) ;;
    portable) extra=-DTAXON_NO_SIMD ;;
    *) cxx=$name-linux-gnu-g++ ;;
  esac
  local dir="$out/$name" objects=() todo=() src obj
  mkdir -p "$dir/obj"
  local newest_header
  newest_header=$(find src -name '*.hpp' -printf '%T@ %p\n' | sort -n | tail -n 1 | cut -d' ' -f2)
  for src in tools/platform_answers.cpp "${core[@]}" "${cli[@]}"; do
    obj="$dir/obj/${src//\//_}.o"
    objects+=("$obj")
    if [[ ! -e $obj || $src -nt $obj || $newest_header -nt $obj ]]; then
      todo+=("$src" "$obj")
    fi
  done
  if ((${#todo[@]})); then
    printf '%s\0' "${todo[@]}" | xargs -0 -n 2 -P 2 sh -c "$cxx ${flags[*]} $extra -c \"\$0\" -o \"\$1\""
  fi
  local n_answers=$((1 + ${#core[@]}))
  "$cxx" -pthread "${objects[@]:0:n_answers}" -o "$dir/answers"
  "$cxx" -pthread "${objects[@]:1}" -o "$dir/taxon"
}
echo "check-cross: building the answer printer and the command for ${builds[*]}"
build_start=$SECONDS
for name in "${builds[@]}"; do build "$name"; done
echo "check-cross: built in $((SECONDS - build_start)) s"

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
    print("check-cross: pytest not importable, the binary tests' buffers are left out", file=sys.stderr)
else:
    import test_binary
    for n, data in enumerate(test_binary.ALL_SAMPLES):
        (folder / f"b-{n}").write_bytes(data)
EOF
mapfile -t files < <(find fuzz/corpus "$samples" -type f | sort)

status=0
compared=0
# compare NAME PROGRAM ARGS...: every build's lines against the x86-64 one's.
compare() {
  local name=$1 program=$2
  shift 2
  local lines=0 took=() build_name t
  for build_name in "${builds[@]}"; do
    t=$SECONDS
    # shellcheck disable=SC2046  # the runner's words
    if ! $(runner "$build_name") "$out/$build_name/$program" "$@" >"$out/$name.$build_name"; then
      echo "check-cross: $name: the $build_name build failed" >&2
      status=1
    fi
    took+=("$build_name $((SECONDS - t)) s")
    if [[ $build_name == x86_64 ]]; then
      lines=$(wc -l <"$out/$name.x86_64")
    elif ! cmp -s "$out/$name.x86_64" "$out/$name.$build_name"; then
      echo "check-cross: $name: the $build_name build answers differently:" >&2
      diff "$out/$name.x86_64" "$out/$name.$build_name" | head -n 20 >&2
      status=1
    fi
  done
  if ((lines == 0)); then
    echo "check-cross: $name: the x86-64 build printed nothing" >&2
    status=1
  fi
  local IFS=,
  echo "check-cross: $name: $lines lines compared in each build (${took[*]})"
  compared=$((compared + lines))
}
start=$SECONDS
compare files answers "${files[@]}"
compare generated answers --generate "$inputs" "$seed"
compare command taxon -r --json -j 2 fuzz/corpus "$samples"
echo "check-cross: $compared lines per build, ${#builds[@]} builds, $((SECONDS - start)) s of runs;" \
  "$([[ $status == 0 ]] && echo 'no difference' || echo 'DIFFERENCES')"

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
  echo "check-cross: $(file -b "$module" 2>/dev/null | cut -d, -f1-2 || echo "$module")"
  local start=$SECONDS
  (cd /tmp && PYTHONPATH="$root/$out/python:$cache/site" TAXON_CLI="$bin/taxon" TAXON_TEST_TIME_SCALE=10 \
    "$bin/python3" -m pytest -q -p no:cacheprovider "$root/tests" -k "not test_permission_denied" "${@}")
  local rc=$?
  echo "check-cross: the test suite under qemu took $((SECONDS - start)) s"
  return $rc
}

if [[ "${1:-}" == "--python" && $status == 0 ]]; then
  shift
  python_suite "$@" || status=1
fi
exit $status
