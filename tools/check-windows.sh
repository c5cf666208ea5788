#!/usr/bin/env bash
# Checks the `taxon` command for Windows:
#  - its sources use none of the waiting primitives that MinGW's libstdc++ 12
#    builds on its own atomic wait (std::latch, std::barrier, semaphores,
#    stop tokens, wait/notify on atomics). Without futexes a waiter there
#    reads a counter, then locks and sleeps without reading it again, and a
#    notifier takes no lock, so a wake-up in between is lost and the waiter
#    sleeps for ever. (They would also need macOS 11 at run time.)
#  - it cross-builds with MinGW-w64 (warnings as errors);
#  - when Wine is there (or TAXON_WINE=install asks for it), it gives the
#    native command's answers in five output modes; then, beside busy
#    processes, it is started TAXON_WINE_RUNS times (300) as
#    `-r -j 2 --summary`, each run with a time limit, and any stall or wrong
#    summary fails the check.
#
#   tools/check-windows.sh [NATIVE_TAXON]
#
# NATIVE_TAXON defaults to TAXON_CLI, else `taxon` on PATH; without one the
# runs under Wine are skipped. TAXON_WINE=off: the source check and the
# cross-build alone. Knobs for a harsher stress: TAXON_WINE_BUSY busy
# processes (2), TAXON_WINE_CPUS a CPU list that they and the command are
# pinned to with taskset (none), TAXON_WINE_LIMIT seconds a run may take (10).
# The build and the Wine prefix live outside the checkout, under
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

fails=0
# Everything taxon.exe is built from, without its comments and literals.
if ! python3 - src/cli src/tree <<'PY'
import pathlib, re, sys
literal = re.compile(r"//[^\n]*|/\*.*?\*/|\"(?:\\.|[^\"\\\n])*\"|'(?:\\[^\n]{1,9}?|[^'\\\n])'", re.S)
banned = [
    re.compile(r"#\s*include\s*<(?:latch|barrier|semaphore|stop_token)>"),
    re.compile(r"\bstd::(?:latch|barrier|counting_semaphore|binary_semaphore|jthread|stop_token|stop_source|stop_callback)\b"),
    re.compile(r"\batomic(?:_flag)?_(?:wait|wait_explicit|notify_one|notify_all)\b"),
    re.compile(r"\batomic_ref\s*<[^;]*?>\s*\([^;]*?\)\s*\.\s*(?:wait|notify_one|notify_all)\s*\("),
]
atomic = re.compile(r"\batomic(?:_ref)?\s*<[^;{}()]*?>\s*(?:&\s*)?(\w+)|\batomic_flag\s+(?:&\s*)?(\w+)")
texts = {}
for top in sys.argv[1:]:
    for path in sorted(pathlib.Path(top).rglob("*")):
        if path.suffix in {".cpp", ".hpp", ".h", ".cc", ".inc"}:
            text = path.read_text(encoding="utf-8", errors="replace")
            texts[path] = literal.sub(lambda m: re.sub(r"[^\n]", " ", m.group()), text)
# Waits and notifications on the objects declared atomic anywhere here.
names = sorted({a or b for text in texts.values() for a, b in atomic.findall(text)})
if names:
    banned.append(re.compile(r"\b(?:%s)\s*(?:\.|->)\s*(?:wait|notify_one|notify_all)\s*\(" % "|".join(names)))
found = sorted((str(path), text.count("\n", 0, m.start()) + 1, " ".join(m.group().split()))
               for path, text in texts.items() for pattern in banned for m in pattern.finditer(text))
for path, line, what in found:
    print(f"{path}:{line}: {what}: built on libstdc++'s atomic wait, which loses wake-ups under MinGW;"
          " use a mutex and a condition variable waited on with a predicate")
sys.exit(1 if found else 0)
PY
then
  fails=1
fi

cxx=x86_64-w64-mingw32-g++-posix  # the POSIX thread model: std::thread
command -v "$cxx" >/dev/null || apt_install g++-mingw-w64-x86-64

# One build folder (and Wine prefix) per checkout: CMake ties a build folder
# to its sources.
key=$(printf %s "$root" | sha1sum | cut -c1-12)
build="$cache/build-$key"
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

# Debian's wine64 package puts its loader and server under /usr/lib/wine only.
find_wine() { command -v wine64 || command -v wine || ls /usr/lib/wine/wine64 2>/dev/null || true; }
wine=$(find_wine)
if [[ "${TAXON_WINE:-}" == "off" ]]; then  # the cross-build alone
  echo "not run under Wine (TAXON_WINE=off)"
  exit "$fails"
fi
if [[ -z "$wine" && "${TAXON_WINE:-}" == "install" ]]; then
  apt_install wine64
  wine=$(find_wine)
fi
if [[ -z "$wine" || -z "$native" || ! -x "$native" ]]; then
  echo "not run under Wine (wine: ${wine:-missing}, native command: ${native:-missing})"
  # Asked for, the runs under Wine are not skipped quietly.
  [[ "${TAXON_WINE:-}" == "install" ]] && exit 1
  exit "$fails"
fi
wineserver=$(command -v wineserver || true)
for beside in "$(dirname "$wine")/wineserver" /usr/lib/wine/wineserver; do
  if [[ -z "$wineserver" && -x "$beside" ]]; then wineserver=$beside; fi
done
if [[ -z "$wineserver" ]]; then
  echo "no wineserver beside $wine" >&2
  exit 1
fi

# This checkout's own prefix, and one Wine server kept for all the runs:
# none left from an earlier run (killed first), none left after this one.
export WINEPREFIX="$cache/wineprefix-$key" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
work=$(mktemp -d)
busy=()
cleanup() {
  if ((${#busy[@]})); then kill "${busy[@]}" 2>/dev/null || true; fi
  timeout 60 "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
timeout 60 "$wineserver" -k 2>/dev/null || true
"$wineserver" -p
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then  # a new prefix: some seconds
  seconds=$SECONDS
  if ! timeout -k 10 600 "$wine" wineboot --init >"$work/wineboot.log" 2>&1; then
    cat "$work/wineboot.log" >&2
    echo "could not make the Wine prefix $WINEPREFIX" >&2
    exit 1
  fi
  echo "made the Wine prefix in $((SECONDS - seconds)) s"
fi

# Files of many kinds, a nested directory and names outside ASCII.
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

limit=${TAXON_WINE_LIMIT:-10}  # a run takes well under a second here
# The Windows command prints paths with its own separator, lines with CRLF.
unwin() { printf '%s\n' "$1" | tr -d '\r' | sed 's/\\\\/\//g'; }
for args in "-r -j 1" "-r -j 2" "-r --json" "-r --summary" "-r --summary --json"; do
  # shellcheck disable=SC2086
  expect=$(cd "$work" && "$native" $args t)
  # A run that hangs under Wine fails instead of stalling the check.
  # shellcheck disable=SC2086
  if ! raw=$(cd "$work" && timeout -k 5 "$limit" "$wine" "$exe" $args t); then
    echo "FAILED or HUNG ($limit s) under Wine: taxon $args"
    fails=1
    continue
  fi
  got=$(unwin "$raw")
  if [[ "$got" == "$expect" ]]; then
    echo "same answers under Wine: taxon $args"
  else
    echo "DIFFERENT under Wine: taxon $args"
    diff <(echo "$expect") <(echo "$got") || true
    fails=1
  fi
done

# The start-up stress: worker threads that signal the main one while it
# goes to sleep. A lost wake-up there stalls a run for ever, but only now
# and then, and more often with the processors busy.
runs=${TAXON_WINE_RUNS:-300}
pin=()
if [[ -n "${TAXON_WINE_CPUS:-}" ]]; then pin=(taskset -c "$TAXON_WINE_CPUS"); fi
args=(-r -j 2 --summary t)
expect=$(cd "$work" && "$native" "${args[@]}")
# Each one stops by itself if this script is killed.
for ((i = 0; i < ${TAXON_WINE_BUSY:-2}; i++)); do
  "${pin[@]}" bash -c 'while kill -0 "$1" 2>/dev/null; do for ((n = 0; n < 100000; n++)); do :; done; done' busy $$ &
  busy+=($!)
done
ran=0 stalled=0 wrong=0 slowest=0
start=${EPOCHREALTIME/./}
while ((ran < runs && stalled + wrong < 10)); do
  ran=$((ran + 1))
  began=${EPOCHREALTIME/./}
  status=0
  raw=$(cd "$work" && "${pin[@]}" timeout -k 5 "$limit" "$wine" "$exe" "${args[@]}") || status=$?
  took=$((${EPOCHREALTIME/./} - began))
  if ((status == 124 || status == 137)); then
    stalled=$((stalled + 1))
    echo "STALLED under Wine: run $ran of taxon ${args[*]} still going after $limit s"
    continue
  fi
  got=$(unwin "$raw")
  if ((status != 0)) || [[ "$got" != "$expect" ]]; then
    wrong=$((wrong + 1))
    echo "WRONG under Wine: run $ran of taxon ${args[*]} (exit status $status)"
    diff <(echo "$expect") <(echo "$got") || true
    continue
  fi
  if ((took > slowest)); then slowest=$took; fi
done
kill "${busy[@]}" 2>/dev/null || true
busy=()
((stalled + wrong < 10)) || echo "stopped after $ran runs: 10 failed"
printf 'stress under Wine: %d runs of taxon %s beside %d busy processes%s: %d stalled (over %s s), %d wrong; %.1f s in all, slowest good run %.2f s\n' \
  "$ran" "${args[*]}" "${TAXON_WINE_BUSY:-2}" "${TAXON_WINE_CPUS:+ on CPUs $TAXON_WINE_CPUS}" "$stalled" "$limit" "$wrong" \
  "$(((${EPOCHREALTIME/./} - start) / 1000))e-3" "${slowest}e-6"
((stalled + wrong == 0)) || fails=1
exit "$fails"
