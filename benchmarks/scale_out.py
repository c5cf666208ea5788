"""Files per second on one machine: the `taxon` command, `xargs -P`, the
README's process pool, the Dask example and the Spark example, over the same
generated tree (warm page cache; the best of --repeat runs each).

    python benchmarks/scale_out.py [--files 20000] [--repeat 3]

Dask and Spark are timed twice: the scan alone on a cluster that is already
up, and the whole run with the cluster's start and stop. An engine that
cannot be imported is reported as missing (Spark needs Java 17+ and PySpark:
put the directory tools/check-spark.sh installs it into on PYTHONPATH).
"""

import argparse
import importlib.util
import io
import json
import os
import platform
import shutil
import struct
import subprocess
import sys
import sysconfig
import tempfile
import time
import zlib
from concurrent.futures import ProcessPoolExecutor

import taxon

EXAMPLES = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))


def load(name):
    """An example module, importable by name in the workers too (they inherit
    PYTHONPATH), so that its functions travel by reference."""
    if EXAMPLES not in sys.path:
        sys.path.insert(0, EXAMPLES)
        os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [EXAMPLES, os.environ.get("PYTHONPATH")]))
    return importlib.import_module(name)


def contents():
    """A mix of heads: signatures, text of several kinds, binary noise."""
    png = b"\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + bytes(17)
    rng = bytes((i * 2654435761 >> 13) & 0xFF for i in range(4096))
    return [
        png,
        b"%PDF-1.7\n" + bytes(200),
        json.dumps({"k": list(range(200))}, indent=2).encode(),
        b"plain text line\n" * 300,
        b"<!DOCTYPE html><html><head><title>t</title></head><body>" + b"<p>x</p>" * 300,
        b"a,b,c\n1,2,3\n" * 200,
        zlib.compress(rng),
        rng,
        b"\x7fELF\x02\x01\x01" + bytes(9) + b"\x03\x00" + bytes(4000),
        b"",
    ]


def make_tree(top, n):
    kinds = contents()
    for i in range(n):
        d = os.path.join(top, f"d{i // 500:03d}")
        if i % 500 == 0:
            os.makedirs(d)
        with open(os.path.join(d, f"f{i:06d}"), "wb") as f:
            f.write(kinds[i % len(kinds)])


def cli():
    for c in (os.environ.get("TAXON_CLI"), os.path.join(sysconfig.get_path("scripts"), "taxon"),
              shutil.which("taxon")):
        if c and os.path.isfile(c):
            return c
    return None


def best(fn, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)


# The README's process-pool recipe, as printed there.
def sniff(path):
    import stat
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
    except OSError as e:
        return path, f"error: {e.strerror}"
    try:
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            return path, "error: not a regular file"
        return path, taxon.detect_mime(os.read(fd, 3072))
    except OSError as e:
        return path, f"error: {e.strerror}"
    finally:
        os.close(fd)


def regular_files(top):
    for root, _dirs, names in os.walk(top):
        for name in names:
            path = os.path.join(root, name)
            if os.path.isfile(path):
                yield path


def process_pool(top):
    out = io.StringIO()
    with ProcessPoolExecutor() as pool:
        for path, mime in pool.map(sniff, regular_files(top), chunksize=256):
            out.write(f"{path}\t{mime}\n")


def bench_dask(top, repeat, rows):
    try:
        from distributed import Client, LocalCluster
    except ImportError as e:
        rows.append(("Dask", None, f"missing: {e.name}"))
        return
    dask_scan = load("dask_scan")

    def whole():
        with LocalCluster(host="127.0.0.1", dashboard_address=None, threads_per_worker=1) as c, \
                Client(c) as client:
            client.register_plugin(dask_scan.Registrations())
            dask_scan.scan(client, os.fsencode(top), out=io.BytesIO(), err=io.BytesIO())

    with LocalCluster(host="127.0.0.1", dashboard_address=None, threads_per_worker=1) as c, \
            Client(c) as client:
        client.register_plugin(dask_scan.Registrations())
        workers = len(client.scheduler_info()["workers"])
        t = best(lambda: dask_scan.scan(client, os.fsencode(top), out=io.BytesIO(), err=io.BytesIO()), repeat)
    rows.append(("Dask, scan on a running local cluster", t, f"{workers} workers x 1 thread"))
    rows.append(("Dask, with cluster start and stop", best(whole, 1), ""))


def bench_spark(top, repeat, rows):
    try:
        import pyspark  # noqa: F401
    except ImportError:
        rows.append(("Spark mapPartitions", None, "missing: pyspark"))
        return
    spark_scan = load("spark_scan")

    def whole():
        spark = spark_scan.session()
        try:
            spark_scan.scan(spark, os.fsencode(top), out=io.BytesIO(), err=io.BytesIO())
        finally:
            spark.stop()

    spark = spark_scan.session()
    try:
        master = spark.sparkContext.master
        t = best(lambda: spark_scan.scan(spark, os.fsencode(top), out=io.BytesIO(), err=io.BytesIO()), repeat)
    finally:
        spark.stop()
    rows.append((f"Spark mapPartitions, scan on a running {master}", t, ""))
    rows.append(("Spark, with session start and stop", best(whole, 1), ""))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--files", type=int, default=20000)
    ap.add_argument("--repeat", type=int, default=3)
    args = ap.parse_args()
    top = tempfile.mkdtemp(prefix="taxon-scale-")
    try:
        make_tree(top, args.files)
        rows = []
        command = cli()
        if command:
            def run(cmd):
                subprocess.run(cmd, shell=True, check=False, stdout=subprocess.DEVNULL, timeout=600)
            run(f"{command} -r {top}")  # warm the page cache
            rows.append(("taxon -r DIR", best(lambda: run(f"{command} -r {top}"), args.repeat), "one process"))
            nproc = os.cpu_count()
            rows.append((f"find \\| xargs -P {nproc} -n 256 taxon",
                         best(lambda: run(f"find {top} -type f -print0 | xargs -0 -P {nproc} -n 256 {command}"),
                              args.repeat), ""))
        else:
            rows.append(("taxon command", None, "missing"))
        rows.append(("process pool (README recipe)", best(lambda: process_pool(top), args.repeat),
                     f"{os.cpu_count()} processes"))
        bench_dask(top, args.repeat, rows)
        bench_spark(top, args.repeat, rows)
    finally:
        shutil.rmtree(top)

    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
               platform.processor())
    print(f"{args.files} files, {os.cpu_count()} cores, {cpu}, Python {platform.python_version()}")
    print("| way | seconds | files/s | note |\n|---|---:|---:|---|")
    for name, t, note in rows:
        if t is None:
            print(f"| {name} | — | — | {note} |")
        else:
            print(f"| {name} | {t:.2f} | {args.files / t:,.0f} | {note} |")


if __name__ == "__main__":
    main()
