#!/usr/bin/env bash
# Cross-builds the detection core and the `taxon` command for Windows with
# MinGW-w64 (warnings as errors), then, when Wine is there (or
# TAXON_WINE=install asks for it), runs the Windows command on files made
# here and compares its answers with the native command's, line for line.
#
#   tools/check-windows.sh [NATIVE_TAXON]
#
# NATIVE_TAXON defaults to TAXON_CLI, else `taxon` on PATH; without one the
# comparison is skipped. The build lives outside the checkout, under
# ${XDG_CACHE_HOME:-$HOME/.cache}/taxon/windows.
set -euo pipefail
# The native command, as an absolute path: the comparison runs it elsewhere.
native="${1:-${TAXON_CLI:-$(command -v taxon || true)}}"
[[ -n "$native" ]] && native=$(realpath "$native")
cd "$(dirname "$0")/.."
root=$PWD
cache="${XDG_CACHE_HOME:-$HOME/.cache}/taxon/windows"
apt_install() {
  local install=(env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=600 --no-install-recommends "$@")
  "${install[@]}" >/dev/null 2>&1 || { apt-get update -q -o DPkg::Lock::Timeout=600 >/dev/null && "${install[@]}" >/dev/null; }
}

cxx=x86_64-w64-mingw32-g++-posix  # the POSIX thread model: std::thread
command -v "$cxx" >/dev/null || apt_install g++-mingw-w64-x86-64

# One build folder per checkout: CMake ties a build folder to its sources.
build="$cache/build-$(printf %s "$root" | sha1sum | cut -c1-12)"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_RC_COMPILER=x86_64-w64-mingw32-windres \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="-Werror" \
  -DCMAKE_EXE_LINKER_FLAGS="-static" \
  -DTAXON_PYTHON=OFF -DTAXON_CLI=ON >/dev/null
cmake --build "$build" -j 2
exe="$build/taxon.exe"
echo "built $exe"

# Debian's wine64 package puts its loader under /usr/lib/wine only.
find_wine() { command -v wine64 || command -v wine || ls /usr/lib/wine/wine64 2>/dev/null || true; }
wine=$(find_wine)
if [[ "${TAXON_WINE:-}" == "off" ]]; then  # the cross-build alone
  echo "not run under Wine (TAXON_WINE=off)"
  exit 0
fi
if [[ -z "$wine" && "${TAXON_WINE:-}" == "install" ]]; then
  apt_install wine64
  wine=$(find_wine)
fi
if [[ -z "$wine" || -z "$native" ]]; then
  echo "not run under Wine (wine: ${wine:-missing}, native command: ${native:-missing})"
  exit 0
fi

# Files of many kinds, a nested directory and names outside ASCII.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$cache/wineprefix" WINEDEBUG=-all
python3 - "$work/t" <<'PY'
import bz2, gzip, io, os, sys, zipfile, zlib, struct
top = sys.argv[1]
os.makedirs(os.path.join(top, "sub", "deeper"))
def png():
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0)) + chunk(b"IEND", b"")
z = io.BytesIO()
with zipfile.ZipFile(z, "w") as f:
    f.writestr("a.txt", "hello")
files = {
    "empty": b"", "text": b"plain words\n", "page": b"<!DOCTYPE html><html></html>", "data": b'{"a": [1]}',
    "image": png(), "z.gz": gzip.compress(b"x" * 50), "z.bz2": bz2.compress(b"x"), "a.zip": z.getvalue(),
    "noise": bytes(range(256)) * 20, "sub/deeper/x.xml": b"<?xml version='1.0'?><a/>",
    "sub/\u00fcml\u00e4ut": b"%PDF-1.7\n", "sub/\u65e5\u672c": b"GIF89a" + bytes(20),
}
for name, data in files.items():
    with open(os.path.join(top, name), "wb") as out:
        out.write(data)
PY
fails=0
for args in "-r -j 1" "-r -j 2" "-r --json" "-r --summary" "-r --summary --json"; do
  # The Windows command prints paths with its own separator.
  # shellcheck disable=SC2086
  expect=$(cd "$work" && "$native" $args t)
  # A run that hangs under Wine fails instead of stalling the check.
  # shellcheck disable=SC2086
  if ! raw=$(cd "$work" && timeout 120 "$wine" "$exe" $args t); then
    echo "FAILED or HUNG (120 s) under Wine: taxon $args"
    fails=1
    continue
  fi
  got=$(printf '%s\n' "$raw" | tr -d '\r' | sed 's/\\\\/\//g')
  if [[ "$got" == "$expect" ]]; then
    echo "same answers under Wine: taxon $args"
  else
    echo "DIFFERENT under Wine: taxon $args"
    diff <(echo "$expect") <(echo "$got") || true
    fails=1
  fi
done
exit "$fails"
