"""Portable build against the default (vector) build, in the same run.

Times one taxon.detect_mime call on 3 KB inputs in two builds of the module:
the default one (SSE2/AVX2 paths where the processor has them) and one built
with -Ccmake.define.TAXON_SIMD=OFF (portable code only, as on a processor or
compiler without them). Both builds must answer alike; the script stops if
they do not.

    python benchmarks/portable_vs_vector.py                 # builds both into build/bench-*
    python benchmarks/portable_vs_vector.py --vector PY --portable PY   # interpreters that have them

Each interpreter runs this file with --measure and prints its figures as
JSON; the two take turns for --rounds rounds (the machine may be shared),
and the best of all repeats of N calls is kept, in ns per call.
"""

import argparse
import json
import os
import random
import subprocess
import sys
import timeit
import zipfile
from io import BytesIO
from pathlib import Path

SIZE = 3072
ROOT = Path(__file__).resolve().parent.parent


def fit(text: bytes) -> bytes:
    """Repeat `text` and cut it to SIZE bytes at a line end."""
    out = text
    while len(out) < SIZE:
        out += text
    return out[: out.rfind(b"\n", 0, SIZE) + 1]


def small_zip() -> bytes:
    buf = BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("readme.txt", "hello " * 50)
        z.writestr("data/values.csv", "".join(f"{i},{i * i}\n" for i in range(40)))
    return buf.getvalue()


def inputs():
    rtf = (r"{\rtf1\ansi\deff0 {\fonttbl {\f0 Times;}}\f0\fs24 " + "Hello world, plain text. " * 200)[: SIZE // 2 - 1]
    doc = {"items": [{"id": i, "name": f"item {i}", "tags": ["a", "b"]} for i in range(60)]}
    return [
        ("ASCII text", fit(b"The quick brown fox jumps over the lazy dog near the river bank.\n")),
        ("UTF-8 text, non-ASCII", fit("Съешь же ещё этих мягких французских булок и выпей чаю. Ünïcödé ✓ 漢字\n".encode())),
        ("CSV", fit(b"id,name,price,amount\n" + b"".join(b"%d,item%d,%d.50,%d\n" % (i, i, i, i * 3) for i in range(200)))),
        ("JSON", json.dumps(doc, indent=1).encode()[:SIZE]),
        ("XML", fit(b'<?xml version="1.0" encoding="UTF-8"?>\n<root>\n' + b'  <item key="k">value</item>\n' * 120)),
        ("UTF-16LE RTF (last variant)", b"\xff\xfe" + rtf.encode("utf-16-le")),
        ("small ZIP", small_zip()),
        ("3072 random bytes", random.Random(7).randbytes(SIZE)),
    ]


def measure(number: int) -> None:
    import taxon

    out = {}
    for name, data in inputs():
        best = min(timeit.repeat(lambda: taxon.detect_mime(data), number=number, repeat=7))
        out[name] = {"answer": taxon.detect_mime(data), "ns": best / number * 1e9, "size": len(data)}
    print(json.dumps(out))


def build(kind: str) -> str:
    venv = ROOT / "build" / f"bench-{kind}"
    python = venv / "bin" / "python"
    if not python.exists():
        subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True)
    args = [str(python), "-m", "pip", "install", "-q", "--force-reinstall", "--no-deps", str(ROOT),
            f"-Cbuild-dir=build/bench-{kind}-tree"]
    if kind == "portable":
        args.append("-Ccmake.define.TAXON_SIMD=OFF")
    subprocess.run(args, check=True, cwd=ROOT)
    return str(python)


def run(python: str, number: int) -> dict:
    env = dict(os.environ, PYTHONPATH="")
    got = subprocess.run([python, __file__, "--measure", "--number", str(number)], check=True,
                         capture_output=True, text=True, cwd="/", env=env)
    return json.loads(got.stdout)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--vector", help="interpreter with the default build")
    parser.add_argument("--portable", help="interpreter with the TAXON_SIMD=OFF build")
    parser.add_argument("--number", type=int, default=20000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--measure", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.measure:
        measure(args.number)
        return
    vector = os.path.abspath(args.vector) if args.vector else build("vector")
    portable = os.path.abspath(args.portable) if args.portable else build("portable")
    v, p = run(vector, args.number), run(portable, args.number)
    for _ in range(args.rounds - 1):
        for best, more in ((v, run(vector, args.number)), (p, run(portable, args.number))):
            for name, figures in more.items():
                best[name]["ns"] = min(best[name]["ns"], figures["ns"])
    print(f"| input | bytes | answer | default build ns | TAXON_SIMD=OFF ns |")
    print("|---|---:|---|---:|---:|")
    for name in v:
        if v[name]["answer"] != p[name]["answer"]:
            sys.exit(f"{name}: the builds disagree: {v[name]['answer']} / {p[name]['answer']}")
        print(f"| {name} | {v[name]['size']} | {v[name]['answer']} | {v[name]['ns']:,.0f} | {p[name]['ns']:,.0f} |")


if __name__ == "__main__":
    main()
