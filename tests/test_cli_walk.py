"""The `taxon` command on trees: order under -j, depth, path length, the
summary, progress, one file system, and entries that change while it walks."""

import collections
import json
import os
import pty
import re
import resource
import select
import shutil
import stat
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import pytest

import taxon
from test_cli import CLI, READ_LIMIT, png, run, tar_bytes, unescape, zip_bytes

NOBODY = 65534


def make_tree(top):
    """Files of many kinds in nested directories, and entries that fail."""
    contents = [b"", b"plain\n", b"<html><body></body></html>", b'{"a": 1}', png(), zip_bytes(), tar_bytes(),
                b"%PDF-1.7\n", bytes(range(256)) * 20, b"GIF89a" + bytes(20)]
    for d in range(6):
        sub = top / f"d{d}" / f"e{d % 3}"
        sub.mkdir(parents=True)
        for i in range(40):
            (sub / f"f{i:02}").write_bytes(contents[(d * 7 + i) % len(contents)] * (1 + i % 3))
    os.mkfifo(top / "d1" / "fifo")
    (top / "d2" / "dangling").symlink_to(top / "gone")
    (top / "d3" / "loop-a").symlink_to("loop-b")
    (top / "d3" / "loop-b").symlink_to("loop-a")
    (top / "d4" / "to-dir").symlink_to(top / "d0")  # not followed
    return top


OUTPUT_MODES = [[], ["--mime"], ["--ext"], ["--json"], ["--summary"], ["--summary", "--json"]]


@pytest.mark.parametrize("mode", OUTPUT_MODES, ids=lambda m: " ".join(m) or "lines")
def test_jobs_change_nothing_in_the_output(tmp_path, mode):
    top = make_tree(tmp_path)
    one = run("-r", "-j", "1", *mode, top)
    assert one.returncode == 1 and one.stderr.count(b"\n") == 4
    for jobs in ["2", "3", "8"]:
        many = run("-r", "-j", jobs, *mode, top, top / "d0")
        again = run("-r", "-j", "1", *mode, top, top / "d0")
        assert (many.returncode, many.stdout, many.stderr) == (again.returncode, again.stdout, again.stderr)


@pytest.mark.parametrize("jobs", ["1", "2", "5"])
def test_errors_stay_between_the_lines_around_them(tmp_path, jobs):
    """With stdout and stderr on one pipe, an error comes after the lines
    before it and before the lines after it."""
    top = make_tree(tmp_path)
    r = subprocess.run([CLI, "-r", "-j", jobs, "--no-progress", top], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    lines = r.stdout.decode().splitlines()
    paths = [line.split("\t")[0] if "\t" in line else line.split(": ")[1] for line in lines]
    assert paths == sorted(paths)  # the walk's order: byte order, depth first
    assert [line for line in lines if line.startswith("taxon: ")] == [
        f"taxon: {top}/d1/fifo: not a regular file (a FIFO)",
        f"taxon: {top}/d2/dangling: broken symbolic link",
        f"taxon: {top}/d3/loop-a: Too many levels of symbolic links",
        f"taxon: {top}/d3/loop-b: Too many levels of symbolic links",
    ]


@pytest.mark.parametrize("files, fifo_at", [
    (31, 0), (32, 31), (33, 32), (33, 31), (64, 32), (65, 64), (100, 50),
])
def test_an_error_among_many_files_of_one_directory(tmp_path, files, fifo_at):
    """Files of one directory go to the readers in groups; an error at a
    group's edge still sits between the lines around it, for every -j."""
    for i in range(files):
        name = f"f{i:03}" if i != fifo_at else f"f{i:03}-fifo"
        if i == fifo_at:
            os.mkfifo(tmp_path / name)
        else:
            (tmp_path / name).write_bytes(b"%PDF-1.7\n" if i % 2 else b"GIF89a" + bytes(10))
    (tmp_path / "sub").mkdir()
    (tmp_path / "sub" / "after").write_bytes(b"plain\n")
    outputs = set()
    for jobs in ["1", "2", "3", "8"]:
        r = subprocess.run([CLI, "-r", "-j", jobs, "--no-progress", tmp_path], stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT)
        lines = r.stdout.decode().splitlines()
        assert r.returncode == 1 and len(lines) == files + 1
        assert lines[fifo_at] == f"taxon: {tmp_path}/f{fifo_at:03}-fifo: not a regular file (a FIFO)"
        assert lines[-1].startswith(f"{tmp_path}/sub/after\t")
        outputs.add(r.stdout)
    assert len(outputs) == 1


def test_summary_counts_what_the_lines_say(tmp_path):
    top = make_tree(tmp_path)
    lines = run("-r", "--mime", top).stdout.decode().splitlines()
    counts = collections.Counter(lines)
    read = sum(min(p.stat().st_size, READ_LIMIT) for p in top.rglob("f*") if p.is_file() and not p.is_symlink())
    r = run("-r", "--summary", top)
    rows = r.stdout.decode().splitlines()
    assert r.returncode == 1 and r.stderr.count(b"\n") == 4
    assert rows[-1] == f"{len(lines)} named, 4 failed, {read} bytes read"
    pairs = [(int(n), mime) for n, mime in (row.split("\t") for row in rows[:-1])]
    assert dict((m, n) for n, m in pairs) == counts
    assert pairs == sorted(pairs, key=lambda p: (-p[0], p[1].encode()))
    obj = json.loads(run("-r", "--summary", "--json", top).stdout)
    assert obj == {"types": [{"mime": m, "count": n} for n, m in pairs], "named": len(lines), "failed": 4, "bytes_read": read}


@pytest.mark.parametrize("data", [b"", b"<html></html>", png() + bytes(5000)])
def test_summary_of_standard_input(data):
    obj = json.loads(run("--summary", "--json", "-", input=data).stdout)
    assert obj == {"types": [{"mime": taxon.detect_mime(data), "count": 1}], "named": 1, "failed": 0,
                   "bytes_read": min(len(data), READ_LIMIT)}


def nested(top, name, depth):
    """`depth` directories called `name`, one in the other, built through
    descriptors (their full path may be longer than any path the kernel
    takes); returns the path of the innermost as bytes."""
    fd = os.open(top, os.O_RDONLY)
    try:
        for _ in range(depth):
            os.mkdir(name, dir_fd=fd)
            inner = os.open(name, os.O_RDONLY, dir_fd=fd)
            os.close(fd)
            fd = inner
        with open(os.open("deep.gz", os.O_WRONLY | os.O_CREAT, dir_fd=fd), "wb") as f:
            f.write(b"\x1f\x8b\x08\x00" + bytes(20))
    finally:
        os.close(fd)
    return os.path.join(os.fsencode(top), *[name.encode()] * depth, b"deep.gz")


def limit_descriptors():
    resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))


@pytest.mark.parametrize("name, depth, jobs", [
    ("d", 3000, "1"),        # deeper than any recursion or descriptor limit
    ("d", 3000, "3"),
    ("n" * 250, 300, "1"),   # a path of 75 KB
    ("n" * 250, 300, "2"),
])
def test_any_depth_and_path_length(name, depth, jobs):
    top = tempfile.mkdtemp()
    try:
        (Path(top) / "a.json").write_bytes(b"[]")
        deep = nested(top, name, depth)
        r = subprocess.run([CLI, "-r", "-j", jobs, "--json", top], capture_output=True, preexec_fn=limit_descriptors)
        assert (r.returncode, r.stderr) == (0, b"")
        rows = [json.loads(line) for line in r.stdout.splitlines()]
        assert [os.fsencode(row["path"]) for row in rows] == [os.path.join(os.fsencode(top), b"a.json"), deep]
        assert rows[1]["mime"] == "application/gzip"
    finally:
        subprocess.run(["rm", "-rf", top], check=True)  # shutil.rmtree recurses too deep


def test_entries_after_a_deep_branch_are_still_named(tmp_path):
    """Directories let go of while deeper are opened again for the entries
    after the branch, with few descriptors."""
    for branch in ["a", "b"]:
        (tmp_path / branch).mkdir()
        nested(tmp_path / branch, "d", 200)
        (tmp_path / branch / "z.json").write_bytes(b"{}")
    r = subprocess.run([CLI, "-r", "--ext", tmp_path], capture_output=True, preexec_fn=limit_descriptors)
    assert (r.returncode, r.stdout) == (0, b".gz\n.json\n.gz\n.json\n")


def test_a_hundred_thousand_entries_in_bounded_memory(tmp_path):
    fd = os.open(tmp_path, os.O_RDONLY)
    try:
        for i in range(100_000):
            os.close(os.open(f"{i:06}", os.O_WRONLY | os.O_CREAT, dir_fd=fd))
    finally:
        os.close(fd)
    (tmp_path / "099999").write_bytes(b"<html></html>")
    # Measured in a process of its own, whose only child is the command.
    probe = ("import resource, subprocess, sys; r = subprocess.run(sys.argv[1:], capture_output=True); "
             "sys.stdout.write(r.stdout.decode() + str(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss))")
    r = subprocess.run([sys.executable, "-c", probe, CLI, "-r", "-j", "2", "--summary", tmp_path],
                       capture_output=True, check=True)
    *lines, peak_kb = r.stdout.decode().splitlines()
    assert lines == ["99999\tapplication/octet-stream", "1\ttext/html; charset=utf-8",
                     "100000 named, 0 failed, 13 bytes read"]
    # The names of a directory are held at once (to sort them); nothing per
    # file beyond that. AddressSanitizer's quarantine and shadow memory,
    # when the command is built with it, take their own hundreds of MB.
    sanitized = "asan" in os.environ.get("LD_PRELOAD", "")
    assert int(peak_kb) < (600_000 if sanitized else 100_000)


def every_byte_name(b):
    return b"n" + bytes([b]) + b"e"


def expected_escape(b):
    named = {0x5C: "\\\\", 0x09: "\\t", 0x0A: "\\n", 0x0D: "\\r"}
    if b in named:
        return named[b]
    if b < 0x20 or b >= 0x7F:
        return "\\x%02x" % b
    return chr(b)


def test_names_with_every_byte(tmp_path):
    top = os.fsencode(tmp_path)
    names = [every_byte_name(b) for b in range(1, 256) if b != 0x2F]
    for name in names:
        with open(os.path.join(top, name), "wb") as f:
            f.write(b"{}")
    lines = run("-r", "--mime", tmp_path).stdout.splitlines()
    assert lines == [b"application/json"] * len(names)
    printed = run("-r", tmp_path).stdout.decode("utf-8").split("\n")[:-1]
    rows = [json.loads(line) for line in run("-r", "--json", tmp_path).stdout.splitlines()]
    assert [unescape(line.split("\t")[0]) for line in printed] == [os.path.join(top, n) for n in sorted(names)]
    assert [os.fsencode(row["path"]) for row in rows] == [os.path.join(top, n) for n in sorted(names)]
    escaped = {line.split("\t")[0][len(str(tmp_path)) + 2:-1] for line in printed}
    assert escaped == {expected_escape(b) for b in range(1, 256) if b != 0x2F}


def test_help_states_the_escapes_the_output_uses():
    text = run("--help").stdout.decode()
    for escape in ["\\\\", "\\t", "\\n", "\\r", "\\xHH"]:
        assert escape in text


@pytest.mark.parametrize("terminal, flag, shown", [
    (True, [], True),
    (True, ["--no-progress"], False),
    (False, [], False),
])
def test_progress_line(tmp_path, terminal, flag, shown):
    """A run of over a second (standard input arrives late) with stderr on a
    terminal shows the progress line, then erases it."""
    for i in range(50):
        (tmp_path / f"f{i}").write_bytes(b"x")
    primary, secondary = pty.openpty() if terminal else os.pipe()
    p = subprocess.Popen([CLI, *flag, "--mime", "-", tmp_path / "f0"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=secondary)
    os.close(secondary)
    time.sleep(1.3)
    p.stdin.write(b"{}")
    p.stdin.close()
    err = b""
    while True:
        ready, _, _ = select.select([primary], [], [], 20)
        try:
            chunk = os.read(primary, 4096) if ready else b""
        except OSError:  # the pty is gone with its last writer
            chunk = b""
        if not chunk:
            break
        err += chunk
    os.close(primary)
    assert p.wait(timeout=20) == 0
    assert p.stdout.read() == b"application/json\ntext/plain; charset=utf-8\n"
    p.stdout.close()
    assert (re.search(rb"\rtaxon: 1 files, \d+ files/s", err) is not None) == shown
    if shown:
        assert err.endswith(b"\r" + b" " * 79 + b"\r")
    else:
        assert err == b""


@pytest.fixture
def tmpfs_inside(tmp_path):
    mount = tmp_path / "mnt"
    mount.mkdir()
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", mount], capture_output=True)
    if r.returncode != 0:
        pytest.skip(f"cannot mount a tmpfs here: {r.stderr.decode().strip()}")
    try:
        yield mount
    finally:
        subprocess.run(["umount", mount], check=True)


@pytest.mark.parametrize("flag, inside", [([], True), (["-x"], False), (["--one-file-system"], False)])
def test_one_file_system(tmp_path, tmpfs_inside, flag, inside):
    (tmp_path / "a.json").write_bytes(b"{}")
    (tmpfs_inside / "b.json").write_bytes(b"[]")
    (tmp_path / "z.json").write_bytes(b"{}")
    r = run("-r", *flag, tmp_path)
    names = [Path(line.split("\t")[0]).name for line in r.stdout.decode().splitlines()]
    assert (r.returncode, names) == (0, ["a.json", "b.json", "z.json"] if inside else ["a.json", "z.json"])
    # The root itself may be the other file system: -x stays on the root's.
    assert run("-r", *flag, tmpfs_inside).stdout.decode().count("\n") == 1


@pytest.fixture
def mounted(tmp_path):
    """Mounts a file system of the given type at tmp_path/mnt (as root)."""
    mounts = []

    def mount(fstype):
        point = tmp_path / "mnt"
        point.mkdir()
        r = subprocess.run(["mount", "-t", fstype, fstype, point], capture_output=True)
        if r.returncode != 0:
            pytest.skip(f"cannot mount {fstype} here: {r.stderr.decode().strip()}")
        mounts.append(point)
        return point

    yield mount
    for point in mounts:
        subprocess.run(["umount", "-l", point], check=True)


@pytest.mark.parametrize("fstype, entered", [
    # Files the kernel makes up as they are read: a walk that meets them
    # does not go in (reading /proc/kmsg would consume the kernel's log).
    ("proc", False),
    ("sysfs", False),
    ("cgroup2", False),
    # Real storage in memory is walked as any other.
    ("tmpfs", True),
])
@pytest.mark.parametrize("jobs", ["1", "3"])
def test_the_kernels_own_file_systems_are_entered_only_when_named(tmp_path, mounted, fstype, entered, jobs):
    (tmp_path / "a.json").write_bytes(b"{}")
    (tmp_path / "z.json").write_bytes(b"[]")
    point = mounted(fstype)
    if fstype == "tmpfs":
        (point / "b.json").write_bytes(b"{}")
    r = subprocess.run([CLI, "-r", "-j", jobs, "--no-progress", tmp_path], capture_output=True, timeout=120)
    inside = [line for line in r.stdout.split(b"\n") if line.startswith(os.fsencode(point))]
    assert (r.returncode, r.stderr, bool(inside)) == (0, b"", entered)
    assert r.stdout.count(b"\n") == 2 + len(inside)
    # Named as the root of a walk, it is walked (tried on cgroup2 alone:
    # walking a whole /proc reads /proc/kmsg, as asked, and empties it).
    if fstype == "cgroup2":
        named = subprocess.run([CLI, "-r", "-j", jobs, "--summary", "--no-progress", point],
                               capture_output=True, timeout=300)
        assert int(re.search(rb"^(\d+) named", named.stdout, re.M).group(1)) > 0


def test_a_file_named_on_a_made_up_file_system_is_read():
    r = subprocess.run([CLI, "/proc/self/status"], capture_output=True, timeout=60)
    assert (r.returncode, r.stderr) == (0, b"")
    assert r.stdout.startswith(b"/proc/self/status\t")


def test_a_directory_that_holds_itself_is_walked_once(tmp_path, tmpfs_inside):
    (tmpfs_inside / "a.json").write_bytes(b"{}")
    (tmpfs_inside / "again").mkdir()
    r = subprocess.run(["mount", "--bind", tmpfs_inside, tmpfs_inside / "again"], capture_output=True)
    if r.returncode != 0:
        pytest.skip(f"cannot bind-mount here: {r.stderr.decode().strip()}")
    try:
        r = run("-r", "--ext", tmpfs_inside)
    finally:
        subprocess.run(["umount", tmpfs_inside / "again"], check=True)
    assert (r.returncode, r.stdout) == (1, b".json\n")
    assert r.stderr.decode() == f"taxon: {tmpfs_inside}/again: directory loop (the same directory as one that holds it)\n"


# Entries changed between the listing of their directory and their opening.
# A preloaded shim holds every open of a name starting with "swap-" until the
# test has made its changes.
GATE_SHIM = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#ifndef SYS_openat2
#define SYS_openat2 437
#endif
static int opened;
static void gate(const char *name) {
    const char *base = strrchr(name, '/');
    base = base ? base + 1 : name;
    if (opened || strncmp(base, "swap-", 5) != 0) return;
    const char *dir = getenv("TAXON_GATE");
    char path[4096];
    strcpy(path, dir); strcat(path, "/reached");
    close(open(path, O_WRONLY | O_CREAT, 0644));
    strcpy(path, dir); strcat(path, "/go");
    for (int i = 0; i < 2000 && access(path, F_OK) != 0; ++i) usleep(10000);
    opened = 1;
}
int openat(int fd, const char *name, int flags, ...) {
    static int (*real)(int, const char *, int, ...);
    if (!real) real = dlsym(RTLD_NEXT, "openat");
    va_list ap; va_start(ap, flags); int mode = va_arg(ap, int); va_end(ap);
    gate(name);
    return real(fd, name, flags, mode);
}
int fstatat(int fd, const char *name, struct stat *st, int flags) {
    static int (*real)(int, const char *, struct stat *, int);
    if (!real) real = dlsym(RTLD_NEXT, "fstatat");
    gate(name);
    return real(fd, name, st, flags);
}
/* openat2, which has no C library wrapper, goes through syscall(). */
long syscall(long number, ...) {
    static long (*real)(long, ...);
    if (!real) real = dlsym(RTLD_NEXT, "syscall");
    va_list ap; va_start(ap, number);
    long a[6];
    for (int i = 0; i < 6; ++i) a[i] = va_arg(ap, long);
    va_end(ap);
    if (number == SYS_openat2) gate((const char *)a[1]);
    return real(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}
"""


@pytest.fixture(scope="module")
def gate_shim():
    """The shim and a copy of the command, where any user may run them."""
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        pytest.skip("no C compiler for the test's shim")
    d = Path(tempfile.mkdtemp())
    try:
        os.chmod(d, 0o755)
        (d / "gate.c").write_text(GATE_SHIM)
        subprocess.run([cc, "-shared", "-fPIC", "-O1", "-o", d / "gate.so", d / "gate.c", "-ldl"], check=True)
        shutil.copy(CLI, d / "taxon")
        os.chmod(d / "gate.so", 0o755)
        os.chmod(d / "taxon", 0o755)
        yield d
    finally:
        shutil.rmtree(d)


def replace_with(path, what):
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path)
    else:
        path.unlink()
    if what == "fifo":
        os.mkfifo(path)
    elif what == "device":
        os.mknod(path, 0o644 | stat.S_IFCHR, os.makedev(1, 3))  # /dev/null
    elif what == "directory":
        path.mkdir()
    elif what == "json":
        path.write_bytes(b"[1]")


# name, made as, changed into, line on stdout or stderr (PATH stands for it)
SWAPS = [
    ("swap-a", "json", "gone", "taxon: PATH: No such file or directory"),
    ("swap-b", "json", "fifo", "taxon: PATH: not a regular file (a FIFO)"),
    ("swap-c", "json", "device", "taxon: PATH: not a regular file (a character device)"),
    ("swap-d", "json", "directory", "taxon: PATH: not a regular file (a directory)"),
    ("swap-e", "directory", "gone", "taxon: PATH: No such file or directory"),
    ("swap-f", "directory", "json", "PATH\tapplication/json\t.json"),
    ("swap-g", "json", "unreadable", "taxon: PATH: Permission denied"),
    ("swap-h", "directory", "unreadable", "taxon: PATH: Permission denied"),
]


def walk_while_entries_change(gate_shim, args, launcher=()):
    """Runs `taxon -r ARGS` on a tree whose entries change (SWAPS) between
    their listing and their opening; returns its status, its lines (stdout
    and stderr together) and the lines expected."""
    top = Path(tempfile.mkdtemp())
    gate = Path(tempfile.mkdtemp())
    try:
        os.chmod(top, 0o777)
        os.chmod(gate, 0o777)
        (top / "a.json").write_bytes(b"{}")
        for name, made, _, _ in SWAPS:
            if made == "directory":
                (top / name).mkdir()
                (top / name / "inside.json").write_bytes(b"{}")
            else:
                (top / name).write_bytes(b"{}")
        (top / "closed").mkdir(mode=0)
        (top / "z.json").write_bytes(b"{}")
        # After any runtime already preloaded (a sanitizer's must come first).
        preload = " ".join(filter(None, [os.environ.get("LD_PRELOAD"), str(gate_shim / "gate.so")]))
        env = dict(os.environ, LD_PRELOAD=preload, TAXON_GATE=str(gate))
        p = subprocess.Popen([*launcher, gate_shim / "taxon", "-r", *args, top], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, env=env, user=NOBODY, group=NOBODY)
        deadline = time.monotonic() + 20
        while not (gate / "reached").exists() and time.monotonic() < deadline:
            time.sleep(0.01)
        assert (gate / "reached").exists(), "the shim never held an open"
        for name, _, into, _ in SWAPS:
            if into == "unreadable":
                os.chmod(top / name, 0)
            else:
                replace_with(top / name, into)
        (gate / "go").touch()
        out, _ = p.communicate(timeout=30)
    finally:
        subprocess.run(["rm", "-rf", top, gate], check=True)
    expected = [
        f"{top}/a.json\tapplication/json\t.json",
        f"taxon: {top}/closed: Permission denied",
        *[line.replace("PATH", f"{top}/{name}") for name, _, _, line in SWAPS],
        f"{top}/z.json\tapplication/json\t.json",
    ]
    return p.returncode, out.decode().splitlines(), expected


@pytest.mark.parametrize("args", [["-j", "1", "--in-flight", "1"], ["-j", "1"], ["-j", "2"], ["-j", "3", "--in-flight", "2"],
                                  ["-j", "2", "--in-flight", "64"]],
                         ids=lambda a: " ".join(a))
def test_entries_that_change_during_the_walk(gate_shim, args):
    if os.geteuid() != 0:
        pytest.skip("makes a device node and runs the command as another user: needs root")
    code, lines, expected = walk_while_entries_change(gate_shim, args)
    assert (code, lines) == (1, expected)


@pytest.mark.parametrize("jobs", ["1", "3"])
def test_a_directory_that_cannot_be_reopened_is_one_line(gate_shim, jobs):
    """Deep in a tree at a low descriptor limit, outer directories are let go
    of and opened again by name on the way back. Should one of them have been
    renamed meanwhile (and the branch below it moved away, so that ".." no
    longer leads back), it is reported once, and the walk goes on with the
    entries left above it."""
    top = Path(tempfile.mkdtemp())
    gate = Path(tempfile.mkdtemp())
    try:
        levels = [f"l{i:02}" for i in range(40)]
        deep = top.joinpath(*levels)
        (deep / "swap-deep").mkdir(parents=True)
        (deep / "swap-deep" / "in.json").write_bytes(b"{}")
        for i in range(len(levels) + 1):
            top.joinpath(*levels[:i], "z.json").write_bytes(b"[]")
        preload = " ".join(filter(None, [os.environ.get("LD_PRELOAD"), str(gate_shim / "gate.so")]))
        env = dict(os.environ, LD_PRELOAD=preload, TAXON_GATE=str(gate))
        # 64 descriptors: only the innermost few directories keep theirs.
        p = subprocess.Popen([gate_shim / "taxon", "-r", "-j", jobs, "--ext", top], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, env=env, preexec_fn=limit_descriptors)
        deadline = time.monotonic() + 20
        while not (gate / "reached").exists() and time.monotonic() < deadline:
            time.sleep(0.01)
        assert (gate / "reached").exists(), "the shim never held an open"
        os.rename(top.joinpath(*levels[:21]), top / levels[0] / "moved")
        os.rename(top.joinpath(*levels[:2]), top.joinpath(levels[0], "renamed"))
        (gate / "go").touch()
        out, _ = p.communicate(timeout=30)
    finally:
        subprocess.run(["rm", "-rf", top, gate], check=True)
    assert p.returncode == 1
    assert out.decode().splitlines() == [
        ".json",                  # swap-deep/in.json
        *[".json"] * 20,          # z.json of the levels still below the one moved
        f"taxon: {top}/l00/l01: No such file or directory",
        ".json",                  # l00/z.json
        ".json",                  # z.json
    ]
