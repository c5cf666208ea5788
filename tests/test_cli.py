"""The `taxon` command, run as a real process on real files made here."""

import bz2
import gzip
import io
import json
import lzma
import os
import pty
import re
import select
import shutil
import sqlite3
import struct
import subprocess
import sysconfig
import tarfile
import zipfile
import zlib
from pathlib import Path

import pytest

import taxon

READ_LIMIT = 3072
ROOT_DIR = Path(__file__).resolve().parent.parent


def find_cli():
    """TAXON_CLI when set; else the installed command; else the one built
    next to the imported module (a CMake build directory)."""
    candidates = [os.environ.get("TAXON_CLI"),
                  os.path.join(sysconfig.get_path("scripts"), "taxon"),
                  os.path.join(os.path.dirname(taxon.__file__), "taxon")]
    for c in candidates:
        if c and os.path.isfile(c) and os.access(c, os.X_OK):
            return c
    pytest.fail("no taxon command found: install the package or set TAXON_CLI")


CLI = find_cli()


def run(*args, input=None, **kw):
    return subprocess.run([CLI, *map(os.fsencode, args)], input=input, capture_output=True, timeout=60, **kw)


def png():
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    ihdr = struct.pack(">IIBBBBB", 1, 1, 8, 0, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(b"\0\0")) + chunk(b"IEND", b"")


def zip_bytes():
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("a.txt", "hello")
    return out.getvalue()


def tar_bytes():
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w") as t:
        info = tarfile.TarInfo("a.txt")
        info.size = 5
        t.addfile(info, io.BytesIO(b"hello"))
    return out.getvalue()


@pytest.fixture(scope="module")
def samples(tmp_path_factory):
    d = tmp_path_factory.mktemp("samples")
    contents = {
        "empty": b"",
        "text": b"plain words\n",
        "page.html": b"<!DOCTYPE html><html><body>hi</body></html>",
        "data.json": b'{"a": [1, 2, 3]}',
        "image": png(),
        "z.gz": gzip.compress(b"x" * 100),
        "z.bz2": bz2.compress(b"x" * 100),
        "z.xz": lzma.compress(b"x" * 100),
        "a.zip": zip_bytes(),
        "a.tar": tar_bytes(),
        "noise": bytes(range(256)) * 20,
        "long text": b"word " * 2000,  # longer than the read limit
    }
    for name, data in contents.items():
        (d / name).write_bytes(data)
    db = sqlite3.connect(d / "db.sqlite")
    db.execute("create table t (x)")
    db.commit()
    db.close()
    return sorted(d.iterdir())


def expected_line(path):
    head = path.read_bytes()[:READ_LIMIT]
    return f"{path}\t{taxon.detect_mime(head)}\t{taxon.detect_type(head)}"


def test_answers_equal_the_module(samples):
    r = run(*samples)
    assert r.returncode == 0, r.stderr
    assert r.stdout.decode().splitlines() == [expected_line(p) for p in samples]
    # The samples are not all one type, or the comparison would prove little.
    assert len({line.split("\t")[1] for line in r.stdout.decode().splitlines()}) >= 10


@pytest.mark.parametrize("option, pick", [("--mime", taxon.detect_mime), ("--ext", taxon.detect_type)])
def test_single_field(samples, option, pick):
    r = run(option, *samples)
    assert r.returncode == 0
    assert r.stdout.decode().split("\n") == [pick(p.read_bytes()[:READ_LIMIT]) for p in samples] + [""]


def test_json_lines(samples):
    r = run("--json", *samples)
    rows = [json.loads(line) for line in r.stdout.decode().splitlines()]
    assert rows == [{"path": str(p), "mime": taxon.detect_mime(p.read_bytes()), "extension": taxon.detect_type(p.read_bytes())}
                    for p in samples]


def test_stdin():
    data = png()
    r = run("-", "--json", input=data)
    assert json.loads(r.stdout) == {"path": "-", "mime": taxon.detect_mime(data), "extension": taxon.detect_type(data)}


def test_stdin_left_open_after_the_read_limit():
    """Reading stops at 3072 bytes: it must not wait for the end of input."""
    p = subprocess.Popen([CLI, "--mime", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        p.stdin.write(b"<html>" + b" " * (READ_LIMIT - 6))
        p.stdin.flush()
        assert p.wait(timeout=20) == 0
        assert p.stdout.read() == b"text/html; charset=utf-8\n"
    finally:
        p.kill()
        p.stdin.close()
        p.stdout.close()


def test_huge_sparse_file(tmp_path):
    f = tmp_path / "huge"
    with open(f, "wb") as out:
        out.write(png())
        out.truncate(10 * 2**30)
    assert run("--mime", f).stdout == b"image/png\n"


@pytest.mark.skipif(shutil.which("strace") is None, reason="strace not installed")
@pytest.mark.parametrize("args", [["-j", "1", "--in-flight", "1"], ["-j", "1"], ["-j", "2"], ["-j", "2", "-r"]])
def test_reads_at_most_the_limit(tmp_path, args):
    (tmp_path / "tree").mkdir()
    f = tmp_path / "tree" / "big"
    f.write_bytes(b"x" * (5 * READ_LIMIT))
    log = tmp_path / "log"
    # -ff: one log per thread, so no call is split across lines by another
    # thread's; and threads may have descriptor tables of their own, so a
    # descriptor is followed only in the thread that opened it. The file may
    # be opened more than once (tried where it is in memory, then where
    # reading may wait); every read of it counts.
    r = subprocess.run(["strace", "-ff", "-o", log, "-e",
                        "trace=openat,openat2,open,read,pread64,readv,preadv,preadv2,close",
                        CLI, *args, f if "-r" not in args else f.parent], capture_output=True)
    logs = sorted(tmp_path.glob("log.*"))
    if r.returncode != 0 and not logs:
        pytest.skip("strace cannot trace here")
    # By its path, or by its name in its directory during a walk.
    opened = re.compile(r'open(?:at2?)?\(.*"(?:%s|big)", ([^)]*)\) = (\d+)' % re.escape(str(f)))
    total, opens = 0, 0
    for thread_log in logs:
        fd = None
        for line in thread_log.read_text().splitlines():
            if (m := opened.match(line)) and "O_PATH" not in m.group(1):
                fd, opens = m.group(2), opens + 1
            elif fd is not None and (m := re.match(r"(?:p?read|readv|pread64|preadv2?)\(%s, .*\) = (\d+)" % fd, line)):
                total += int(m.group(1))
            elif fd is not None and line.startswith(f"close({fd})"):
                fd = None
    assert opens > 0 and 0 < total <= READ_LIMIT


def test_recursive_walk(tmp_path):
    (tmp_path / "b" / "c").mkdir(parents=True)
    (tmp_path / "a.json").write_bytes(b"[1]")
    (tmp_path / "b" / "c" / "deep.gz").write_bytes(gzip.compress(b""))
    (tmp_path / "b" / "loop").symlink_to(tmp_path)  # not followed: the walk ends
    (tmp_path / "link.gz").symlink_to(tmp_path / "b" / "c" / "deep.gz")
    r = run("-r", "--ext", tmp_path)
    assert r.returncode == 0, r.stderr
    assert r.stdout == b".json\n.gz\n.gz\n"
    assert run("--recursive", tmp_path).stdout.decode().splitlines()[1].startswith(f"{tmp_path}/b/c/deep.gz\t")


def bad_paths(tmp_path):
    (tmp_path / "dir").mkdir()
    (tmp_path / "dangling").symlink_to(tmp_path / "gone")
    os.mkfifo(tmp_path / "fifo")
    (tmp_path / "file").write_bytes(b"x")
    return {
        "missing": (tmp_path / "missing", "No such file or directory"),
        "directory": (tmp_path / "dir", "Is a directory (use -r to walk it)"),
        "broken link": (tmp_path / "dangling", "broken symbolic link"),
        "fifo": (tmp_path / "fifo", "not a regular file (a FIFO)"),
        "device": (Path("/dev/null"), "not a regular file (a character device)"),
        "below a file": (tmp_path / "file" / "x", "Not a directory"),
    }


@pytest.mark.parametrize("case", ["missing", "directory", "broken link", "fifo", "device", "below a file"])
def test_bad_path_is_one_line_and_the_run_goes_on(tmp_path, case):
    good = tmp_path / "good.json"
    good.write_bytes(b"{}")
    path, reason = bad_paths(tmp_path)[case]
    r = run(path, good)
    assert r.returncode == 1
    assert r.stderr.decode() == f"taxon: {path}: {reason}\n"
    assert r.stdout.decode() == f"{good}\tapplication/json\t.json\n"


def test_errors_inside_a_walk(tmp_path):
    os.mkfifo(tmp_path / "fifo")
    (tmp_path / "dangling").symlink_to(tmp_path / "gone")
    (tmp_path / "ok.txt").write_bytes(b"fine\n")
    r = run("-r", tmp_path)
    assert r.returncode == 1
    assert r.stderr.decode().splitlines() == [f"taxon: {tmp_path}/dangling: broken symbolic link",
                                              f"taxon: {tmp_path}/fifo: not a regular file (a FIFO)"]
    assert r.stdout.decode().count("\n") == 1


def test_permission_denied(tmp_path):
    f = tmp_path / "secret"
    f.write_bytes(b"x")
    f.chmod(0)
    kw = {}
    if os.geteuid() == 0:  # root reads anything: run as nobody instead
        kw = {"user": 65534, "group": 65534}
    try:
        r = run(f, **kw)
    except PermissionError:
        pytest.skip("the command cannot be run as nobody here")
    if r.returncode == 0:
        pytest.skip("permissions are not enforced here")
    assert (r.returncode, r.stderr.decode()) == (1, f"taxon: {f}: Permission denied\n")


def test_odd_path_bytes(tmp_path):
    names = [b"tab\there", b"new\nline", b"back\\slash", b'quote"', b"latin1-\xe9", b"ctl\x01", "üñí".encode()]
    paths = []
    for name in names:
        p = os.path.join(os.fsencode(tmp_path), name)
        with open(p, "wb") as out:
            out.write(b"{}")
        paths.append(p)
    rows = [json.loads(line) for line in run("--json", *paths).stdout.splitlines()]
    assert [os.fsencode(row["path"]) for row in rows] == paths
    lines = run(*paths).stdout.decode("utf-8").split("\n")[:-1]
    assert len(lines) == len(paths)  # one line per file, whatever its name
    assert [unescape(line.split("\t")[0]) for line in lines] == paths


def unescape(text):
    """Undoes the escapes of a path in a line of output."""
    out, i = bytearray(), 0
    while i < len(text):
        if text[i] != "\\":
            out += text[i].encode()
            i += 1
        elif text[i + 1] == "x":
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        else:
            out += {"\\": b"\\", "t": b"\t", "n": b"\n", "r": b"\r"}[text[i + 1]]
            i += 2
    return bytes(out)


def version_in_pyproject():
    text = (ROOT_DIR / "pyproject.toml").read_text()
    return re.search(r'^version = "([^"]+)"', text, re.M).group(1)


@pytest.mark.parametrize("args, code, out, err", [
    (["--help"], 0, "Usage: taxon", ""),
    (["-h"], 0, "Usage: taxon", ""),
    ([], 2, "", "taxon: no FILE given"),
    (["--frobnicate", "x"], 2, "", "taxon: unknown option '--frobnicate'"),
    (["-rq", "x"], 2, "", "taxon: unknown option '-q'"),
    (["--mime", "--json", "x"], 2, "", "taxon: --mime, --ext and --json exclude each other"),
    (["--list-types", "x"], 2, "", "taxon: --list-types takes no other argument"),
    (["--list-types", "--summary"], 2, "", "taxon: --list-types takes no other argument"),
    (["--summary", "--mime", "x"], 2, "", "taxon: --summary takes --json only"),
    (["-j", "0", "x"], 2, "", "taxon: invalid number of jobs '0'"),
    (["--jobs=2x", "x"], 2, "", "taxon: invalid number of jobs '2x'"),
    (["-j1025", "x"], 2, "", "taxon: invalid number of jobs '1025'"),
    (["x", "--jobs"], 2, "", "taxon: option '--jobs' needs a value"),
    (["-rj"], 2, "", "taxon: option '-j' needs a value"),
    # An option that would do nothing is refused, not ignored.
    (["-x", "x"], 2, "", "taxon: -x (--one-file-system) needs -r"),
    (["--one-file-system", "--files-from", "list"], 2, "", "taxon: -x (--one-file-system) needs -r"),
])
def test_usage(args, code, out, err):
    r = run(*args)
    assert r.returncode == code
    assert r.stdout.decode().startswith(out) and r.stderr.decode().startswith(err)
    assert (out == "") == (r.stdout == b"")


@pytest.mark.parametrize("flag", ["--version", "-V"])
def test_version(flag):
    assert run(flag).stdout.decode() == f"taxon {version_in_pyproject()}\n"


def test_dash_dash_ends_options(tmp_path):
    f = tmp_path / "--json"
    f.write_bytes(b"[]")
    r = run("--ext", "--", "--json", cwd=tmp_path)
    assert (r.returncode, r.stdout) == (0, b".json\n")


def records_in_sources():
    """(mime, extension, mime aliases, extension aliases) of every record
    defined in the core's sources, read from the tables themselves."""
    arrays, records = {}, []
    for path in sorted((ROOT_DIR / "src" / "tree").rglob("*.cpp")):
        text = path.read_text()
        for name, body in re.findall(r"std::string_view\s+(\w+)\[\]\s*=\s*\{(.*?)\};", text, re.S):
            arrays[name] = tuple(re.findall(r'"((?:[^"\\]|\\.)*)"', body))
        records += re.findall(r'const MimeType\s+\w+\s*\{\s*"([^"]*)",\s*(\w+|\{\}),\s*"([^"]*)",\s*(\w+|\{\})', text)
    return sorted((mime, ext, arrays[ma] if ma != "{}" else (), arrays[ea] if ea != "{}" else ())
                  for mime, ma, ext, ea in records)


@pytest.mark.skipif(not (ROOT_DIR / "src" / "tree").is_dir(), reason="needs the sources")
def test_list_types_aliases_are_the_records_own():
    rows = [json.loads(line) for line in run("--list-types").stdout.splitlines()]
    listed = sorted((r["mime"], r["extension"], tuple(r["mime_aliases"]), tuple(r["extension_aliases"])) for r in rows)
    assert listed == records_in_sources()
    assert sum(len(r["mime_aliases"]) + len(r["extension_aliases"]) for r in rows) > 10
    for r in rows:
        assert len(set(r["mime_aliases"])) == len(r["mime_aliases"]) and r["mime"] not in r["mime_aliases"]
        assert len(set(r["extension_aliases"])) == len(r["extension_aliases"])
        assert r["extension"] not in r["extension_aliases"]


def test_list_types_agrees_with_the_answers(samples):
    """Every answer of --json is a listed record, with its own extension."""
    listed = {(r["mime"], r["extension"]) for r in map(json.loads, run("--list-types").stdout.splitlines())}
    answers = {(r["mime"], r["extension"]) for r in map(json.loads, run("--json", *samples).stdout.splitlines())}
    assert answers <= listed and len(answers) >= 10


@pytest.mark.parametrize("spelling", [["-j2"], ["-j", "3"], ["--jobs", "2"], ["--jobs=4"], ["-rj2"], ["-xrj", "2"]])
def test_jobs_spellings(samples, spelling):
    expected = run("-r", "-j", "1", *samples)
    assert run("-r", *spelling, *samples).stdout == expected.stdout and expected.stdout.count(b"\n") == len(samples)


@pytest.mark.skipif(not os.path.exists("/dev/full"), reason="needs /dev/full")
@pytest.mark.parametrize("args", [["--help"], ["--list-types"], ["-j", "2", "-r"], ["-j", "1", "--summary", "-r"]])
def test_write_error_is_reported(samples, args):
    files = [samples[0].parent] if "-r" in args else []
    with open("/dev/full", "wb") as full:
        r = subprocess.run([CLI, *args, *files], stdout=full, stderr=subprocess.PIPE, timeout=60)
    assert (r.returncode, r.stderr.decode().splitlines()[-1]) == (1, "taxon: write error: No space left on device")


@pytest.mark.parametrize("jobs", ["1", "2"])
def test_a_terminal_sees_each_line_as_it_is_made(samples, jobs):
    """The line of the first file arrives while the command still waits for
    standard input."""
    primary, secondary = pty.openpty()
    p = subprocess.Popen([CLI, "-j", jobs, "--mime", samples[0], "-"], stdin=subprocess.PIPE, stdout=secondary)
    os.close(secondary)
    try:
        ready, _, _ = select.select([primary], [], [], 20)
        assert ready and os.read(primary, 1024).startswith(taxon.detect_mime(samples[0].read_bytes()).encode())
    finally:
        p.stdin.close()
        p.wait(timeout=20)
        os.close(primary)
