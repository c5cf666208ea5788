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
import sys
import zlib
from pathlib import Path

import taxon

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
from builders import png, png_chunk, unclaimed  # noqa: E402


def png_image():
    rows = b"".join(b"\0" + bytes(range(48)) for _ in range(16))
    return png(png_chunk(b"IDAT", zlib.compress(rows)), width=16, height=16)


def jpeg():
    app0 = b"\xff\xe0" + struct.pack(">H", 16) + b"JFIF\0\x01\x01\0\0\x01\0\x01\0\0"
    return b"\xff\xd8" + app0 + bytes(range(256)) * 8 + b"\xff\xd9"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--number", type=int, default=200_000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    samples = [
        ("xpm (first)", b"/* XPM */\nstatic char *x[] = {};\n"),
        ("png", png_image()),
        ("jpeg", jpeg()),
        ("gzip", gzip.compress(b"hello, world\n" * 200)),
        ("random 3072", unclaimed(3072, random.Random(3072))),
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
