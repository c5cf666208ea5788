"""The scale-out examples (Dask, Spark, fsspec ranged reads), run end to end
on files made here and compared with what the `taxon` command prints."""

import importlib.util
import json
import os
import shutil
import signal
import struct
import subprocess
import sys
import zlib
from pathlib import Path

import pytest

import taxon

ROOT_DIR = Path(__file__).resolve().parent.parent
EXAMPLES = ROOT_DIR / "examples"
READ_LIMIT = 3072
RUN_TIMEOUT = 300  # seconds for one example run, cluster start included


def load(name):
    spec = importlib.util.spec_from_file_location(name, EXAMPLES / f"{name}.py")
    module = importlib.util.module_from_spec(spec)
    sys.modules[name] = module
    spec.loader.exec_module(module)
    return module


# The examples need the test extras (dask, distributed, fsspec); a venv
# without them (the sanitizer's, a free-threaded interpreter's) skips here.
for _needed in ("distributed", "fsspec"):
    pytest.importorskip(_needed, reason=f"the scale-out examples need {_needed} (pip install '.[test]')")
dask_scan = load("dask_scan")
object_store_scan = load("object_store_scan")

CUSTOM_MIME, CUSTOM_EXT, CUSTOM_HOW = dask_scan.REGISTRATIONS[0]
CUSTOM_BYTES = bytes(CUSTOM_HOW["magic"]) + b" a format only the examples know\n"


def find_cli():
    import sysconfig
    candidates = [os.environ.get("TAXON_CLI"),
                  os.path.join(sysconfig.get_path("scripts"), "taxon"),
                  os.path.join(os.path.dirname(taxon.__file__), "taxon")]
    for c in candidates:
        if c and os.path.isfile(c) and os.access(c, os.X_OK):
            return c
    pytest.fail("no taxon command found: install the package or set TAXON_CLI")


def png():
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    ihdr = struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(b"\0\0")) + chunk(b"IEND", b"")


def pdf():
    """A one-page PDF with a correct cross-reference table."""
    objects = [b"<< /Type /Catalog /Pages 2 0 R >>",
               b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] >>"]
    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for i, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (i, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return bytes(out)


FILES = {
    b"image.png": png(),
    b"report.pdf": pdf(),
    b"data.json": json.dumps({"name": "taxon", "sizes": [1, 2, 3], "nested": {"ok": True}}, indent=2).encode(),
    b"custom.bin": CUSTOM_BYTES,
    b"sub/deeper/notes.txt": b"plain words in a subdirectory\n" * 20,
    b"empty": b"",
    b"name with space.txt": b"spaces in the name\n",
    b"odd\xff\tname\\": b"\x00\x01\x02 binary",  # escaped in the output
    b"big.log": b"a line of text\n" * 1000 + bytes(range(256)) * 100,  # text in its head
}


@pytest.fixture(scope="module")
def tree(tmp_path_factory):
    """FILES, plus what the walk must report or skip: a FIFO and a broken
    link (reported), a link to a file (followed), a link to a directory
    (skipped, so the walk cannot loop)."""
    top = os.fsencode(tmp_path_factory.mktemp("tree"))
    for name, data in FILES.items():
        path = os.path.join(top, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.mkfifo(os.path.join(top, b"fifo"))
    os.symlink(b"missing-target", os.path.join(top, b"broken"))
    os.symlink(b"image.png", os.path.join(top, b"link-to-image"))
    os.symlink(b".", os.path.join(top, b"sub/deeper/loop"))
    return os.fsdecode(top)


def command(top):
    """The command's (stdout lines, stderr lines, status) for `taxon -r`."""
    done = subprocess.run([find_cli(), "-r", top], capture_output=True, timeout=60)
    return sorted(done.stdout.decode().splitlines()), sorted(done.stderr.decode().splitlines()), done.returncode


def expected(top):
    """The command's output, with the one file only the examples' registration
    names given that registration's answer (the command knows no registrations)."""
    lines, errors, status = command(top)
    custom = os.path.join(top, "custom.bin")
    built_in = f"{custom}\t{taxon.detect_mime(CUSTOM_BYTES)}\t{taxon.detect_type(CUSTOM_BYTES)}"
    assert built_in in lines and taxon.detect_mime(CUSTOM_BYTES) != CUSTOM_MIME
    lines = sorted(f"{custom}\t{CUSTOM_MIME}\t{CUSTOM_EXT}" if line == built_in else line for line in lines)
    return lines, errors, status


def run_example(script, top, **env):
    """(stdout lines, stderr lines in the command's error form, status, whole
    stderr) of an example; an env value of None removes that variable."""
    env = {k: v for k, v in {**os.environ, **env}.items() if v is not None}
    done = subprocess.run([sys.executable, str(EXAMPLES / script), top], capture_output=True,
                          timeout=RUN_TIMEOUT, env=env)
    # Spark and Dask log to stderr too; only the per-file lines are compared.
    errors = [line for line in done.stderr.decode().splitlines() if line.startswith("taxon: ")]
    return sorted(done.stdout.decode().splitlines()), sorted(errors), done.returncode, done.stderr.decode()


def assert_same_as_command(result, top):
    lines, errors, status, log = result
    want_lines, want_errors, want_status = expected(top)
    assert lines == want_lines, log
    assert errors == want_errors, log
    assert (status, want_status) == (1, 1), log  # the FIFO and the broken link
    assert len(lines) == len(FILES) + 1  # the link to the image counts too


# --- Dask ------------------------------------------------------------------

@pytest.fixture(scope="module")
def cluster():
    from distributed import Client, LocalCluster
    with LocalCluster(n_workers=1, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as c, Client(c, timeout=60) as client:
        yield c, client


def test_dask_own_local_cluster_matches_command(tree):
    assert_same_as_command(run_example("dask_scan.py", tree, DASK_SCHEDULER=None), tree)


def test_dask_registrations_reach_existing_and_late_workers(tree, cluster):
    c, client = cluster
    address = c.scheduler_address
    assert address.startswith("tcp://127.0.0.1:")
    # Twice: a plugin registered again must replace its registrations, not add to them.
    for _ in range(2):
        assert_same_as_command(run_example("dask_scan.py", tree, DASK_SCHEDULER=address), tree)
    before = set(client.scheduler_info()["workers"])
    c.scale(len(before) + 1)
    client.wait_for_workers(len(before) + 1, timeout=120)
    late = set(client.scheduler_info()["workers"]) - before
    assert len(late) == 1
    for worker, is_late in [(w, False) for w in before] + [(w, True) for w in late]:
        def on(fn, *args):
            return client.submit(fn, *args, workers=[worker], allow_other_workers=False,
                                 pure=False).result(timeout=60)
        assert on(taxon.registered) == [(CUSTOM_MIME, CUSTOM_EXT)], is_late
        assert on(taxon.detect_mime, CUSTOM_BYTES) == CUSTOM_MIME, is_late
    # The plugin stays with the scheduler after the example's client left.
    assert "taxon-registrations" in client.run_on_scheduler(lambda dask_scheduler: list(dask_scheduler.worker_plugins))
    c.scale(len(before))


def test_dask_empty_directory_prints_nothing(tmp_path, cluster):
    c, _ = cluster
    lines, errors, status, log = run_example("dask_scan.py", str(tmp_path), DASK_SCHEDULER=c.scheduler_address)
    assert (lines, errors, status) == ([], [], 0), log


def unreadable(path):
    path.write_bytes(b"secret")
    path.chmod(0)
    if os.access(path, os.R_OK):
        pytest.skip("running as root: no file is unreadable here")


def bad_input_cases():
    def fifo(p): os.mkfifo(p)
    def directory(p): p.mkdir()
    def vanished(p): p.write_bytes(b"x"); p.unlink()
    def broken_link(p): p.symlink_to(p.parent / "nowhere")
    def socket_file(p):
        import socket
        s = socket.socket(socket.AF_UNIX)
        s.bind(str(p))
        s.close()
    return [
        ("fifo", fifo, "not a regular file (a FIFO)"),
        ("socket", socket_file, "not a regular file (a socket)"),
        ("directory", directory, "Is a directory"),
        ("vanished", vanished, "No such file or directory"),
        ("broken link", broken_link, "broken symbolic link"),
        ("unreadable", unreadable, "Permission denied"),
        ("device", "/dev/null", "not a regular file (a character device)"),
        # A regular file whose read fails (the open succeeds), root or not.
        ("read error", "/proc/self/mem", "Input/output error"),
    ]


@pytest.mark.parametrize("name,make,reason", bad_input_cases(), ids=[c[0] for c in bad_input_cases()])
def test_dask_task_reports_bad_input_per_file(tmp_path, name, make, reason):
    """One bad path among good ones: its line on the error list, the others
    classified, and a FIFO never opened (the call would block)."""
    good = tmp_path / "good.pdf"
    good.write_bytes(pdf())
    if isinstance(make, str):
        bad = Path(make)
    else:
        bad = tmp_path / "bad"
        make(bad)
    lines, errors = dask_scan.sniff_chunk([os.fsencode(good), os.fsencode(bad), os.fsencode(good)])
    assert lines == [f"{good}\tapplication/pdf\t.pdf"] * 2
    assert errors == [f"taxon: {bad}: {reason}"]


@pytest.mark.parametrize("path,shown", [
    (b"plain/name.txt", "plain/name.txt"),
    ("caf\u00e9 \u6f22\u5b57 \U0001F600".encode(), "caf\u00e9 \u6f22\u5b57 \U0001F600"),
    (b"tab\tnewline\nback\\slash", "tab\\tnewline\\nback\\\\slash"),
    (b"bell\x07del\x7f", "bell\\x07del\\x7f"),
    (b"latin1 \xe9 lone \x80", "latin1 \\xe9 lone \\x80"),
    (b"overlong \xc0\xaf surrogate \xed\xa0\x80", "overlong \\xc0\\xaf surrogate \\xed\\xa0\\x80"),
    (b"cut \xe2\x82", "cut \\xe2\\x82"),
    (b"past max \xf4\x90\x80\x80", "past max \\xf4\\x90\\x80\\x80"),
])
def test_paths_are_escaped_as_the_command_does(tmp_path, path, shown):
    assert dask_scan.printable(path) == shown
    assert object_store_scan.printable(path.decode("utf-8", "surrogateescape")) == shown
    # The command is the reference: same line for a real file of that name.
    name = os.path.basename(path.replace(b"/", b"_"))
    full = os.path.join(os.fsencode(tmp_path), name)
    with open(full, "wb") as f:
        f.write(b"%PDF-1.4\n")
    out = subprocess.run([find_cli(), full], capture_output=True, timeout=60).stdout
    assert out.decode() == dask_scan.sniff_chunk([full])[0][0] + "\n"


# --- Object stores (fsspec, on the local file system) ----------------------

@pytest.mark.parametrize("size", [0, 1, READ_LIMIT - 1, READ_LIMIT, READ_LIMIT + 1, 10 * 2**20])
def test_reads_return_the_head_only(tmp_path, size):
    """The cluster examples' read and the fsspec ranged read both stop at
    READ_LIMIT bytes, and a missing object fails alone."""
    import fsspec
    data = bytes(i * 7 % 256 for i in range(min(size, READ_LIMIT + 1))) + b"\xff" * max(0, size - READ_LIMIT - 1)
    (tmp_path / "object").write_bytes(data)
    fs = fsspec.filesystem("file")
    missing = str(tmp_path / "missing")
    got = object_store_scan.heads(fs, [str(tmp_path / "object"), missing, str(tmp_path / "object")])
    assert got[0] == got[2] == data[:READ_LIMIT]
    assert dask_scan.head(os.fsencode(tmp_path / "object")) == data[:READ_LIMIT]
    assert isinstance(got[1], FileNotFoundError)


def test_object_store_scan_matches_command(tree):
    done = subprocess.run([sys.executable, str(EXAMPLES / "object_store_scan.py"), "file://" + tree],
                          capture_output=True, timeout=RUN_TIMEOUT)
    lines = sorted(line.removeprefix("file://") for line in done.stdout.decode().splitlines())
    want_lines, want_errors, _ = command(tree)  # no registrations in this example
    assert lines == want_lines, done.stderr.decode()
    failed = sorted(line.split(": ")[1].removeprefix("file://") for line in done.stderr.decode().splitlines())
    assert failed == sorted(line.split(": ")[1] for line in want_errors)
    assert done.returncode == 1


def test_object_store_scan_empty_prefix(tmp_path):
    done = subprocess.run([sys.executable, str(EXAMPLES / "object_store_scan.py"), "file://" + str(tmp_path)],
                          capture_output=True, timeout=RUN_TIMEOUT)
    assert (done.stdout, done.stderr, done.returncode) == (b"", b"", 0)


@pytest.mark.skipif(not hasattr(signal, "SIGPIPE"), reason="no SIGPIPE on this platform")
def test_object_store_scan_reader_gone_ends_the_run(tmp_path):
    """A reader that stops after one line (`| head -1`) ends the run by
    SIGPIPE, as it ends the command: no traceback. More output than a pipe
    holds (64 KiB), so that a write meets the closed pipe."""
    for i in range(3000):
        (tmp_path / f"file-{i:05d}.txt").write_bytes(b"text\n")
    process = subprocess.Popen([sys.executable, str(EXAMPLES / "object_store_scan.py"), "file://" + str(tmp_path)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        first = process.stdout.readline()
        process.stdout.close()
        err = process.stderr.read()
        process.wait(timeout=RUN_TIMEOUT)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    assert first == f"file://{tmp_path}/file-00000.txt\ttext/plain; charset=utf-8\t.txt\n".encode()
    assert (process.returncode, err) == (-signal.SIGPIPE, b"")


# --- Spark -----------------------------------------------------------------

def spark_missing():
    """Why the Spark tests cannot run here, or None."""
    if importlib.util.find_spec("pyspark") is None:
        return "PySpark is not installed (tools/check-spark.sh installs it)"
    java = shutil.which("java")
    if java is None:
        return "no java on PATH (tools/check-spark.sh installs openjdk-17-jre-headless)"
    version = subprocess.run([java, "-version"], capture_output=True, text=True, timeout=60).stderr
    try:
        major = int(version.split('"')[1].split(".")[0])
    except (IndexError, ValueError):
        return f"cannot read the Java version from: {version!r}"
    return None if major >= 17 else f"Java {major} found, Spark needs 17 or later"


@pytest.fixture(scope="module")
def spark_ready():
    reason = spark_missing()
    if reason and os.environ.get("TAXON_REQUIRE_SPARK") == "1":
        pytest.fail(reason)
    if reason:
        pytest.skip(reason)


def test_spark_matches_command(tree, spark_ready):
    assert_same_as_command(run_example("spark_scan.py", tree), tree)


def test_spark_reused_worker_applies_only_its_own_registrations(tree, tmp_path, spark_ready):
    """One Python worker serving job after job: each job's partitions see
    exactly that job's registrations, whatever the previous job left. And an
    empty directory: no line, no failure."""
    script = f"""
import io, os, sys
sys.path.insert(0, {str(EXAMPLES)!r})
import spark_scan
from pyspark import cloudpickle
cloudpickle.register_pickle_by_value(spark_scan)
spark = spark_scan.session()
try:
    sc = spark.sparkContext
    other = ("application/x-other", ".other", {{"magic": b"ACME", "offset": 0}})
    for name, registrations in [("example", spark_scan.REGISTRATIONS), ("none", []),
                                ("other", [other]), ("example", spark_scan.REGISTRATIONS)]:
        pid = sc.parallelize([0], 1).map(lambda _: os.getpid()).collect()[0]
        out, err = io.BytesIO(), io.BytesIO()
        spark_scan.scan(spark, {os.fsencode(tree)!r} + b"/custom.bin", registrations, out, err)
        print(name, pid, out.getvalue().decode().split("\\t", 1)[1].strip(), sep="|")
    out, err = io.BytesIO(), io.BytesIO()
    print("empty", spark_scan.scan(spark, {os.fsencode(tmp_path)!r}, out=out, err=err), out.getvalue(), err.getvalue())
finally:
    spark.stop()
"""
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, timeout=RUN_TIMEOUT,
                          env={**os.environ, "SPARK_MASTER": "local[1]"})
    assert done.returncode == 0, done.stderr.decode()
    *lines, empty = done.stdout.decode().splitlines()
    assert empty == "empty True b'' b''"
    rows = [line.split("|") for line in lines]
    built_in = f"{taxon.detect_mime(CUSTOM_BYTES)}\t{taxon.detect_type(CUSTOM_BYTES)}".strip()
    assert [(name, answer) for name, _, answer in rows] == [
        ("example", f"{CUSTOM_MIME}\t{CUSTOM_EXT}"), ("none", built_in),
        ("other", "application/x-other\t.other"), ("example", f"{CUSTOM_MIME}\t{CUSTOM_EXT}")]
    assert len({pid for _, pid, _ in rows}) == 1, "the Python worker was not reused: nothing was tested"
