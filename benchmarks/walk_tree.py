"""Files per second of the `taxon` command over whole trees, against the
floor (open, read 3072 bytes, close: benchmarks/read_floor.c) and against
`file --mime-type` through xargs.

    python benchmarks/walk_tree.py [--taxon PATH] [--against PATH] [--rounds N] [--skip-file] [TREE...]

The floor is also run on two processors, as two processes over halves of
the list and as two threads of one process: what the kernel allows a
command of several threads. TREE defaults to a generated tree (200,000 small files in 2,000
directories, made once under /tmp) and /usr. Every measurement is warm: each
command runs once unmeasured, then --rounds times, the rounds interleaving
the commands (a change in the machine's load falls on all of them alike);
the table shows the median and the best with the spread (min-max) that the
machine's other load caused. --against adds another build of the command
(an earlier version, say) at its default and at -j 1, in the same rounds. A cold run
(after dropping the page cache) is attempted once per tree when allowed.
"""

import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
GENERATED = Path(tempfile.gettempdir()) / "taxon-walk-bench"


def generate(top, files=200_000, dirs=2_000):
    marker = top / ".complete"
    if marker.exists():
        return
    shutil.rmtree(top, ignore_errors=True)
    rng = random.Random(7)
    heads = [b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR", b"%PDF-1.7\n", b"PK\x03\x04", b"GIF89a", b"\x1f\x8b\x08\0",
             b"<!DOCTYPE html><html>", b'{"key": [1, 2, 3]}', b"#!/bin/sh\necho hi\n", b"plain text line\n",
             b"<?xml version='1.0'?><root/>"]
    per_dir = files // dirs
    for d in range(dirs):
        sub = top / f"{d // 100:02}" / f"{d:04}"
        sub.mkdir(parents=True)
        for i in range(per_dir):
            head = rng.choice(heads)
            (sub / f"f{i:03}").write_bytes(head + bytes(rng.randrange(0, 4000)))
    marker.touch()


def file_list(top, out):
    with open(out, "wb") as f:
        subprocess.run(["find", str(top), "-type", "f", "-print0"], stdout=f, check=True)
    return out.read_bytes().count(b"\0")


def timed(cmd, capture=False):
    # Output goes to /dev/null when timed: reading it here would cost this
    # process's time on the same processors.
    out = subprocess.PIPE if capture else subprocess.DEVNULL
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    r = subprocess.run(cmd, stdout=out, stderr=out)
    elapsed = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    r.cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    return elapsed, r


def measure(rows, rounds):
    """For each (label, command, files) row: files per second (median, best,
    min, max) and processor seconds (median), the rounds interleaving the
    rows. On a machine shared with other work the wall clock is noisy, the
    processor time much less so."""
    for _, cmd, _ in rows:
        timed(cmd)  # warms the cache
    runs = {label: [] for label, _, _ in rows}
    for _ in range(rounds):
        for label, cmd, _ in rows:
            runs[label].append(timed(cmd))
    out = {}
    for label, _, files in rows:
        rates = [files / seconds for seconds, _ in runs[label]]
        out[label] = (statistics.median(rates), max(rates), min(rates), max(rates),
                      statistics.median(r.cpu for _, r in runs[label]))
    return out


def drop_caches():
    try:
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--taxon", default=shutil.which("taxon"))
    ap.add_argument("--against", help="another build of the command, measured in the same rounds")
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--skip-file", action="store_true", help="leave out `file`, the slowest by far")
    ap.add_argument("trees", nargs="*")
    args = ap.parse_args()
    if not args.taxon:
        sys.exit("no taxon command: pass --taxon")
    trees = [Path(t) for t in args.trees] or [GENERATED, Path("/usr")]
    work = Path(tempfile.mkdtemp())
    floor = work / "read_floor"
    subprocess.run(["cc", "-O2", "-pthread", "-o", floor, HERE / "read_floor.c"], check=True)
    load = os.getloadavg()[0]
    print(f"machine: {os.uname().nodename}, {os.cpu_count()} CPUs, load {load:.1f} at start, "
          f"{args.rounds} rounds, warm cache")
    print("| tree | files | command | files/s (median) | best | min-max | CPU s (user+sys) |")
    print("|---|---|---|---|---|---|---|")
    cold = []
    for tree in trees:
        if tree == GENERATED:
            generate(tree)
        listing = work / "list"
        n = file_list(tree, listing)
        # What taxon names: its lines on stdout and stderr.
        _, r = timed([args.taxon, "-r", "--mime", str(tree)], capture=True)
        named = r.stdout.count(b"\n") + r.stderr.count(b"\n")
        # The floor on two processors: two processes over halves of the list,
        # and two threads of one process (which share a descriptor table).
        paths = listing.read_bytes().split(b"\0")[:-1]
        halves = [work / "half1", work / "half2"]
        halves[0].write_bytes(b"".join(p + b"\0" for p in paths[: n // 2]))
        halves[1].write_bytes(b"".join(p + b"\0" for p in paths[n // 2:]))
        rows = [("floor (open, read 3072, close)", [floor, "-0", listing], n),
                ("floor, 2 processes", ["sh", "-c", f"'{floor}' -0 '{halves[0]}' & '{floor}' -0 '{halves[1]}' & wait"], n),
                ("floor, 2 threads", [floor, "-0", "-t", "2", listing], n)]
        for jobs in ["1", "2", None]:
            label = f"taxon -j {jobs}" if jobs else "taxon (default -j)"
            rows.append((label, [args.taxon, "-r", "--mime", *(["-j", jobs] if jobs else []), str(tree)], named))
        if args.against:
            for jobs in ["1", None]:
                label = f"against -j {jobs}" if jobs else "against (default -j)"
                rows.append((label, [args.against, "-r", "--mime", *(["-j", jobs] if jobs else []), str(tree)], named))
        if not args.skip_file and shutil.which("file"):
            rows.append(("xargs file --mime-type", ["sh", "-c", f"xargs -0 file --mime-type < '{listing}'"], n))
        measured = measure(rows, args.rounds)
        results = {}
        for label, _, count in rows:
            med, best, lo, hi, cpu = measured[label]
            results[label] = med
            print(f"| {tree} | {count} | {label} | {med:,.0f} | {best:,.0f} | {lo:,.0f}-{hi:,.0f} | {cpu:.2f} |",
                  flush=True)
        if args.against:
            new, old = measured["taxon (default -j)"], measured["against (default -j)"]
            print(f"\n{tree}: default -j, this build against the other: {new[0] / old[0]:.2f}x the files/s "
                  f"(median), {new[1] / old[1]:.2f}x (best)")
        base = results["taxon -j 1"]
        print(f"\n{tree}: -j 1 takes {results[rows[0][0]] / base:.2f}x the floor's time; "
              f"-j 2 is {results['taxon -j 2'] / base:.2f}x -j 1" +
              (f"; -j 1 is {base / results['xargs file --mime-type']:.0f}x file" if "xargs file --mime-type" in results else "") +
              "\n")
        if drop_caches():
            seconds, _ = timed([args.taxon, "-r", "--mime", str(tree)])
            cold.append(f"{tree}: cold cache, default -j: {named / seconds:,.0f} files/s")
        else:
            cold.append(f"{tree}: cold cache not measured (writing /proc/sys/vm/drop_caches was refused)")
    print("\n".join(cold))
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
