#!/usr/bin/env bash
# Builds taxon against a free-threaded CPython (tools/free-threaded-python.sh,
# cached outside the checkout) in its own venv, runs the whole test suite
# with the GIL off (PYTHON_GIL=0), then a stress run: 8 threads detecting
# while 2 threads register, list and clear, every answer checked, under a
# timeout so that a deadlock fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
python=$(tools/free-threaded-python.sh | tail -n 1)
venv="$root/.venv-ft"

"$python" -m venv --clear "$venv"
# hypothesis's newest releases ship no wheel for a free-threaded interpreter
# and build from source with Rust; its newest pure-Python wheel does.
"$venv/bin/pip" install -q --only-binary :all: pytest hypothesis
"$venv/bin/pip" install -q . -Cbuild-dir=build/ft

export PYTHON_GIL=0
cd /tmp
"$venv/bin/python" -c 'import sys, taxon; assert not sys._is_gil_enabled(), "GIL on"'
"$venv/bin/python" -m pytest -q -p no:cacheprovider "$root/tests" "$@"

timeout -k 10 300 "$venv/bin/python" - <<'EOF'
import faulthandler
import random
import sys
import threading
import time

import taxon

faulthandler.dump_traceback_later(240, exit=True)  # a deadlock fails, with the stacks
assert not sys._is_gil_enabled()

ROUNDS = 50_000          # rounds (detect_mime + detect_type) per detecting thread
DETECTORS = 8
PNG = b"\x89PNG\r\n\x1a\n" + b"\x00\x00\x00\rIHDR" + bytes(17)
TEXT = ("Grüße, 東京 — " * 200).encode()
rng = random.Random(1)
BUFFERS = [b"", PNG, TEXT, b"%PDF-1.7\n%\xe2\xe3\n", b"MAG" + PNG, b"MAGIC" + TEXT,
           b"CB" + PNG, b"CBMAG", bytes(rng.randrange(256) for _ in range(3000))]
BUILTIN = {b: (taxon.detect_mime(b), taxon.detect_type(b)) for b in BUFFERS}

# What each registration may answer, and for which buffers: any registered
# pair whose test accepts the buffer, otherwise the tree's own answer.
KINDS = 4
MAGIC = [(f"x/magic{k}", f".mag{k}") for k in range(KINDS)]
CALLABLE = [(f"x/cb{k}", f".cb{k}") for k in range(KINDS)]
calls = [0] * KINDS


def judge(k):
    def accepts(data):
        calls[k] += 1            # a lossy count across threads: only checked > 0
        return data.startswith(b"CB")
    return accepts


def allowed(data):
    mimes, exts = {BUILTIN[data][0]}, {BUILTIN[data][1]}
    for prefix, pairs in ((b"MAG", MAGIC), (b"CB", CALLABLE)):
        if data.startswith(prefix):
            mimes.update(m for m, _ in pairs)
            exts.update(e for _, e in pairs)
    return mimes, exts


ALLOWED = {b: allowed(b) for b in BUFFERS}
errors = []
counts = {"detections": 0, "registered hits": 0, "registrations": 0, "clears": 0, "listings": 0}
done = threading.Event()
lock = threading.Lock()


def detector(seed):
    r = random.Random(seed)
    n = hits = 0
    try:
        for _ in range(ROUNDS):
            data = r.choice(BUFFERS)
            mime, ext = taxon.detect_mime(data), taxon.detect_type(data)
            mimes, exts = ALLOWED[data]
            if mime not in mimes or ext not in exts:
                errors.append(("bad answer", data[:8], mime, ext))
            hits += mime.startswith("x/")
            n += 2
    except BaseException as e:
        errors.append(("detector raised", repr(e)))
    with lock:
        counts["detections"] += n
        counts["registered hits"] += hits


def registrar(seed):
    r = random.Random(seed)
    regs = clears = listings = 0
    try:
        while not done.is_set():
            k = r.randrange(KINDS)
            if r.random() < 0.5:
                taxon.register(*MAGIC[k], magic=b"MAG")
            else:
                taxon.register(*CALLABLE[k], matcher=judge(k))
            regs += 1
            pairs = taxon.registered()
            listings += 1
            if any(p not in MAGIC and p not in CALLABLE for p in pairs):
                errors.append(("bad listing", pairs))
            if r.random() < 0.2:
                taxon.clear_registrations()
                clears += 1
    except BaseException as e:
        errors.append(("registrar raised", repr(e)))
    with lock:
        counts["registrations"] += regs
        counts["clears"] += clears
        counts["listings"] += listings


start = time.monotonic()
detectors = [threading.Thread(target=detector, args=(i,)) for i in range(DETECTORS)]
registrars = [threading.Thread(target=registrar, args=(100 + i,)) for i in range(2)]
for t in registrars:
    t.start()
while not taxon.registered():   # detections start with registrations in place
    time.sleep(0.001)
for t in detectors:
    t.start()
for t in detectors:
    t.join()
done.set()
for t in registrars:
    t.join()
taxon.clear_registrations()
print(f"stress: {counts} callable calls {sum(calls)} in {time.monotonic() - start:.1f} s")
assert not errors, errors[:5]
assert counts["detections"] == 2 * ROUNDS * DETECTORS, counts
assert counts["registered hits"] > 0 and counts["clears"] > 0 and sum(calls) > 0, counts
print("stress: ok")
EOF
