"""Classify every regular file under a directory with PySpark.

    python examples/spark_scan.py DIR

Prints `PATH<TAB>MIME<TAB>EXT` per file, as `taxon -r DIR` does (in any
order), and `taxon: PATH: reason` on standard error for a file that cannot be
read; the exit status is 1 when any file failed, as with the command.

Runs on `local[2]`, bound to 127.0.0.1; set SPARK_MASTER to use a cluster
(its executors need taxon installed and must see DIR at the same path).

The driver walks the tree into an RDD of paths; `mapPartitions` reads at
most the first 3072 bytes of each file. Not the `binaryFile` source: it reads
whole files into memory, skips names that begin with `_` or `.`, takes paths
as glob patterns and follows symbolic-link loops. Registrations are applied
at the top of every partition, from plain data: Python workers are reused
across tasks and jobs, so each partition first clears whatever an earlier one
left, then registers its own.
"""

import os
import stat
import sys
import threading

import taxon
from pyspark.sql import SparkSession

READ_LIMIT = 3072  # the detection looks no further
CHUNK = 1000  # paths per partition, at most (unless fewer partitions than cores)
JOB_TIMEOUT = 3600  # seconds for the whole job: a hang fails instead of waiting

# Custom types as (mime, extension, keywords of taxon.register). Plain data
# only, so that the same list can be sent to any worker.
REGISTRATIONS = [
    ("application/x-acme", ".acme", {"magic": b"ACME\x00\x01", "offset": 0}),
]


def apply_registrations(registrations=REGISTRATIONS):
    """Makes this process's registrations exactly `registrations`; safe to
    run again (a Python worker reused by another task or job)."""
    taxon.clear_registrations()
    for mime, extension, how in registrations:
        taxon.register(mime, extension, **how)


def printable(path):
    """A path (bytes) as the command prints it: backslash, tab, newline,
    carriage return, other control bytes and bytes that are not UTF-8
    escaped, so that every file is one line."""
    out = []
    for ch in path.decode("utf-8", "surrogateescape"):
        c = ord(ch)
        if 0xDC80 <= c <= 0xDCFF:  # a byte that is not UTF-8
            out.append(f"\\x{c - 0xDC00:02x}")
        elif ch in "\\\t\n\r":
            out.append({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"}[ch])
        elif c < 0x20 or c == 0x7F:
            out.append(f"\\x{c:02x}")
        else:
            out.append(ch)
    return "".join(out)


def kind_of(mode):
    for test, kind in ((stat.S_ISFIFO, "a FIFO"), (stat.S_ISSOCK, "a socket"),
                       (stat.S_ISCHR, "a character device"), (stat.S_ISBLK, "a block device")):
        if test(mode):
            return f"not a regular file ({kind})"
    if stat.S_ISDIR(mode):
        return "Is a directory"
    return "not a regular file"


def head(path):
    """The first READ_LIMIT bytes of the regular file at `path`; raises
    ValueError with the reason when it is anything else."""
    try:
        st = os.stat(path)
    except FileNotFoundError:
        if os.path.islink(path):
            raise ValueError("broken symbolic link") from None
        raise
    if not stat.S_ISREG(st.st_mode):
        raise ValueError(kind_of(st.st_mode))  # never opened: a FIFO would wait
    # O_NONBLOCK: a FIFO swapped in since the stat must not stall the worker.
    fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY | os.O_CLOEXEC)
    try:
        st = os.fstat(fd)
        if not stat.S_ISREG(st.st_mode):
            raise ValueError(kind_of(st.st_mode))
        parts, got = [], 0
        while got < READ_LIMIT:
            part = os.read(fd, READ_LIMIT - got)
            if not part:
                break
            parts.append(part)
            got += len(part)
        return b"".join(parts)
    finally:
        os.close(fd)


def sniff_chunk(paths):
    """(lines, errors) for a list of paths, in the command's formats."""
    lines, errors = [], []
    for path in paths:
        try:
            data = head(path)
        except OSError as e:
            errors.append(f"taxon: {printable(path)}: {e.strerror or e}")
            continue
        except ValueError as e:
            errors.append(f"taxon: {printable(path)}: {e}")
            continue
        lines.append(f"{printable(path)}\t{taxon.detect_mime(data)}\t{taxon.detect_type(data)}")
    return lines, errors


def walk(top, errors):
    """Every path under `top` (bytes) that is not a directory, as the
    command's walk visits them: links are followed to files, never into
    directories. Directories that cannot be listed go to `errors`; a `top`
    that is not a directory is the one path."""
    if not os.path.isdir(top):
        yield top
        return
    stack = [top]
    while stack:
        directory = stack.pop()
        try:
            with os.scandir(directory) as entries:
                found = list(entries)
        except OSError as e:
            errors.append(f"taxon: {printable(directory)}: {e.strerror}")
            continue
        for entry in found:
            try:
                if entry.is_dir(follow_symlinks=False):
                    stack.append(entry.path)
                    continue
                if entry.is_symlink() and entry.is_dir():
                    continue
            except OSError:
                pass  # gone: the worker reports it
            yield entry.path


def sniff_partition(registrations):
    """The function each partition runs: applies `registrations`, then
    yields (is_error, line) for each of its paths."""

    def run(paths):
        apply_registrations(registrations)
        lines, errors = sniff_chunk(list(paths))
        for line in lines:
            yield False, line
        for line in errors:
            yield True, line

    return run


def scan(spark, top, registrations=REGISTRATIONS, out=sys.stdout.buffer, err=sys.stderr.buffer):
    """Classifies every file under `top` (bytes); returns True when every
    file was classified."""
    errors = []
    paths = list(walk(top, errors))
    ok = not errors
    if paths:
        sc = spark.sparkContext
        slices = max(sc.defaultParallelism, -(-len(paths) // CHUNK))
        rdd = sc.parallelize(paths, slices).mapPartitions(sniff_partition(registrations))
        # collect, not toLocalIterator: that one runs the partitions one
        # after another. The driver holds every path already; the lines
        # are of the same order.
        watchdog = threading.Timer(JOB_TIMEOUT, sc.cancelAllJobs)
        watchdog.start()
        try:
            rows = rdd.collect()
        finally:
            watchdog.cancel()
        good = [line for is_error, line in rows if not is_error]
        bad = [line for is_error, line in rows if is_error]
        if good:
            out.write("\n".join(good).encode() + b"\n")
        if bad:
            out.flush()
            err.write("\n".join(bad).encode() + b"\n")
            ok = False
    if errors:
        err.write("\n".join(errors).encode() + b"\n")
    out.flush()
    err.flush()
    return ok


def session():
    """A Spark session that listens on the loopback interface only."""
    # The workers must run this interpreter (which has taxon), not whatever
    # `python3` comes first on PATH.
    os.environ.setdefault("PYSPARK_PYTHON", sys.executable)
    spark = (SparkSession.builder
             .master(os.environ.get("SPARK_MASTER", "local[2]"))
             .appName("taxon-scan")
             .config("spark.driver.host", "127.0.0.1")
             .config("spark.driver.bindAddress", "127.0.0.1")
             .config("spark.ui.enabled", "false")
             .config("spark.ui.showConsoleProgress", "false")
             .getOrCreate())
    spark.sparkContext.setLogLevel("ERROR")
    return spark


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(f"usage: {argv[0]} DIR\n")
        return 2
    spark = session()
    try:
        return 0 if scan(spark, os.fsencode(argv[1])) else 1
    finally:
        spark.stop()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
