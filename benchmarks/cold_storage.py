"""The `taxon` command on cold storage: a local tree with the page cache
dropped before every run, and trees behind slowfs (benchmarks/slowfs/slowfs.c),
which waits a fixed time on every lookup, stat, listing, open and read, with
and without entry types in its listings. There the speed is set by how many
requests a command keeps waiting at once, not by the processor.

    python benchmarks/cold_storage.py \\
        --variant 'old=/work/bench/taxon-old -j 2' --variant 'new=.venv/bin/taxon' \\
        [--sweep 'new=.venv/bin/taxon --in-flight {}' 1,8,16,32,64,128,256] \\
        [--floor 1,16,64] [--rounds 3] [--trees local,slow] [--json out.json]

A variant is NAME=COMMAND PREFIX; the harness appends
`-r --summary --no-progress TREE`. A sweep runs one prefix with `{}` replaced
by each value and reports the best. --floor adds, per thread count, the
floor: benchmarks/read_floor.c opening each file by its name in its
directory, reading 3072 bytes and closing it, with no walk and no listing.

Trees (generated once, reused; --cache-dir, default under /var/tmp, never on
a tmpfs, where nothing is cold):
  local  --local-layout 50x20x50: 50 directories of 20 of 50 files = 50,000
  slow   --slow-layout 10x10x20: 2,000 files, mounted through slowfs at each
         --delays value (microseconds; default 1000 and 10000), with entry
         types and without (--types both|yes|no)
File sizes are log-uniform in --sizes MIN:MAX (default 100:100000 bytes;
about 14 KB on average); heads of PNG, JPEG, GIF, PDF, ZIP, gzip, HTML, JSON,
XML, CSV, scripts, plain text, ELF and MP3, filled out in kind.

Every run starts cold: `sync` and `echo 3 > /proc/sys/vm/drop_caches`, which
also drops the FUSE mounts' names, attributes and pages and the pages of the
tree behind them; then the command's executable and shared libraries are read
back in, so that what is cold is the tree, not the program. When writing drop_caches is refused (not root), the output
says so and every figure is marked warm.

For each tree and command: the best and the median wall time of --rounds runs
(rounds interleave the commands, so a change in the machine's load falls on
all of them alike), files per second at the best time, and read_bytes per
file. read_bytes comes from the child's rusage as os.wait4 returns it at exit
(ru_inblock, in 512-byte units, which Linux fills from the task's read_bytes:
the bytes it made the block layer read, readahead included): exact for that
one child and all its threads, with no sampling and no race with its exit, as
reading /proc/PID/io just before it exits would have. It also counts what
the child reads besides the tree (directories and inodes on the way to it,
/etc/ld.so.cache: 0 to 1 MB a run here). Reads through a FUSE mount are
no block I/O of the child's, so behind slowfs that small rest is all its
figure shows; the table adds the read_bytes of slowfs itself (from its
/proc/PID/io before and after the run: it is alive, so there is no race),
that is the disk reads of the tree behind the mount, and the operations
slowfs served per file (a lookup counts as a getattr).

Every run's summary must equal the first command's on the same tree (a
command that miscounts is not faster, it is wrong): a run that differs is
marked DIFFERS, its output printed at the end, and the exit status is 1.
"""

import argparse
import json
import math
import os
import random
import shlex
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests"))
import slowfs  # noqa: E402  (tests/slowfs.py: builds and mounts slowfs)

DEFAULT_CACHE = Path("/var/tmp/taxon-cold-storage")


# ---------------------------------------------------------------- the trees

def _png_head(rng):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    ihdr = struct.pack(">IIBBBBB", rng.randrange(1, 4000), rng.randrange(1, 4000), 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + struct.pack(">I", 8192) + b"IDAT"


WORDS = ("the of and to in is was for on that with as by at from this be are or it an which have not "
         "file type content storage cold remote read open directory walk thread request wait").split()


def _text(rng, size):
    out, n = [], 0
    while n < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(4, 14))) + "\n"
        out.append(line)
        n += len(line)
    return "".join(out).encode()[:size]


def _content(kind, rng, size):
    """A file of `kind` of about `size` bytes: a real head, then filler in
    kind (text for the text formats, random bytes for the others)."""
    if kind == "png":
        head, fill = _png_head(rng), None
    elif kind == "jpeg":
        head, fill = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xdb\x00\x43\x00", None
    elif kind == "gif":
        head, fill = b"GIF89a" + struct.pack("<HH", rng.randrange(1, 999), rng.randrange(1, 999)) + b"\xf7\x00\x00", None
    elif kind == "pdf":
        head, fill = b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n", None
    elif kind == "zip":
        name = b"doc/content.txt"
        head = b"PK\x03\x04\x14\x00\x00\x00\x08\x00" + bytes(16) + struct.pack("<HH", len(name), 0) + name
        fill = None
    elif kind == "gzip":
        head, fill = b"\x1f\x8b\x08\x00" + struct.pack("<I", 1700000000 + rng.randrange(10**7)) + b"\x00\x03", None
    elif kind == "elf":
        head, fill = b"\x7fELF\x02\x01\x01\x00" + bytes(8) + b"\x03\x00\x3e\x00\x01\x00\x00\x00", None
    elif kind == "mp3":
        head, fill = b"ID3\x04\x00\x00\x00\x00\x00\x23TSSE\x00\x00\x00\x0f\x00\x00\x03Lavf58.76.100\x00", None
    elif kind == "html":
        head, fill = b"<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>page</title></head>\n<body>\n<p>", "text"
    elif kind == "json":
        head, fill = b'{"items": [', "json"
    elif kind == "xml":
        head, fill = b'<?xml version="1.0" encoding="UTF-8"?>\n<catalog>\n', "xml"
    elif kind == "csv":
        head, fill = b"id,name,size,kind\n", "csv"
    elif kind == "script":
        head, fill = b"#!/bin/sh\nset -e\n", "text"
    else:
        head, fill = b"", "text"
    rest = max(0, size - len(head))
    if fill is None:
        body = rng.randbytes(rest)
    elif fill == "json":
        body = b"".join(b'{"id": %d, "name": "%s"}, ' % (i, rng.choice(WORDS).encode()) for i in range(rest // 24 + 1))
    elif fill == "xml":
        body = b"".join(b"  <item id=\"%d\">%s</item>\n" % (i, rng.choice(WORDS).encode()) for i in range(rest // 24 + 1))
    elif fill == "csv":
        body = b"".join(b"%d,%s,%d,%s\n" % (i, rng.choice(WORDS).encode(), rng.randrange(10**6), rng.choice(WORDS).encode())
                        for i in range(rest // 20 + 1))
    else:
        body = _text(rng, rest)
    return head + body[:rest]


KINDS = ["png", "jpeg", "gif", "pdf", "zip", "gzip", "elf", "mp3", "html", "json", "xml", "csv", "script", "text"]


def parse_layout(text):
    try:
        dims = [int(x) for x in text.lower().split("x")]
    except ValueError:
        dims = []
    if len(dims) < 2 or any(d < 1 for d in dims):
        raise argparse.ArgumentTypeError(f"layout {text!r}: DIRSxSUBDIRS...xFILES, e.g. 50x20x50")
    return tuple(dims)


def generate(top, layout, sizes, seed=7):
    """Makes the tree once (a marker tells it is complete) and returns
    (number of files, total bytes, the files' paths relative to top)."""
    marker = top / ".complete"
    listing = top.parent / (top.name + ".files")
    if marker.exists() and listing.exists():
        paths = listing.read_bytes().split(b"\0")[:-1]
        return len(paths), int(marker.read_text()), paths
    shutil.rmtree(top, ignore_errors=True)
    rng = random.Random(seed)
    lo, hi = math.log(sizes[0]), math.log(sizes[1])
    *dirs, files = layout
    paths, total = [], 0

    def level(prefix, rest):
        if not rest:
            for i in range(files):
                yield prefix + [f"f{i:03}.bin"]
            return
        for d in range(rest[0]):
            yield from level(prefix + [f"d{d:02}"], rest[1:])

    for parts in level([], dirs):
        rel = "/".join(parts)
        size = int(math.exp(rng.uniform(lo, hi)))
        data = _content(rng.choice(KINDS), rng, size)
        path = top / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        paths.append(rel.encode())
        total += len(data)
    listing.write_bytes(b"".join(p + b"\0" for p in paths))
    marker.write_text(str(total))
    return len(paths), total, paths


def check_not_tmpfs(path):
    """The file system type of the mount that holds path."""
    best, kind = "", "?"
    with open("/proc/mounts") as mounts:
        for line in mounts:
            _, point, fstype, *_ = line.split()
            point = point.replace("\\040", " ")
            if (str(path) + "/").startswith(point.rstrip("/") + "/") and len(point) >= len(best):
                best, kind = point, fstype
    if kind in ("tmpfs", "ramfs"):
        sys.exit(f"{path} is on {kind}, where no read is ever cold: pass --cache-dir on a disk")
    return kind


# ---------------------------------------------------------------- the runs

def drop_caches():
    """Writes back and drops the page cache, dentries and inodes; False when
    this process may not."""
    subprocess.run(["sync"], check=False)
    try:
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False


def proc_read_bytes(pid):
    with open(f"/proc/{pid}/io") as f:
        for line in f:
            if line.startswith("read_bytes:"):
                return int(line.split()[1])
    return 0


def run_once(argv):
    """Runs argv; returns (seconds, stdout, exit status, read_bytes)."""
    with tempfile.TemporaryFile() as out:
        start = time.perf_counter()
        child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        try:
            _, status, usage = os.wait4(child.pid, 0)
        except BaseException:
            child.kill()
            child.wait()
            raise
        seconds = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)  # reaped here, not by Popen
        out.seek(0)
        return seconds, out.read(), child.returncode, usage.ru_inblock * 512


def program_files(program):
    """The executable and the shared libraries it loads: read back into the
    cache after each drop, so that a run's reads are the tree's, not the
    command's own pages (a few MB, which would swamp a small tree's)."""
    exe = os.path.realpath(shutil.which(program) or program)
    files = [exe]
    r = subprocess.run(["ldd", exe], capture_output=True, text=True)
    for line in r.stdout.splitlines():
        parts = line.split("=>")[-1].split()
        if parts and parts[0].startswith("/"):
            files.append(os.path.realpath(parts[0]))
    return files


def warm(files):
    for path in files:
        with open(path, "rb") as f:
            while f.read(1 << 20):
                pass


class Command:
    def __init__(self, name, argv, floor=False, sweep=None):
        self.name, self.argv, self.floor, self.sweep = name, argv, floor, sweep
        self.program_files = program_files(argv[0])

    def line(self, tree, listing):
        if self.floor:
            return [*self.argv, "-0", "-d", str(listing)]
        return [*self.argv, "-r", "--summary", "--no-progress", str(tree)]


def parse_variant(text):
    name, sep, command = text.partition("=")
    if not sep or not name or not command.strip():
        raise argparse.ArgumentTypeError(f"variant {text!r}: NAME=COMMAND")
    return name, shlex.split(command)


def measure(label, tree, files, listing, commands, rounds, cold, mount, results, mismatches):
    """Runs every command `rounds` times on tree, interleaved; prints one
    Markdown row per command and appends its figures to results."""
    runs = {c.name: [] for c in commands}
    reference = None
    for _ in range(rounds):
        for c in commands:
            if cold:
                drop_caches()
                warm(c.program_files)
            before = mount.counts() if mount else None
            fs_before = proc_read_bytes(mount.pid) if mount else 0
            seconds, output, status, read_bytes = run_once(c.line(tree, listing))
            entry = {"seconds": seconds, "status": status, "read_bytes": read_bytes}
            if mount:
                after = mount.counts()
                entry["fs_read_bytes"] = proc_read_bytes(mount.pid) - fs_before
                entry["fs_ops"] = {k: after[k] - before[k] for k in after if k != "read_bytes"}
            if c.floor:
                entry["ok"] = status == 0 and output.strip() == str(files).encode()
            else:
                if reference is None:
                    reference = (status, output)
                entry["ok"] = (status, output) == reference
            if not entry["ok"]:
                mismatches.append((label, c.name, output, status, reference))
            runs[c.name].append(entry)
    rows = []
    for c in commands:
        r = runs[c.name]
        times = [e["seconds"] for e in r]
        best, median = min(times), statistics.median(times)
        row = {"tree": label, "command": c.name, "argv": c.line(tree, listing), "files": files,
               "best_s": best, "median_s": median, "files_per_s": files / best,
               "read_kb_per_file": statistics.median(e["read_bytes"] for e in r) / files / 1024,
               "ok": all(e["ok"] for e in r), "cold": cold, "sweep": c.sweep, "runs": r}
        if mount:
            row["fs_read_kb_per_file"] = statistics.median(e["fs_read_bytes"] for e in r) / files / 1024
            row["fs_ops_per_file"] = statistics.median(sum(e["fs_ops"].values()) for e in r) / files
            row["fs_ops"] = r[0]["fs_ops"]
        rows.append(row)
        results.append(row)
        fs = (f" {row['fs_read_kb_per_file']:.1f} | {row['fs_ops_per_file']:.2f} |" if mount else " - | - |")
        print(f"| {label} | {c.name} | {best:.2f} | {median:.2f} | {files / best:,.0f} | "
              f"{row['read_kb_per_file']:.1f} |{fs} {'ok' if row['ok'] else 'DIFFERS'}"
              f"{'' if cold else ' (warm)'} |", flush=True)
    sweeps = {}
    for row in rows:
        if row["sweep"]:
            name, value = row["sweep"]
            if name not in sweeps or row["best_s"] < sweeps[name][1]:
                sweeps[name] = (value, row["best_s"])
    for name, (value, best) in sweeps.items():
        print(f"| {label} | **{name}: best at {value}** | {best:.2f} | | {files / best:,.0f} | | | | |", flush=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter, epilog=__doc__)
    ap.add_argument("--variant", action="append", type=parse_variant, default=[], metavar="NAME=COMMAND")
    ap.add_argument("--sweep", nargs=2, action="append", default=[], metavar=("NAME=COMMAND_WITH_{}", "V1,V2,..."))
    ap.add_argument("--floor", default="", metavar="T1,T2,...", help="read_floor with these thread counts")
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--trees", default="local,slow", help="local, slow, or both (the default)")
    ap.add_argument("--local-layout", type=parse_layout, default=(50, 20, 50))
    ap.add_argument("--slow-layout", type=parse_layout, default=(10, 10, 20))
    ap.add_argument("--sizes", default="100:100000", help="MIN:MAX file size, log-uniform")
    ap.add_argument("--delays", default="1000,10000", help="slowfs waits, microseconds")
    ap.add_argument("--types", choices=["both", "yes", "no"], default="both")
    ap.add_argument("--cache-dir", type=Path, default=DEFAULT_CACHE)
    ap.add_argument("--json", type=Path, help="also write every figure here")
    args = ap.parse_args()

    commands = [Command(name, argv) for name, argv in args.variant]
    for template, values in args.sweep:
        name, argv = parse_variant(template)
        if not any("{}" in a for a in argv):
            ap.error(f"sweep {template!r}: no {{}} to replace")
        for v in values.split(","):
            commands.append(Command(f"{name} {v}", [a.replace("{}", v) for a in argv], sweep=(name, v)))
    if not commands:
        ap.error("nothing to measure: give --variant or --sweep")
    for c in commands:
        if not shutil.which(c.argv[0]):
            ap.error(f"{c.name}: no command {c.argv[0]!r}")
    trees = set(args.trees.split(","))
    if not trees <= {"local", "slow"}:
        ap.error("--trees: local, slow or local,slow")
    sizes = tuple(int(x) for x in args.sizes.split(":"))

    # A stop by SIGTERM unwinds like Ctrl-C: the mounts come down.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    args.cache_dir.mkdir(parents=True, exist_ok=True)
    fstype = check_not_tmpfs(args.cache_dir)
    if args.floor:
        floor = args.cache_dir / "read_floor"
        subprocess.run(["cc", "-O2", "-pthread", "-o", floor, HERE / "read_floor.c"], check=True)
        for t in args.floor.split(","):
            commands.append(Command(f"floor -t {t}", [str(floor), "-t", t], floor=True))

    cold = drop_caches()
    load = os.getloadavg()
    print(f"machine: {os.cpu_count()} CPUs, Linux {os.uname().release}, load {load[0]:.2f} {load[1]:.2f} "
          f"{load[2]:.2f} at start; {args.rounds} rounds; trees in {args.cache_dir} ({fstype})")
    print("every run cold (page cache, dentries and inodes dropped before it)" if cold else
          "WARNING: writing /proc/sys/vm/drop_caches was refused: every figure below is WARM, not cold")
    print()
    print("| tree | command | best s | median s | files/s | read KB/file | slowfs read KB/file "
          "| slowfs ops/file | summary |")
    print("|---|---|---|---|---|---|---|---|---|")
    results, mismatches = [], []
    started = time.monotonic()
    try:
        if "local" in trees:
            name = "local-" + "x".join(map(str, args.local_layout)) + f"-{sizes[0]}-{sizes[1]}"
            top = args.cache_dir / name
            files, total, paths = generate(top, args.local_layout, sizes)
            listing = args.cache_dir / (name + ".list")
            listing.write_bytes(b"".join(bytes(top) + b"/" + p + b"\0" for p in paths))
            label = f"local {files:,} files, {total / 2**30:.2f} GiB"
            measure(label, top, files, listing, commands, args.rounds, cold, None, results, mismatches)
        if "slow" in trees:
            name = "slow-" + "x".join(map(str, args.slow_layout)) + f"-{sizes[0]}-{sizes[1]}"
            source = args.cache_dir / name
            files, total, paths = generate(source, args.slow_layout, sizes)
            point = args.cache_dir / "mnt"
            point.mkdir(exist_ok=True)
            listing = args.cache_dir / (name + ".list")
            listing.write_bytes(b"".join(bytes(point) + b"/" + p + b"\0" for p in paths))
            for delay in (int(d) for d in args.delays.split(",")):
                for types in {"both": (True, False), "yes": (True,), "no": (False,)}[args.types]:
                    label = f"slowfs {delay / 1000:g} ms, {'types' if types else 'no types'}, {files:,} files"
                    with slowfs.Mount(source, point, delay_us=delay, types=types) as mount:
                        measure(label, point, files, listing, commands, args.rounds, cold, mount, results,
                                mismatches)
    except slowfs.Unavailable as e:
        sys.exit(f"slowfs cannot run here: {e}")
    finally:
        load = os.getloadavg()
        print(f"\nload {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} at the end, "
              f"{(time.monotonic() - started) / 60:.1f} minutes")
        if args.json:
            args.json.write_text(json.dumps({"cold": cold, "results": results}, indent=1, default=str))
    for label, name, output, status, reference in mismatches:
        print(f"\n{label}, {name}: exit status {status}, output:\n{output.decode(errors='replace')}"
              f"first command's: exit status {reference[0] if reference else '?'}, output:\n"
              f"{reference[1].decode(errors='replace') if reference else ''}")
    sys.exit(1 if mismatches else 0)


if __name__ == "__main__":
    main()
