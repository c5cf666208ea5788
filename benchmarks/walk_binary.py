"""Cost of the walk for binary formats, next to the cost of a bare call.

PNG and JPEG are found early in the first level, gzip about halfway; the
random buffer is accepted by no first-level type, so every first-level
matcher runs on it. `len(b)` is timed in the same run as the floor of a
call from Python, and an XPM header, taken by the very first matcher, shows
what a call into the module costs before the first level is scanned.

    python benchmarks/walk_binary.py [--number N]
"""

import argparse
import gzip
import random
import struct
import timeit
import zlib

import taxon


def png():
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(range(48)) for _ in range(16))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def jpeg():
    app0 = b"\xff\xe0" + struct.pack(">H", 16) + b"JFIF\0\x01\x01\0\0\x01\0\x01\0\0"
    return b"\xff\xd8" + app0 + bytes(range(256)) * 8 + b"\xff\xd9"


def unclaimed(size=3072):
    """Random bytes that no first-level type accepts."""
    rng = random.Random(3072)
    while True:
        data = bytes(rng.getrandbits(8) for _ in range(size))
        if taxon.detect_mime(data) == "application/octet-stream":
            return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--number", type=int, default=200_000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    samples = [
        ("xpm (first)", b"/* XPM */\nstatic char *x[] = {};\n"),
        ("png", png()),
        ("jpeg", jpeg()),
        ("gzip", gzip.compress(b"hello, world\n" * 200)),
        ("random 3072", unclaimed()),
    ]

    def best(stmt, data):
        times = timeit.repeat(lambda: stmt(data), number=args.number, repeat=args.repeat)
        return min(times) / args.number * 1e9

    print(f"{'buffer':12} {'answer':28} {'bytes':>6} {'len(b) ns':>10} {'walk ns':>8} {'ratio':>6}")
    for name, data in samples:
        bare = best(len, data)
        walk = best(taxon.detect_mime, data)
        answer = taxon.detect_mime(data)
        print(f"{name:12} {answer:28} {len(data):6} {bare:10.1f} {walk:8.1f} {walk / bare:6.1f}")


if __name__ == "__main__":
    main()
