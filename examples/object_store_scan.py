"""Classify every object under a URL by its first 3072 bytes, with fsspec.

    python examples/object_store_scan.py s3://bucket/prefix/
    python examples/object_store_scan.py --in-flight 8 s3://bucket/prefix/
    python examples/object_store_scan.py file:///srv/data

Prints `URL<TAB>MIME<TAB>EXT` per object and `taxon: URL: reason` on
standard error for one that cannot be read, as the `taxon` command does for
files, in the order the command walks a tree (names in byte order within
each directory, a directory's contents right after its name; each "/" of a
key separates directories); the exit status is 1 when any object failed.
Any fsspec file system works (s3fs, gcsfs, adlfs and so on, installed
separately); s3fs takes its endpoint and credentials from the usual AWS_*
variables (AWS_ENDPOINT_URL for an S3-compatible server) or fsspec's
configuration. Ctrl-C, or the end of a `| head`, ends the run at once.

Only the first 3072 bytes of each object travel, in one ranged GET per
object: `cat_ranges` asks for that range of every object of a batch, with at
most --in-flight requests (default 64) waiting for an answer at once on the
asynchronous file systems; the others read one object at a time. On S3 the
client's connection pool grows to match (aiobotocore keeps 10 connections by
default, and requests beyond them only queue in the client). Not
`fs.open(path).read(3072)`: an opened object store file fetches a whole
read-ahead block, 50 MiB by default on s3fs, to give back 3072 bytes of it.
An object the listing shows empty is not asked for: an object store answers
a range of an empty object with an error (416), not with no bytes.
"""

import argparse
import signal
import sys

import fsspec
import taxon

READ_LIMIT = 3072  # the detection looks no further
BATCH = 256  # objects asked for in one cat_ranges call, at least


def printable(text):
    """A name as the command prints a path: backslash, tab, newline,
    carriage return, other control characters and bytes that are not UTF-8
    (in local names) escaped, so that each object is one line."""
    out = []
    for ch in text:
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


def walk_order(path):
    """Sort key giving the command's walk order: "a/b" comes before "a-c",
    which a plain sort of whole keys puts first ("-" < "/")."""
    return [name.encode("utf-8", "surrogateescape") for name in path.split("/")]


def objects(fs, root):
    """(files, others): (path, listed size) of each regular file (object)
    under `root`, and the entries of a local file system that are neither
    files nor directories, each with the reason it is not read (reading a
    FIFO could wait forever). Links are followed to files, never into
    directories, as the command does."""
    files, others = [], []
    for path, info in sorted(fs.find(root, detail=True).items(), key=lambda item: walk_order(item[0])):
        kind = info.get("type")
        if kind == "directory":
            continue
        if kind == "file" and not info.get("islink"):
            files.append((path, info.get("size")))
        elif info.get("islink") and fs.isfile(path):
            files.append((path, None))  # the size listed is the link's
        elif not info.get("islink"):
            others.append((path, "not a regular file"))
        elif not fs.exists(path):
            others.append((path, "broken symbolic link"))
        elif not fs.isdir(path):
            others.append((path, "not a regular file"))  # a link to a FIFO, say
    return files, others


def heads(fs, paths, in_flight=64):
    """The first READ_LIMIT bytes of each path, or the exception raised
    while reading it, in the order of `paths`."""
    n = len(paths)
    window = {"batch_size": in_flight} if fs.async_impl else {}
    return fs.cat_ranges(paths, [0] * n, [READ_LIMIT] * n, on_error="return", **window)


def connect(url, in_flight):
    """The file system and root path of `url`, with room for `in_flight`
    connections on S3 (added to the fsspec configuration's own settings)."""
    options = {}
    if fsspec.core.split_protocol(url)[0] in ("s3", "s3a"):
        config = fsspec.config.conf.get("s3", {}).get("config_kwargs", {})
        options["config_kwargs"] = {**config, "max_pool_connections": in_flight}
    return fsspec.core.url_to_fs(url, **options)


def reason_of(error):
    return getattr(error, "strerror", None) or str(error) or type(error).__name__


def scan(url, out=sys.stdout, err=sys.stderr, in_flight=64):
    """Classifies every object under `url`; returns True when every object
    was read."""
    fs, root = connect(url, in_flight)
    try:
        files, others = objects(fs, root)
    except OSError as e:  # no such bucket, listing refused
        err.write(f"taxon: {printable(url)}: {reason_of(e)}\n")
        return False
    ok = not others
    for path, reason in others:
        err.write(f"taxon: {printable(fs.unstrip_protocol(path))}: {reason}\n")
    step = max(BATCH, in_flight)  # a batch's last answers leave the window part empty
    # An object store answers any range of an empty object with an error
    # (416): it is not asked for. A local file listed as empty may still have
    # content (under /proc): it is read, as the command reads it.
    local = "file" in fs.protocol
    for i in range(0, len(files), step):
        batch = files[i:i + step]
        wanted = [path for path, size in batch if size != 0 or local]
        got = dict(zip(wanted, heads(fs, wanted, in_flight)))
        for path, _ in batch:
            data = got.get(path, b"")
            name = printable(fs.unstrip_protocol(path))
            if isinstance(data, BaseException):
                out.flush()
                err.write(f"taxon: {name}: {reason_of(data)}\n")
                ok = False
            else:
                out.write(f"{name}\t{taxon.detect_mime(data)}\t{taxon.detect_type(data)}\n")
    out.flush()
    return ok


def main(argv=None):
    parser = argparse.ArgumentParser(description="Classify every object under an fsspec URL by its first 3072 bytes.")
    parser.add_argument("url")
    parser.add_argument("--in-flight", type=int, default=64, metavar="N",
                        help="ranged reads waiting for an answer at once (default 64)")
    args = parser.parse_args(argv)
    if args.in_flight < 1:
        parser.error("--in-flight must be at least 1")
    # Ctrl-C, or a reader that goes away (`| head`), ends the run at once, as
    # it ends the command: no traceback, no wait for the requests in flight.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    if hasattr(signal, "SIGPIPE"):  # not on Windows
        signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    return 0 if scan(args.url, in_flight=args.in_flight) else 1


if __name__ == "__main__":
    sys.exit(main())
