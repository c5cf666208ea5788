"""The `taxon` command's reads in flight: every way it may have to wait on the
storage (the cached tier refused, reads that cannot say whether they would
wait, no thread to wait in, descriptor tables shared) gives the plain run's
output, on every tree; and lists of paths (--files-from) go through the same
engine, in the list's order."""

import json
import os
import shutil
import subprocess
import tempfile
from pathlib import Path

import pytest

from syscall_filter import refuse  # noqa: F401 (a fixture)
from test_cli import CLI, run, unescape
from test_cli_walk import OUTPUT_MODES, gate_shim, make_tree, nested, walk_while_entries_change  # noqa: F401

# What a sandbox or an older kernel may refuse, and what the command then does.
FALLBACKS = {
    # openat2 unknown (kernels before 5.6) or refused (seccomp profiles):
    # nothing is known to be in memory, every file goes to the waiting threads.
    "pool alone": ["openat2:ENOSYS"],
    "openat2 refused": ["openat2:EPERM"],
    # A file system or kernel that cannot read without waiting.
    "no RWF_NOWAIT": ["preadv2:EOPNOTSUPP:5:and:8"],
    "no statx": ["statx:ENOSYS"],
    # No thread at all: everything on one.
    "no threads": ["clone3:EAGAIN", "clone:EAGAIN"],
    # Threads share one descriptor table.
    "shared tables": ["pidfd_open:ENOSYS"],
    "unshare refused": ["unshare:EPERM"],
}


@pytest.fixture(scope="module")
def trees(tmp_path_factory):
    top = make_tree(tmp_path_factory.mktemp("tree"))
    deep = Path(tempfile.mkdtemp())
    (deep / "a.json").write_bytes(b"[]")
    nested(deep, "d", 600)
    names = tmp_path_factory.mktemp("names")
    for b in range(1, 256):
        if b != 0x2F:
            with open(os.path.join(os.fsencode(names), b"n" + bytes([b]) + b"e"), "wb") as f:
                f.write(b"{}" if b % 2 else b"<html></html>")
    yield {"mixed": top, "deep": deep, "names": names}
    subprocess.run(["rm", "-rf", deep], check=True)


def plain(*args, **kw):
    r = run("-j", "1", "--in-flight", "1", *args, **kw)
    return r.returncode, r.stdout, r.stderr


@pytest.mark.parametrize("fallback", list(FALLBACKS))
@pytest.mark.parametrize("tree", ["mixed", "deep", "names"])
# Given --in-flight, the waiting threads are used from the start; by default
# only once the storage made a request wait (never, on these warm trees).
@pytest.mark.parametrize("args", [["-j", "1", "--in-flight", "64"], ["-j", "3", "--in-flight", "64"],
                                  ["-j", "2", "--in-flight", "200"], ["-j", "2"]],
                         ids=lambda a: " ".join(a))
def test_every_fallback_gives_the_plain_output(refuse, trees, fallback, tree, args):
    for mode in OUTPUT_MODES:
        expected = plain("-r", *mode, trees[tree])
        r = subprocess.run([*refuse(*FALLBACKS[fallback]), CLI, *args, "-r", *mode, trees[tree]], capture_output=True,
                           timeout=120)
        assert (r.returncode, r.stdout, r.stderr) == expected, mode


@pytest.mark.parametrize("fallback", ["pool alone", "no RWF_NOWAIT", "no threads", "shared tables"])
@pytest.mark.parametrize("jobs", ["1", "3"])
def test_every_fallback_with_entries_that_change(refuse, gate_shim, fallback, jobs):
    if os.geteuid() != 0:
        pytest.skip("makes a device node and runs the command as another user: needs root")
    code, lines, expected = walk_while_entries_change(gate_shim, ["-j", jobs, "--in-flight", "64"],
                                                      launcher=refuse(*FALLBACKS[fallback]))
    assert (code, lines) == (1, expected)


@pytest.mark.parametrize("in_flight", ["1", "2", "3", "17", "64", "4096"])
@pytest.mark.parametrize("jobs", ["1", "4"])
def test_any_number_in_flight(trees, in_flight, jobs):
    for tree in trees.values():
        assert (lambda r: (r.returncode, r.stdout, r.stderr))(
            run("-r", "-j", jobs, "--in-flight", in_flight, tree)) == plain("-r", tree)


@pytest.mark.parametrize("args, message", [
    (["--in-flight", "0", "x"], "taxon: invalid number of requests in flight '0' (1 to 4096)"),
    (["--in-flight=4097", "x"], "taxon: invalid number of requests in flight '4097' (1 to 4096)"),
    (["x", "--in-flight"], "taxon: option '--in-flight' needs a value"),
    (["--files-from", "list", "x"], "taxon: FILE arguments and --files-from exclude each other"),
    (["-0", "x"], "taxon: -0 (--null) needs --files-from"),
    (["--files-from="], "taxon: --files-from needs a LIST"),
    (["--files-from"], "taxon: option '--files-from' needs a value"),
])
def test_usage_of_the_new_options(args, message):
    r = run(*args)
    assert (r.returncode, r.stdout) == (2, b"")
    assert r.stderr.decode().splitlines()[0] == message


def regular_files(top):
    """What `find TOP -type f -print0` gives, in its own order."""
    out = subprocess.run(["find", top, "-type", "f", "-print0"], capture_output=True, check=True).stdout
    return out.split(b"\0")[:-1]


@pytest.mark.skipif(shutil.which("find") is None, reason="needs find")
@pytest.mark.parametrize("tree", ["mixed", "names"])
@pytest.mark.parametrize("mode", [[], ["--json"], ["--mime"]], ids=lambda m: " ".join(m) or "lines")
@pytest.mark.parametrize("jobs", ["1", "3"])
def test_find_print0_gives_the_walks_lines_in_its_own_order(trees, tree, mode, jobs):
    top = trees[tree]
    listed = regular_files(top)
    r = subprocess.run([CLI, "-j", jobs, *mode, "--files-from", "-", "-0"], input=b"\0".join(listed) + b"\0",
                       capture_output=True, timeout=60)
    assert (r.returncode, r.stderr) == (0, b"")
    walked = run("-r", *mode, top).stdout.splitlines()
    lines = r.stdout.splitlines()
    assert sorted(lines) == sorted(line for line in walked)
    if mode == []:
        assert [os.fsencode(unescape(line.decode().split("\t")[0])) for line in lines] == listed
    if mode == ["--json"]:
        assert [os.fsencode(json.loads(line)["path"]) for line in lines] == listed


def test_names_round_trip_with_null_separators(trees, tmp_path):
    odd = [b"new\nline", b"tab\there", b"\xff\xfe", b"back\\slash", b" lead", b"trail ", "ü".encode()]
    for name in odd:
        with open(os.path.join(os.fsencode(tmp_path), name), "wb") as f:
            f.write(b"{}")
    listed = [os.path.join(os.fsencode(tmp_path), n) for n in odd]
    r = subprocess.run([CLI, "--json", "--files-from", "-", "--null"], input=b"\0".join(listed), capture_output=True,
                       timeout=60)
    assert (r.returncode, r.stderr) == (0, b"")
    assert [os.fsencode(json.loads(line)["path"]) for line in r.stdout.splitlines()] == listed


# list contents, expected stdout lines (PATH: the file), expected stderr lines
LISTS = [
    (b"PATH\nPATH\n", ["PATH\tapplication/json\t.json"] * 2, []),
    (b"PATH", ["PATH\tapplication/json\t.json"], []),                 # no final newline
    (b"PATH\n\nPATH\n", ["PATH\tapplication/json\t.json"] * 2, ["taxon: LIST:2: invalid zero-length file name"]),
    (b"MISSING\nPATH\n", ["PATH\tapplication/json\t.json"], ["taxon: MISSING: No such file or directory"]),
    (b"-\n", [], ["taxon: -: No such file or directory"]),               # a file named "-", not standard input
    (b"DIR\n", [], ["taxon: DIR: Is a directory (use -r to walk it)"]),
    (b"", [], []),
]


@pytest.mark.parametrize("content, out, err", LISTS)
@pytest.mark.parametrize("source", ["file", "stdin"])
def test_lists_of_paths(tmp_path, content, out, err, source):
    f = tmp_path / "f.json"
    f.write_bytes(b"{}")
    (tmp_path / "dir").mkdir()
    subst = {b"PATH": os.fsencode(f), b"MISSING": os.fsencode(tmp_path / "missing"), b"DIR": os.fsencode(tmp_path / "dir")}
    for k, v in subst.items():
        content = content.replace(k, v)
    listfile = tmp_path / "list"
    listfile.write_bytes(content)
    name = str(listfile) if source == "file" else "-"
    r = subprocess.run([CLI, "--files-from", name], input=content if source == "stdin" else None, capture_output=True,
                       cwd=tmp_path, timeout=60)
    fill = lambda line: (line.replace("PATH", str(f)).replace("MISSING", str(tmp_path / "missing"))
                         .replace("DIR", str(tmp_path / "dir")).replace("LIST", name))
    assert r.stdout.decode().splitlines() == [fill(line) for line in out]
    assert r.stderr.decode().splitlines() == [fill(line) for line in err]
    assert r.returncode == (1 if err else 0)


def test_a_list_that_cannot_be_read(tmp_path):
    r = run("--files-from", tmp_path / "nowhere")
    assert (r.returncode, r.stdout) == (1, b"")
    assert r.stderr.decode() == f"taxon: {tmp_path / 'nowhere'}: No such file or directory\n"


@pytest.mark.parametrize("jobs", ["1", "3"])
def test_a_list_with_recursion_walks_its_directories(trees, jobs):
    top = trees["mixed"]
    listed = f"{top / 'd0'}\n{top / 'd1'}\n{top / 'd2' / 'e2'}\n".encode()
    r = subprocess.run([CLI, "-r", "-j", jobs, "--files-from", "-"], input=listed, capture_output=True, timeout=60)
    expected = plain("-r", top / "d0", top / "d1", top / "d2" / "e2")
    assert (r.returncode, r.stdout, r.stderr) == expected


def test_a_long_list_in_bounded_memory(tmp_path):
    """A list is read as it comes: a million paths take the memory of a
    few (each is the same small file here)."""
    f = tmp_path / "f.json"
    f.write_bytes(b"{}")
    listed = (os.fsencode(f) + b"\n") * 300_000
    probe = ("import resource, subprocess, sys; r = subprocess.run(sys.argv[1:], input=sys.stdin.buffer.read(), "
             "capture_output=True); sys.stdout.write(r.stdout.decode() + str(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss))")
    r = subprocess.run(["python3", "-c", probe, CLI, "--summary", "--files-from", "-"], input=listed, capture_output=True,
                       check=True, timeout=300)
    *lines, peak_kb = r.stdout.decode().splitlines()
    assert lines == ["300000\tapplication/json", "300000 named, 0 failed, 600000 bytes read"]
    sanitized = "asan" in os.environ.get("LD_PRELOAD", "")
    assert int(peak_kb) < (600_000 if sanitized else 60_000)
