"""Classify every regular file under a directory on a Dask cluster.

    python examples/dask_scan.py DIR

Prints `PATH<TAB>MIME<TAB>EXT` per file, as `taxon -r DIR` does (in any
order), and `taxon: PATH: reason` on standard error for a file that cannot be
read; the exit status is 1 when any file failed, as with the command.

By default a local cluster is started, bound to 127.0.0.1. Set DASK_SCHEDULER
(for example tcp://10.0.0.5:8786) to use a running cluster instead: its
workers need taxon installed and must see DIR at the same path.

The driver walks the tree and sends the paths in chunks; each task reads at
most the first 3072 bytes of each of its files. Custom registrations are
kept as plain data and applied in every worker by a worker plugin, which the
scheduler also runs on workers that join later: a registration made in this
process alone would never reach them.
"""

import os
import stat
import sys
from itertools import islice

import taxon
from distributed import Client, LocalCluster, WorkerPlugin, wait

READ_LIMIT = 3072  # the detection looks no further
CHUNK = 1000  # paths per task: one task per file would cost more than the reads
TASK_TIMEOUT = 300  # seconds without any chunk finishing: a hang fails

# Custom types as (mime, extension, keywords of taxon.register). Plain data
# only, so that the same list can be sent to any worker.
REGISTRATIONS = [
    ("application/x-acme", ".acme", {"magic": b"ACME\x00\x01", "offset": 0}),
]


def apply_registrations(registrations=REGISTRATIONS):
    """Makes this process's registrations exactly `registrations`; safe to
    run again (a plugin registered twice, a worker reused by another job)."""
    taxon.clear_registrations()
    for mime, extension, how in registrations:
        taxon.register(mime, extension, **how)


class Registrations(WorkerPlugin):
    """Applies the registrations in each worker process, in the workers
    present now and in those that join the cluster later."""

    name = "taxon-registrations"  # registering again replaces, never stacks

    def __init__(self, registrations=REGISTRATIONS):
        self.registrations = [(m, e, dict(h)) for m, e, h in registrations]

    def setup(self, worker):
        apply_registrations(self.registrations)


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


def chunks(items, size):
    it = iter(items)
    while chunk := list(islice(it, size)):
        yield chunk


def scan(client, top, out=sys.stdout.buffer, err=sys.stderr.buffer):
    """Classifies every file under `top` on the client's cluster; returns
    True when every file was classified."""
    walk_errors = []
    ok = True

    def emit(futures):
        nonlocal ok
        for future in futures:
            lines, errors = future.result()
            if lines:
                out.write("\n".join(lines).encode() + b"\n")
            if errors:
                out.flush()
                err.write("\n".join(errors).encode() + b"\n")
                ok = False

    window = 4 * max(1, len(client.scheduler_info()["workers"]))
    pending = set()
    for chunk in chunks(walk(top, walk_errors), CHUNK):
        pending.add(client.submit(sniff_chunk, chunk, pure=False))
        if len(pending) >= window:
            done, pending = wait(pending, timeout=TASK_TIMEOUT, return_when="FIRST_COMPLETED")
            emit(done)
    emit(wait(pending, timeout=TASK_TIMEOUT).done)
    if walk_errors:
        err.write("\n".join(walk_errors).encode() + b"\n")
        ok = False
    out.flush()
    err.flush()
    return ok


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(f"usage: {argv[0]} DIR\n")
        return 2
    top = os.fsencode(argv[1])
    address = os.environ.get("DASK_SCHEDULER")
    if address:
        cluster = None
        client = Client(address, timeout=60)
    else:
        # One single-threaded worker process per core: detection holds the
        # interpreter lock. No dashboard, nothing listening beyond loopback.
        cluster = LocalCluster(host="127.0.0.1", dashboard_address=None,
                               threads_per_worker=1, processes=True)
        client = Client(cluster, timeout=60)
    try:
        client.register_plugin(Registrations(REGISTRATIONS))
        return 0 if scan(client, top) else 1
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
