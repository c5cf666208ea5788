"""Cost of detecting UTF-8 text documents of about 3 KB.

Each input is timed through taxon.detect_mime next to len(b) in the same run,
so the figure can be read against the cost of a trivial Python call.

    PYTHONPATH=build/dev python benchmarks/text_utf8.py
"""

import json
import timeit

import taxon

SIZE = 3072


def fit(text: bytes) -> bytes:
    """Repeat or cut `text` to SIZE bytes, keeping whole lines."""
    out = text
    while len(out) < SIZE:
        out += text
    cut = out.rfind(b"\n", 0, SIZE)
    return out[: cut + 1]


def inputs():
    ascii_text = fit(b"The quick brown fox jumps over the lazy dog near the river bank.\n")
    ascii_text = (ascii_text + b"x" * SIZE)[:SIZE]
    unicode_text = fit("Съешь же ещё этих мягких французских булок и выпей чаю. Ünïcödé ✓ 漢字\n".encode())
    csv = fit(b"id,name,price,amount\n" + b"".join(b"%d,item%d,%d.50,%d\n" % (i, i, i, i * 3) for i in range(200)))
    doc = {"items": [{"id": i, "name": "item %d" % i, "tags": ["a", "b"]} for i in range(60)]}
    js = json.dumps(doc, indent=1).encode()[:SIZE]
    row = b"<tr><td>cell</td><td>value</td></tr>\n"
    html = fit(b"<!DOCTYPE html>\n<html><head><title>t</title></head><body><table>\n" + row * 100)
    xml = fit(b'<?xml version="1.0" encoding="UTF-8"?>\n<root>\n' + b"  <item key=\"k\">value</item>\n" * 120)
    return [
        ("ascii text (plain)", ascii_text),
        ("utf-8 text, non-ASCII", unicode_text),
        ("csv", csv),
        ("json", js),
        ("html", html),
        ("xml", xml),
    ]


def per_call(fn, data, number):
    best = min(timeit.repeat(lambda: fn(data), number=number, repeat=7))
    return best / number * 1e9


def main():
    number = 20000
    for name, data in inputs():
        answer = taxon.detect_mime(data)
        base = per_call(len, data, number)
        ns = per_call(taxon.detect_mime, data, number)
        print(f"{name:24} {len(data):5} B  {answer:28} {ns:8.1f} ns/call  len(b) {base:6.1f} ns  ratio {ns / base:6.1f}")


if __name__ == "__main__":
    main()
