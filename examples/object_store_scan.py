"""Classify every object under a URL by its first 3072 bytes, with fsspec.

    python examples/object_store_scan.py s3://bucket/prefix/
    python examples/object_store_scan.py file:///srv/data

Prints `URL<TAB>MIME<TAB>EXT` per object and `taxon: URL: reason` on
standard error for one that cannot be read, as the `taxon` command does for
files; the exit status is 1 when any object failed. Any fsspec file system
works (s3fs, gcsfs, adlfs and so on, installed separately).

Only the first 3072 bytes of each object travel: `cat_ranges` asks for that
range of every object of a batch at once (concurrently on the asynchronous
file systems). Not `fs.open(path).read(3072)`: an opened object store file
fetches a whole read-ahead block, 50 MiB by default on s3fs, to give back
3072 bytes of it.
"""

import sys

import fsspec
import taxon

READ_LIMIT = 3072  # the detection looks no further
BATCH = 256  # objects asked for in one cat_ranges call


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


def objects(fs, root):
    """(files, others): the regular files (objects) under `root`, and the
    entries of a local file system that are neither files nor directories,
    each with the reason it is not read (reading a FIFO could wait forever).
    Links are followed to files, never into directories, as the command does."""
    files, others = [], []
    for path, info in sorted(fs.find(root, detail=True).items()):
        kind = info.get("type")
        if kind == "directory":
            continue
        if kind == "file" or (info.get("islink") and fs.isfile(path)):
            files.append(path)
        elif not info.get("islink"):
            others.append((path, "not a regular file"))
        elif not fs.exists(path):
            others.append((path, "broken symbolic link"))
        elif not fs.isdir(path):
            others.append((path, "not a regular file"))  # a link to a FIFO, say
    return files, others


def heads(fs, paths):
    """The first READ_LIMIT bytes of each path, or the exception raised
    while reading it, in the order of `paths`."""
    n = len(paths)
    return fs.cat_ranges(paths, [0] * n, [READ_LIMIT] * n, on_error="return")


def scan(url, out=sys.stdout, err=sys.stderr):
    """Classifies every object under `url`; returns True when every object
    was read."""
    fs, root = fsspec.core.url_to_fs(url)
    paths, others = objects(fs, root)
    ok = not others
    for path, reason in others:
        err.write(f"taxon: {printable(fs.unstrip_protocol(path))}: {reason}\n")
    for i in range(0, len(paths), BATCH):
        batch = paths[i:i + BATCH]
        for path, data in zip(batch, heads(fs, batch)):
            name = printable(fs.unstrip_protocol(path))
            if isinstance(data, BaseException):
                reason = getattr(data, "strerror", None) or str(data) or type(data).__name__
                out.flush()
                err.write(f"taxon: {name}: {reason}\n")
                ok = False
            else:
                out.write(f"{name}\t{taxon.detect_mime(data)}\t{taxon.detect_type(data)}\n")
    out.flush()
    return ok


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} URL")
    sys.exit(0 if scan(sys.argv[1]) else 1)
