"""The `taxon` command over a FUSE mirror (tests/slowfs.py): the same lines
as over the directory it mirrors, whether the listings carry entry types or
not (DT_UNKNOWN for every entry, as some network and older file systems
give), so the walk's own stat of each entry must stand in for the listing."""

import contextlib
import ctypes
import ctypes.util
import os
import pty
import re
import signal
import stat
import subprocess
import time

import pytest

import slowfs
from test_cli import CLI, png, run, tar_bytes, zip_bytes
from test_cli_limits import read_pty

ODD_NAMES = [b"tab\there", b"new\nline", b"back\\slash", b"\xff\xfe not utf-8", b"\x01\x1f controls",
             "\u00fcml\u00e4ut \u65e5\u672c".encode(), b"trailing space "]


def make_tree(top):
    """Nested directories of files of several kinds, links of every sort,
    a FIFO, odd names and empty directories."""
    contents = [b"", b"plain words\n", b"<html><body></body></html>", b'{"a": [1]}', png(), zip_bytes(),
                tar_bytes(), b"%PDF-1.7\n", bytes(range(256)) * 20, b"word " * 2000]
    for d in range(3):
        for e in range(2):
            sub = top / f"d{d}" / f"e{e}"
            sub.mkdir(parents=True)
            for i in range(7):
                (sub / f"f{i}").write_bytes(contents[(d * 5 + e * 3 + i) % len(contents)])
    (top / "empty").mkdir()
    (top / "d1" / "empty too" / "and empty").mkdir(parents=True)
    odd = os.fsencode(top / "odd")
    os.mkdir(odd)
    for i, name in enumerate(ODD_NAMES):
        with open(os.path.join(odd, name), "wb") as f:
            f.write(contents[i % len(contents)])
    os.mkdir(os.path.join(odd, b"dir \xe9"))
    with open(os.path.join(odd, b"dir \xe9", b"inner\xc0"), "wb") as f:
        f.write(png())
    (top / "d0" / "to-file").symlink_to("e1/f4")
    (top / "d0" / "to-dir").symlink_to("../d2")  # not followed
    (top / "d2" / "broken").symlink_to("nowhere")
    os.mkfifo(top / "d2" / "fifo")
    return top


def skip_unless_mountable(error):
    # CI installs what slowfs needs (tools/check): there a missing package is
    # a fault of the set-up, not a reason to skip the test.
    if os.environ.get("CI") == "true" and "apt-get install" in str(error):
        pytest.fail(str(error))
    pytest.skip(str(error))


@pytest.fixture(scope="module")
def mirrors(tmp_path_factory):
    """One tree, and two mounts of it: with entry types and without."""
    top = make_tree(tmp_path_factory.mktemp("source"))
    with contextlib.ExitStack() as stack:
        mounts = {}
        for types in (True, False):
            point = tmp_path_factory.mktemp("types" if types else "no-types")
            try:
                mounts[types] = stack.enter_context(slowfs.mounted(top, point, delay_us=100, types=types))
            except slowfs.Unavailable as e:
                skip_unless_mountable(e)
        yield top, mounts


class Dirent(ctypes.Structure):  # glibc's struct dirent on Linux
    _fields_ = [("d_ino", ctypes.c_uint64), ("d_off", ctypes.c_int64), ("d_reclen", ctypes.c_ushort),
                ("d_type", ctypes.c_ubyte), ("d_name", ctypes.c_char * 256)]


def listed_types(directory):
    """{name: d_type} as readdir gives them, which os.scandir hides."""
    libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
    libc.opendir.restype = ctypes.c_void_p
    libc.readdir.restype = ctypes.POINTER(Dirent)
    libc.readdir.argtypes = libc.closedir.argtypes = [ctypes.c_void_p]
    d = libc.opendir(os.fsencode(directory))
    assert d, os.strerror(ctypes.get_errno())
    out = {}
    try:
        while entry := libc.readdir(d):
            out[entry.contents.d_name] = entry.contents.d_type
    finally:
        libc.closedir(d)
    return out


DT_UNKNOWN, DT_FIFO, DT_DIR, DT_REG, DT_LNK = 0, 1, 4, 8, 10


@pytest.mark.parametrize("types", [True, False], ids=["types", "no-types"])
@pytest.mark.parametrize("where, expected", [
    ("d0", {b"e0": DT_DIR, b"e1": DT_DIR, b"to-file": DT_LNK, b"to-dir": DT_LNK}),
    ("d2", {b"e0": DT_DIR, b"e1": DT_DIR, b"broken": DT_LNK, b"fifo": DT_FIFO}),
    ("d0/e0", {f"f{i}".encode(): DT_REG for i in range(7)}),
])
def test_the_mount_lists_what_it_claims(mirrors, types, where, expected):
    """The mirror lists the same names, with their types or with none: the
    comparison below would prove nothing if both mounts gave types."""
    top, mounts = mirrors
    got = listed_types(mounts[types] / where)
    assert got.pop(b".") in (DT_DIR, DT_UNKNOWN) and got.pop(b"..") in (DT_DIR, DT_UNKNOWN)
    assert got == (expected if types else dict.fromkeys(expected, DT_UNKNOWN))
    assert sorted(os.listdir(os.fsencode(top / where))) == sorted(got)
    # What a stat says does not depend on the listing.
    for name in expected:
        mode = os.lstat(os.path.join(os.fsencode(mounts[types] / where), name)).st_mode
        assert stat.S_IFMT(mode) == stat.S_IFMT(os.lstat(os.path.join(os.fsencode(top / where), name)).st_mode)


@pytest.mark.parametrize("jobs", ["1", "3"])
@pytest.mark.parametrize("mode", [[], ["--mime"], ["--json"], ["--summary"]], ids=lambda m: " ".join(m) or "lines")
@pytest.mark.parametrize("types", [True, False], ids=["types", "no-types"])
def test_the_walk_over_the_mount_prints_what_it_prints_over_the_source(mirrors, types, mode, jobs):
    top, mounts = mirrors
    here = run("-r", "-j", jobs, "--no-progress", *mode, top)
    there = run("-r", "-j", jobs, "--no-progress", *mode, mounts[types])
    # The tree holds a broken link and a FIFO: both fail, the rest is named.
    assert here.returncode == 1 and here.stderr.count(b"\n") == 2, here.stderr
    source, mirror = os.fsencode(top), os.fsencode(mounts[types])
    assert (there.returncode, there.stdout, there.stderr) == (
        here.returncode, here.stdout.replace(source, mirror), here.stderr.replace(source, mirror))
    if not mode:  # every file, the odd names and the link to a file among them
        assert here.stdout.count(b"\n") == 3 * 2 * 7 + len(ODD_NAMES) + 2


def wide_tree(top, dirs=10, files=30):
    top.mkdir()
    for d in range(dirs):
        (top / f"d{d:02}").mkdir()
        for i in range(files):
            (top / f"d{d:02}" / f"f{i:02}").write_bytes(b"%PDF-1.7\n" if i % 2 else b"{}")
    return top


@pytest.mark.parametrize("args, least, most", [
    (["-j", "1", "--in-flight", "1"], 1, 2),   # the walk and one thread reading: no more
    (["-j", "2", "--in-flight", "1"], 1, 3),
    (["-j", "1"], 16, None),                   # one detecting thread, many requests in flight
    (["-j", "1", "--in-flight", "8"], 4, 10),
])
@pytest.mark.parametrize("types", [True, False], ids=["types", "no-types"])
def test_requests_in_flight_do_not_follow_the_threads(tmp_path, args, least, most, types):
    """On a file system that takes its time, the requests waiting at once are
    --in-flight's, not -j's (counted by the file system itself)."""
    source = wide_tree(tmp_path / "source")
    (tmp_path / "mnt").mkdir()
    try:
        with slowfs.Mount(source, tmp_path / "mnt", delay_us=5000, types=types) as mount:
            r = run("-r", "--summary", *args, tmp_path / "mnt")
            waiting = mount.counts()["most_waiting"]
    except slowfs.Unavailable as e:
        skip_unless_mountable(e)
    assert (r.returncode, r.stdout.decode().splitlines()[-1]) == (0, "300 named, 0 failed, 1650 bytes read")
    assert waiting >= least and (most is None or waiting <= most), waiting


@pytest.mark.parametrize("args", [["-j", "1", "--in-flight", "1"], []], ids=["one at a time", "default"])
@pytest.mark.parametrize("sig", [signal.SIGINT, signal.SIGTERM])
def test_a_file_system_that_stops_answering_does_not_keep_a_signal_waiting(tmp_path, args, sig):
    """The file system stops answering in the middle of a run (its server is
    stopped): every thread of the command may be waiting on it. A signal is
    still taken at once: the progress line is erased while they wait, and the
    command dies of the signal as soon as the kernel lets its threads go (a
    FUSE request already taken by its server holds its caller until
    answered, whatever the caller is)."""
    source = wide_tree(tmp_path / "source", dirs=60)
    (tmp_path / "mnt").mkdir()
    try:
        mount = slowfs.Mount(source, tmp_path / "mnt", delay_us=100_000)
        mount.__enter__()
    except slowfs.Unavailable as e:
        skip_unless_mountable(e)
    try:
        primary, secondary = pty.openpty()
        p = subprocess.Popen([CLI, "-r", *args, tmp_path / "mnt"], stdout=subprocess.DEVNULL, stderr=secondary)
        os.close(secondary)
        # The progress line shows after a second.
        err = read_pty(primary, time.monotonic() + 15, seen=rb"\rtaxon: \d+ files, \d+ files/s")
        os.kill(mount.pid, signal.SIGSTOP)
        try:
            err += read_pty(primary, time.monotonic() + 0.3)
            p.send_signal(sig)
            erased = read_pty(primary, time.monotonic() + 1)
        finally:
            os.kill(mount.pid, signal.SIGCONT)
        try:
            code = p.wait(timeout=20)
        finally:
            p.kill()
            p.wait()
        os.close(primary)
    finally:
        mount.__exit__(None, None, None)
    assert code == -sig
    assert re.search(rb"\rtaxon: \d+ files, \d+ files/s", err)
    assert erased.endswith(b"\r" + b" " * 79 + b"\r")
