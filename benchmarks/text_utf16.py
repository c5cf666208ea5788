"""Time of one detection for UTF-16 texts that walk all eleven variants.

The worst case is a full 3072-byte view that reaches the last variant, RTF:
every variant before it needs the decoded text. The same document in UTF-8
is shown for comparison.

Usage: python benchmarks/text_utf16.py [--number N]
"""

import argparse
import timeit

import taxon

LIMIT = 3072


def rtf_document(chars):
    body = r"{\rtf1\ansi\deff0 {\fonttbl {\f0 Times;}}\f0\fs24 "
    text = body + "Hello world, plain text. " * 200
    return text[:chars]


def cases():
    rtf = rtf_document(LIMIT // 2 - 1)  # BOM + 1535 units = 3072 bytes
    cjk = ("\u6587\u5b57\u3068\u8a00\u8449 " * 400)[: LIMIT // 2 - 1]
    yield "RTF, UTF-16LE, 3072 bytes", b"\xff\xfe" + rtf.encode("utf-16-le"), "text/rtf; charset=utf-16"
    yield "RTF, UTF-16BE, 3072 bytes", b"\xfe\xff" + rtf.encode("utf-16-be"), "text/rtf; charset=utf-16"
    yield "CJK text, UTF-16LE, 3072 bytes (no variant)", b"\xff\xfe" + cjk.encode("utf-16-le"), "text/plain; charset=utf-16le"
    yield "RTF, UTF-8, 3072 bytes (reference)", rtf_document(LIMIT).encode(), None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--number", type=int, default=20000)
    args = parser.parse_args()
    for name, data, expected in cases():
        answer = taxon.detect_mime(data)
        if expected is not None and answer != expected:
            raise SystemExit(f"{name}: got {answer!r}, expected {expected!r}")
        best = min(timeit.repeat(lambda: taxon.detect_mime(data), number=args.number, repeat=5))
        print(f"{name:48} {best / args.number * 1e9:9.0f} ns/call  -> {answer}")


if __name__ == "__main__":
    main()
