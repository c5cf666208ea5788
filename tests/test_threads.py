"""Threads that detect, register, list and clear at the same time.

Each scenario runs in a subprocess with a timeout, so a deadlock fails the
test instead of hanging the suite, and a crash shows as a bad exit status.
"""
import os
import subprocess
import sys
import textwrap

# Under emulation (tools/check-arm64.sh --python) everything runs many times
# slower: the time limits grow by this factor.
TIME_SCALE = float(os.environ.get("TAXON_TEST_TIME_SCALE", "1"))

COMMON = """
    import faulthandler, os, random, sys, threading, time, zlib
    import taxon

    faulthandler.dump_traceback_later(50 * TIME_SCALE, exit=True)
    sys.setswitchinterval(1e-5)   # switch threads as often as possible
    SECONDS = 3.0
    PNG = b"\\x89PNG\\r\\n\\x1a\\n" + b"\\0" * 32
    ZIP = b"PK\\x03\\x04" + bytes(22) + b"\\x08\\0\\0\\0mimetype" + b"application/epub+zip"
    rng = random.Random(8)
    BUFFERS = [b"", PNG, ZIP, b"%PDF-1.7\\n", b"REG" + PNG, b"CB" + ZIP, b"REGCB",
               bytes(rng.randrange(256) for _ in range(4000))]
    BUILTIN = {b: (taxon.detect_mime(b), taxon.detect_type(b)) for b in BUFFERS}
    errors = []

    # Registered types answer only for their own prefixes; anything else must
    # be the tree's answer. MIME and extension are judged apart: two calls
    # may see two different tables.
    def valid_mime(data, mime):
        return (mime == BUILTIN[data][0] or (data.startswith(b"REG") and mime == "x/magic")
                or (data.startswith(b"CB") and mime.startswith("x/cb")))

    def valid_ext(data, ext):
        return (ext == BUILTIN[data][1] or (data.startswith(b"REG") and ext == ".magic")
                or (data.startswith(b"CB") and ext == ".cb"))

    def run_for(seconds, work):
        def loop():
            end = time.monotonic() + seconds
            try:
                while time.monotonic() < end:
                    work()
            except BaseException as e:
                errors.append(repr(e))
        return threading.Thread(target=loop)

    def start_all(threads):
        for t in threads:
            t.start()
        for t in threads:
            t.join()
"""


def run_scenario(body):
    code = f"TIME_SCALE = {TIME_SCALE}\n" + textwrap.dedent(COMMON) + textwrap.dedent(body)
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120 * TIME_SCALE)
    assert result.returncode == 0 and result.stdout.strip().endswith("ok"), result
    return result.stdout


def test_detect_register_list_and_clear_at_once():
    out = run_scenario("""
        counts = {"detect": 0, "hits": 0}

        def detect():
            data = rng.choice(BUFFERS)
            mime, ext = taxon.detect_mime(data), taxon.detect_type(data)
            counts["detect"] += 1
            counts["hits"] += mime.startswith("x/")
            if not (valid_mime(data, mime) and valid_ext(data, ext)):
                errors.append(("bad answer", data[:8], mime, ext))

        def judge(data):
            # Runs Python code mid-detection: other threads get in here.
            time.sleep(0)
            return data.startswith(b"CB")

        def register():
            if rng.random() < 0.5:
                taxon.register("x/magic", ".magic", magic=b"REG")
            else:
                taxon.register("x/cb%d" % rng.randrange(9), ".cb", matcher=judge)

        def listing():
            for mime, ext in taxon.registered():
                if not (mime.startswith("x/") and ext in (".magic", ".cb")):
                    errors.append(("bad listing", mime, ext))

        def clear():
            time.sleep(0.001)
            taxon.clear_registrations()

        start_all([run_for(SECONDS, f) for f in (detect, detect, detect, register, register, listing, clear)])
        assert not errors, errors[:5]
        assert counts["detect"] > 100 and counts["hits"] > 0, counts
        print("ok")
    """)
    assert out.strip() == "ok"


def test_callables_calling_back_from_several_threads():
    run_scenario("""
        depth = threading.local()

        def judge(data):
            # Calls back into every function of the module, and detects a
            # buffer of its own one level down.
            level = getattr(depth, "level", 0)
            taxon.registered()
            if level < 2:
                depth.level = level + 1
                try:
                    assert type(taxon.detect_type(data[1:])) is str
                finally:
                    depth.level = level
            if rng.random() < 0.01:
                taxon.register("x/cb-late", ".cb", matcher=judge)
            if rng.random() < 0.005:
                taxon.clear_registrations()
                taxon.register("x/cb", ".cb", matcher=judge)
            return data.startswith(b"CB")

        taxon.register("x/cb", ".cb", matcher=judge)

        def detect():
            data = rng.choice(BUFFERS)
            mime = taxon.detect_mime(data)
            if not valid_mime(data, mime):
                errors.append(("bad answer", data[:8], mime))

        start_all([run_for(SECONDS, detect) for _ in range(6)])
        assert not errors, errors[:5]
        print("ok")
    """)
