"""Threads that detect, register, list and clear at the same time.

Each scenario runs in a subprocess with a timeout, so a deadlock fails the
test instead of hanging the suite, and a crash shows as a bad exit status.
"""
import os
import re
import subprocess
import sys
import sysconfig
import textwrap

import pytest

import taxon

ROOT_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FREE_THREADED = bool(sysconfig.get_config_var("Py_GIL_DISABLED"))
# Under emulation (tools/check-cross.sh --python) everything runs many times
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


GIL_STATES = [
    # (extra environment, interpreter options, GIL expected on after the import)
    ({}, [], False),                       # the module itself must not turn it on
    ({"PYTHON_GIL": "1"}, [], True),       # the probe sees the GIL when it is on
    ({}, ["-X", "gil=1"], True),
]


@pytest.mark.skipif(not FREE_THREADED, reason="needs a free-threaded interpreter (configured with --disable-gil)")
@pytest.mark.parametrize("env, options, gil", GIL_STATES)
def test_import_leaves_the_gil_as_the_interpreter_set_it(env, options, gil):
    clean = {k: v for k, v in os.environ.items() if k != "PYTHON_GIL"}
    code = "import sys, taxon; print(sys._is_gil_enabled(), taxon.detect_mime(b''))"
    result = subprocess.run([sys.executable, "-W", "always", *options, "-c", code], capture_output=True,
                            text=True, timeout=60 * TIME_SCALE, env={**clean, **env})
    assert result.returncode == 0 and result.stderr == "", result
    assert result.stdout.split() == [str(gil), "application/octet-stream"]


# A magic sequence resized by other threads while register() reads it: the
# registration sees one whole state of it, never a torn one. Each resizing
# thread appends a "B" and pops it again, so every state is LONG "A"s followed
# by at most one "B" per resizer. A bytearray gets one resizer, and is left
# out on 3.13's free-threaded build: there its own methods take no lock, so it
# is torn even while a reader holds its lock (and two resizers corrupt it).
BYTEARRAY_UNLOCKED = FREE_THREADED and sys.version_info < (3, 14)


@pytest.mark.parametrize("kind, resizers", [
    ("list", 2),
    pytest.param("bytearray", 1, marks=pytest.mark.skipif(
        BYTEARRAY_UNLOCKED, reason="bytearray methods take no lock on a free-threaded 3.13")),
])
def test_magic_resized_while_it_is_read(kind, resizers):
    run_scenario(f"""
        LONG = 2000
        magic = {kind}(b"A" * LONG)

        def resize():
            magic.append(66)
            magic.pop()

        def register():
            taxon.register("x/m", ".m", magic=magic)
            hit = taxon.detect_mime(b"A" * LONG + b"B" * {resizers}) == "x/m"
            miss = taxon.detect_mime(b"A" * (LONG - 1) + b"B") != "x/m"
            if not (hit and miss):
                errors.append((hit, miss))
            taxon.clear_registrations()

        start_all([run_for(1.0, resize) for _ in range({resizers})] + [run_for(1.0, register)])
        assert not errors, errors[:5]
        print("ok")
    """)


def test_each_caller_gets_the_exception_its_own_detection_raised():
    run_scenario("""
        class Refused(Exception):
            pass

        def judge(data):
            time.sleep(0)
            if data.startswith(b"RAISE"):
                raise Refused(data)
            return data.startswith(b"CB")

        taxon.register("x/cb", ".cb", matcher=judge)
        counts = [0] * 6

        def worker(n):
            mine = b"RAISE%d" % n
            def work():
                try:
                    taxon.detect_type(mine)
                except Refused as e:
                    if e.args[0] != mine:
                        errors.append(("foreign exception", n, e.args))
                    counts[n] += 1
                else:
                    errors.append(("no exception", n))
                if taxon.detect_mime(b"CB%d" % n) != "x/cb":
                    errors.append(("bad answer", n))
            return run_for(1.5, work)

        start_all([worker(n) for n in range(6)])
        assert not errors, errors[:5]
        assert all(counts), counts
        print("ok")
    """)


def readme_thread_example():
    with open(os.path.join(ROOT_DIR, "README.md"), encoding="utf-8") as f:
        text = f.read()
    section = text.split("\n## Threads\n", 1)[1].split("\n## ", 1)[0]
    return re.search(r"```python\n(.*?)```", section, re.S).group(1)


def test_readme_thread_pool_scan_runs(tmp_path):
    tree = tmp_path / "tree"
    (tree / "sub").mkdir(parents=True)
    contents = {"a.png": b"\x89PNG\r\n\x1a\n" + bytes(32), "b.txt": "Grüße\n".encode() * 50,
                "sub/c.pdf": b"%PDF-1.7\n", "sub/empty": b""}
    for name, data in contents.items():
        (tree / name).write_bytes(data)
    expected = {str(tree / n): taxon.detect_mime(d) for n, d in contents.items()}
    os.mkfifo(tree / "fifo")
    os.symlink(tree / "missing", tree / "broken")
    expected[str(tree / "fifo")] = "error: not a regular file"
    expected[str(tree / "broken")] = "error: No such file or directory"
    script = tmp_path / "scan.py"
    script.write_text(readme_thread_example(), encoding="utf-8")
    result = subprocess.run([sys.executable, str(script), str(tree)], capture_output=True, text=True, timeout=60 * TIME_SCALE)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert [line.split("\t")[0] for line in lines] == sorted(expected)
    assert dict(line.split("\t", 1) for line in lines) == expected
