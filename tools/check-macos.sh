#!/usr/bin/env bash
# Compiles the core, the command and the module's sources for macOS x86_64
# and arm64 at the deployment targets the wheels declare
# ([tool.cibuildwheel.macos] in pyproject.toml), against libc++ with Apple's
# availability markup on, so that a library feature newer than the target
# (std::shared_mutex before 10.12, aligned new before 10.13, std::latch
# before 11.0, ...) is an error here, as it is on a macOS runner. It also
# checks that one step below the x86_64 target fails, so the target is the
# oldest the code allows. Compiling only: no macOS linker is needed.
#
# The compiler is zig's clang (the ziglang wheel, which carries the macOS
# SDK's C headers); the C++ library headers are Debian's libc++ 16, unpacked
# into the cache with apt-get download, with the two headers that turn the
# markup off on Linux overlaid:
# - __config_site, whose Linux build sets _LIBCPP_HAS_NO_VENDOR_AVAILABILITY_ANNOTATIONS;
# - __availability, whose markup from before Apple shipped <format> calls it
#   unavailable at every version, which zig's newer clang rejects in <chrono>'s
#   own declarations; this code uses no <format> (checked below), so that one
#   mark is dropped.
# Everything is kept under ${XDG_CACHE_HOME:-~/.cache}/taxon/macos-check.
set -euo pipefail
cd "$(dirname "$0")/.."
cache="${XDG_CACHE_HOME:-$HOME/.cache}/taxon/macos-check"
mkdir -p "$cache"

# The targets, as pyproject.toml declares them.
target_of() {
  python3 - "$1" <<'EOF'
import sys, tomllib
with open("pyproject.toml", "rb") as f:
    overrides = tomllib.load(f)["tool"]["cibuildwheel"].get("overrides", [])
for o in overrides:
    if o.get("select") == f"*-macosx_{sys.argv[1]}" and "MACOSX_DEPLOYMENT_TARGET" in o.get("environment", {}):
        print(o["environment"]["MACOSX_DEPLOYMENT_TARGET"])
        break
else:
    sys.exit(f"check-macos: no deployment target for {sys.argv[1]} in pyproject.toml")
EOF
}
x86_target=$(target_of x86_64)
arm_target=$(target_of arm64)

if [[ ! -x "$cache/venv/bin/python" ]] || ! "$cache/venv/bin/python" -m ziglang version >/dev/null 2>&1; then
  python3 -m venv "$cache/venv"
  "$cache/venv/bin/pip" install -q 'ziglang>=0.13'
fi
zig=("$cache/venv/bin/python" -m ziglang)

libcxx="$cache/libcxx-16/usr/lib/llvm-16/include/c++/v1"
if [[ ! -f $libcxx/__availability ]]; then
  rm -rf "$cache/debs" "$cache/libcxx-16"
  mkdir -p "$cache/debs"
  (cd "$cache/debs" && apt-get -o DPkg::Lock::Timeout=600 download -qq libc++-16-dev libc++abi-16-dev 2>/dev/null) || {
    apt-get -o DPkg::Lock::Timeout=600 update -qq
    (cd "$cache/debs" && apt-get -o DPkg::Lock::Timeout=600 download -qq libc++-16-dev libc++abi-16-dev 2>/dev/null)
  }
  for deb in "$cache/debs"/*.deb; do dpkg-deb -x "$deb" "$cache/libcxx-16"; done
fi
overlay="$cache/overlay"
mkdir -p "$overlay"
grep -v '_LIBCPP_HAS_NO_VENDOR_AVAILABILITY_ANNOTATIONS' "$libcxx/__config_site" >"$overlay/__config_site"
python3 - "$libcxx/__availability" "$overlay/__availability" <<'EOF'
import sys
text = open(sys.argv[1]).read()
mark = "#   define _LIBCPP_AVAILABILITY_FORMAT                                          \\\n        __attribute__((unavailable))\n"
if text.count(mark) != 1:
    sys.exit("check-macos: libc++'s __availability has changed; look at its <format> markup again")
open(sys.argv[2], "w").write(text.replace(mark, "#   define _LIBCPP_AVAILABILITY_FORMAT\n"))
EOF
if grep -rnE '#include <format>|std::(v?format|format_to)\b' src tools/platform_answers.cpp; then
  echo "check-macos: <format> is used above; this check's libc++ markup does not cover it" >&2
  exit 1
fi

python_include=$(python3 -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
sources=(src/tree/*.cpp src/tree/matchers/*.cpp src/module/*.cpp)
# The command's sources: all of them but the Windows platform layer.
for f in src/cli/*.cpp; do [[ $f == */platform_windows.cpp ]] || sources+=("$f"); done
objects="$cache/objects"
mkdir -p "$objects"
# compile TARGET: every source, two at a time; prints the compiler's errors.
compile() {
  printf '%s\0' "${sources[@]}" | xargs -0 -P 2 -I{} sh -c '
    "$@" -c {} -o "'"$objects"'/$(echo {} | tr / _).o" 2>&1 | grep -v "argument unused during compilation" || true' _ \
    "${zig[@]}" c++ -target "$1" -std=c++20 -O1 -nostdinc++ -I "$overlay" -I "$libcxx" -isystem "$python_include" \
    -Isrc -DTAXON_VERSION='"check"' -fconstexpr-steps=10000000 -Wall -Wextra -Wno-unused-command-line-argument
}

status=0
for pair in "x86_64-macos.$x86_target" "aarch64-macos.$arm_target"; do
  errors=$(compile "$pair")
  if [[ -n $errors ]]; then
    echo "check-macos: $pair: the sources do not compile:" >&2
    echo "$errors" | head -n 40 >&2
    status=1
  else
    echo "check-macos: $pair: core, command and module compile (${#sources[@]} sources, availability errors on)"
  fi
done
# One step below the x86_64 target, something must be unavailable: else the
# target could be lowered.
below=$(python3 -c "major, minor = map(int, '$x86_target'.split('.')[:2]); print(f'{major}.{minor - 1}' if minor else f'{major - 1}.15')")
errors=$(compile "x86_64-macos.$below")
if [[ $errors != *"only available on macOS"* && $errors != *"is unavailable: introduced in macOS"* ]]; then
  echo "check-macos: x86_64-macos.$below compiles too: lower the deployment target" >&2
  status=1
else
  echo "check-macos: x86_64-macos.$below fails, as it should: $(grep -oE "(only available on macOS [0-9.]+|introduced in macOS [0-9.]+)" <<<"$errors" | sort -u | paste -sd, -)"
fi
exit $status
