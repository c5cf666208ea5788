"""The `taxon` command under hostile limits and faults: few descriptors, no
threads, little memory, closed standard streams, a reader that goes away,
interrupts on a terminal. Whatever happens, the lines that can be written are
those of the plain run, every failure is one line, and nothing aborts."""

import os
import pty
import re
import resource
import select
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

from syscall_filter import refuse  # noqa: F401 (a fixture)
from test_cli import CLI, run
from test_cli_walk import make_tree, nested

SANITIZED = "asan" in os.environ.get("LD_PRELOAD", "")


@pytest.fixture(scope="module")
def tree(tmp_path_factory):
    """Nested directories, a deep chain with files at every level, a wide
    directory, and entries that fail."""
    top = make_tree(tmp_path_factory.mktemp("tree"))
    wide = top / "wide"
    wide.mkdir()
    for i in range(300):
        (wide / f"w{i:03}").write_bytes(b"%PDF-1.7\n" if i % 3 else b"{}")
    chain = top / "chain"
    for level in range(40):
        chain = chain / f"c{level:02}"
        chain.mkdir(parents=True)
        (chain / "a.json").write_bytes(b"[1]")
        (chain / "z.txt").write_bytes(b"words\n")
    return top


def reference(*args):
    """The plain run: one thread, no read waiting beyond its own."""
    r = run("-j", "1", "--in-flight", "1", *args)
    return r.returncode, r.stdout, r.stderr


def limited(limit):
    def set_limit():
        resource.setrlimit(resource.RLIMIT_NOFILE, (limit, limit))
    return set_limit


@pytest.mark.parametrize("limit", [10, 11, 12, 13, 15, 18, 20, 24, 30, 40, 64, 100])
@pytest.mark.parametrize("args", [["-j", "8"], ["-j", "2", "--in-flight", "64"], ["-j", "1", "--in-flight", "1"],
                                  ["-j", "3", "--in-flight", "512"]],
                         ids=lambda a: " ".join(a))
def test_any_descriptor_limit_gives_the_plain_output(tree, limit, args):
    expected = reference("-r", tree)
    r = run(*args, "-r", tree, preexec_fn=limited(limit))
    assert (r.returncode, r.stdout, r.stderr) == expected
    assert expected[2].count(b"\n") == 4  # the tree's own failures, no other


@pytest.mark.parametrize("limit", [5, 7, 9])  # below 5 the program cannot even be loaded
def test_too_few_descriptors_is_said_at_start(tree, limit):
    r = run("-r", tree, preexec_fn=limited(limit))
    assert (r.returncode, r.stdout) == (2, b"")
    assert r.stderr.decode() == f"taxon: too few file descriptors: the limit is {limit}, at least 10 are needed\n"


@pytest.mark.parametrize("depth, limit, jobs", [(3000, 10, "8"), (3000, 20, "8"), (3000, 24, "3"), (500, 16, "2")])
def test_a_deep_tree_at_a_low_descriptor_limit(depth, limit, jobs):
    """Directories let go of while deeper are opened again, never failing for
    want of a descriptor: every file of the chain is named."""
    top = tempfile.mkdtemp()
    try:
        for level in (1, depth // 2):  # files beside the chain at two depths
            (Path(top) / f"x{level}.json").write_bytes(b"{}")
        deep = nested(top, "d", depth)
        r = subprocess.run([CLI, "-r", "-j", jobs, "--ext", top], capture_output=True, preexec_fn=limited(limit),
                           timeout=120)
        assert (r.returncode, r.stderr) == (0, b"")
        assert r.stdout == b".gz\n.json\n.json\n"
        assert deep.endswith(b"deep.gz")
    finally:
        subprocess.run(["rm", "-rf", top], check=True)


# Threads the system will not make: the run goes on with those it could, or
# on the one it has.
NO_THREADS = [
    ("no thread at all", ["clone3:EAGAIN", "clone:EAGAIN"]),
]


@pytest.mark.parametrize("mode", [[], ["--json"], ["--summary"]], ids=lambda m: " ".join(m) or "lines")
@pytest.mark.parametrize("jobs", ["1", "2", "8"])
def test_threads_that_cannot_be_made(refuse, tree, mode, jobs):
    expected = reference("-r", *mode, tree)
    r = subprocess.run([*refuse("clone3:EAGAIN", "clone:EAGAIN"), CLI, "-r", "-j", jobs, *mode, tree],
                       capture_output=True, timeout=120)
    assert (r.returncode, r.stdout, r.stderr) == expected


@pytest.mark.skipif(SANITIZED, reason="a sanitizer's shadow memory does not fit a limit on address space")
@pytest.mark.parametrize("megabytes", [8, 16, 40])
def test_little_address_space(tree, megabytes):
    """`ulimit -v`: thread stacks cannot all be had; the output is the same."""
    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (megabytes << 20, megabytes << 20))
    expected = reference("-r", tree)
    r = subprocess.run([CLI, "-r", "-j", "8", tree], capture_output=True, preexec_fn=limit, timeout=120)
    assert (r.returncode, r.stdout, r.stderr) == expected


def smallest_address_space(args):
    """The least address space (MB) the command runs `args` in."""
    low, high = 1, 512
    while low < high:
        mid = (low + high) // 2
        def limit(mb=mid):
            resource.setrlimit(resource.RLIMIT_AS, (mb << 20, mb << 20))
        ok = subprocess.run([CLI, *args], capture_output=True, preexec_fn=limit).returncode == 0
        low, high = (low, mid) if ok else (mid + 1, high)
    return low


@pytest.mark.skipif(SANITIZED, reason="a sanitizer's shadow memory does not fit a limit on address space")
@pytest.mark.parametrize("jobs", ["1", "4"])
def test_a_directory_larger_than_memory_fails_alone(tmp_path, jobs):
    (tmp_path / "a.json").write_bytes(b"{}")
    huge = tmp_path / "huge"
    huge.mkdir()
    fd = os.open(huge, os.O_RDONLY)
    try:
        for i in range(60_000):  # about 15 MB of names once listed
            os.close(os.open(f"{i:06}" + "n" * 240, os.O_WRONLY | os.O_CREAT, dir_fd=fd))
    finally:
        os.close(fd)
    (tmp_path / "z.json").write_bytes(b"[]")
    small = tmp_path / "small"
    small.mkdir()
    (small / "x.json").write_bytes(b"{}")
    megabytes = smallest_address_space(["-r", "-j", jobs, small]) + 6
    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (megabytes << 20, megabytes << 20))
    r = subprocess.run([CLI, "-r", "-j", jobs, "--ext", tmp_path], capture_output=True, preexec_fn=limit, timeout=120)
    assert r.returncode == 1, r.stderr
    assert r.stderr.decode() == f"taxon: {huge}: Cannot allocate memory\n"
    assert r.stdout == b".json\n.json\n.json\n"


@pytest.mark.skipif(not os.path.exists("/dev/full"), reason="needs /dev/full")
@pytest.mark.parametrize("jobs", ["1", "4"])
def test_a_full_disk_ends_the_run_at_once(tree, jobs):
    with open("/dev/full", "wb") as full:
        r = subprocess.run([CLI, "-r", "-j", jobs, tree, tree, tree], stdout=full, stderr=subprocess.PIPE, timeout=60)
    assert r.returncode == 1
    # The first failed write ends it: no error of the later files either.
    assert r.stderr.decode() == "taxon: write error: No space left on device\n"


@pytest.mark.skipif(shutil.which("strace") is None, reason="strace not installed")
@pytest.mark.parametrize("jobs", ["1", "4"])
def test_a_reader_that_goes_away_ends_the_run(tmp_path, jobs):
    """With SIGPIPE ignored (as by a shell's trap or Python), the first
    failed write stops the walk and the workers: few of the files are read."""
    top = tmp_path / "top"
    for d in range(40):
        (top / f"d{d:02}").mkdir(parents=True)
        for i in range(500):
            (top / f"d{d:02}" / f"f{i:03}").write_bytes(b"x")
    log = tmp_path / "log"
    p = subprocess.Popen(["strace", "-f", "-o", log, "-e", "trace=openat,openat2", CLI, "-r", "-j", jobs, top],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         preexec_fn=lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN))
    assert p.stdout.readline().startswith(str(top).encode())
    p.stdout.close()
    err = p.stderr.read()
    assert p.wait(timeout=60) == 1
    assert err.decode().endswith("taxon: write error: Broken pipe\n") and err.count(b"\n") == 1
    opened = sum(1 for line in log.read_text().splitlines() if re.search(r'"f\d{3}"', line))
    assert 0 < opened < 20_000 // 2


# stream closed, arguments, stdin data, expected status, expected error lines
CLOSED = [
    (1, ["FILE"], None, 1, ["taxon: write error: Bad file descriptor"]),
    (1, ["-r", "TREE"], None, 1, ["taxon: write error: Bad file descriptor"]),
    (0, ["-", "FILE"], None, 1, ["taxon: -: Bad file descriptor"]),
    (0, ["--files-from", "-"], None, 1, ["taxon: -: Bad file descriptor"]),
]


@pytest.mark.parametrize("closed, args, data, code, errors", CLOSED)
@pytest.mark.parametrize("jobs", ["1", "4"])
def test_a_standard_stream_closed_at_start(tree, closed, args, data, code, errors, jobs):
    """A closed stream is not taken over by a directory or the process's own
    descriptor: the error names the real cause, the same for every -j."""
    f = tree / "d0" / "e0" / "f00"
    argv = [str(f) if a == "FILE" else str(tree / "d0") if a == "TREE" else a for a in args]
    r = subprocess.run([CLI, "-j", jobs, *argv], capture_output=True, timeout=60, preexec_fn=lambda: os.close(closed))
    assert r.returncode == code
    assert r.stderr.decode().splitlines() == errors
    if closed == 0 and "FILE" in args:
        assert r.stdout.decode().startswith(f"{f}\t")


def test_a_closed_standard_error_changes_nothing_else(tree):
    r = subprocess.run([CLI, "-r", tree], capture_output=True, timeout=60, preexec_fn=lambda: os.close(2))
    assert (r.returncode, r.stdout, r.stderr) == (1, reference("-r", tree)[1], b"")


def read_pty(fd, until, seen=None):
    """What the terminal shows until the time `until`, or until it shows
    the pattern `seen` (a slow build, a loaded machine)."""
    out = b""
    while time.monotonic() < until and not (seen is not None and re.search(seen, out)):
        ready, _, _ = select.select([fd], [], [], 0.1)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            break
        if not chunk:
            break
        out += chunk
    return out


def test_the_progress_line_is_redrawn_a_few_times_a_second(tree):
    """Standard output and standard error on one terminal: every line erases
    the progress line, which comes back at most four times a second."""
    files = sorted(p for p in tree.rglob("f*") if p.is_file() and not p.is_symlink())
    primary, secondary = pty.openpty()
    p = subprocess.Popen([CLI, "--mime", "--files-from", "-"], stdin=subprocess.PIPE, stdout=secondary,
                         stderr=secondary)
    os.close(secondary)
    start = time.monotonic()
    out = b""
    for i in range(300):  # a line every 8 ms or so, for about 2.5 s
        p.stdin.write(os.fsencode(files[i % len(files)]) + b"\n")
        p.stdin.flush()
        out += read_pty(primary, time.monotonic() + 0.008)
    p.stdin.close()
    out += read_pty(primary, time.monotonic() + 10)
    elapsed = time.monotonic() - start
    os.close(primary)
    assert p.wait(timeout=20) == 0
    draws = len(re.findall(rb"\rtaxon: \d+ files, \d+ files/s", out))
    assert out.count(b"\n") == 300
    assert 1 <= draws <= 4 * elapsed + 2


@pytest.mark.parametrize("sig", [signal.SIGINT, signal.SIGTERM])
@pytest.mark.parametrize("jobs", ["1", "4"])
def test_a_signal_erases_the_progress_line(tree, sig, jobs):
    """Interrupted while the progress line shows: it is erased, and the
    command dies of the signal as before."""
    primary, secondary = pty.openpty()
    p = subprocess.Popen([CLI, "-j", jobs, "--mime", "--files-from", "-"], stdin=subprocess.PIPE,
                         stdout=subprocess.DEVNULL, stderr=secondary)
    os.close(secondary)
    p.stdin.write(os.fsencode(tree / "wide" / "w000") + b"\n")
    p.stdin.flush()
    err = read_pty(primary, time.monotonic() + 1.3)
    p.stdin.write(os.fsencode(tree / "wide" / "w001") + b"\n")  # a line after a second: the progress shows
    p.stdin.flush()
    err += read_pty(primary, time.monotonic() + 15, seen=rb"\rtaxon: 2 files, \d+ files/s")
    p.send_signal(sig)
    err += read_pty(primary, time.monotonic() + 10)
    os.close(primary)
    assert p.wait(timeout=20) == -sig
    p.stdin.close()
    assert re.search(rb"\rtaxon: 2 files, \d+ files/s", err)
    assert err.endswith(b"\r" + b" " * 79 + b"\r")


@pytest.mark.parametrize("mode", [[], ["--summary"]], ids=lambda m: " ".join(m) or "lines")
@pytest.mark.parametrize("jobs", ["2", "8"])
def test_a_worker_refused_its_copy_of_a_directory(refuse, tree, mode, jobs):
    """A worker whose own descriptor table is full cannot copy a directory
    into it: its files are read where the walk's directories are."""
    expected = reference("-r", *mode, tree)
    # The process's own descriptor (3) is copied at start; every directory after it is refused.
    r = subprocess.run([*refuse("pidfd_getfd:EMFILE:1:ge:4"), CLI, "-r", "-j", jobs, "--in-flight", "64", *mode, tree],
                       capture_output=True, timeout=120)
    assert (r.returncode, r.stdout, r.stderr) == expected
