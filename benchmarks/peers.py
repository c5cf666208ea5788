"""taxon next to libmagic, filetype.py and puremagic, with len(b) as the unit.

Usage:
    pip install -r benchmarks/requirements.txt
    python benchmarks/peers.py [--max-files N] [--max-size BYTES] [--rounds R] [--seed S]

Inputs: one generated sample per record of the type tree (tests/samples.py),
plus real files found on this machine (the CPython installation's test data,
fonts, documentation, compressed man pages, shared libraries and whatever
else is readable under /usr/share and /usr/lib), all read whole into memory
before any timing starts.

Every function is timed over the same buffers in the same run, interleaved
buffer by buffer. Each measurement is a batch of calls around two
time.perf_counter_ns readings (per-call time = batch time / batch size, with
batches long enough that the timer's own cost does not matter); medians and
percentiles are taken over the batches. A peer that cannot be imported is
reported as missing.
"""
import argparse
import gzip
import hashlib
import itertools
import os
import platform
import random
import statistics
import sys
import sysconfig
import time
import zipfile
from pathlib import Path

import taxon

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests"))
from builders import real_zip, unclaimed, utf16  # noqa: E402
from samples import EXPECTED, SAMPLES  # noqa: E402

LIMIT = 3072
BATCH_NS = 20_000  # a batch lasts at least this long (when one call is shorter)

# Family of every record, for grouping the inputs by taxon's own answer.
FAMILIES = {
    "images": "BMP BPG GIF HDR ICO ICNS JPG JXR JXS PNG APNG PAM PBM PGM PPM PSD XCF XPM GBR PAT "
              "WEBP JXL JP2 JPM JPX DJVU TIFF AVIF_FORMAT HEIC HEIC_SEQ HEIF HEIF_SEQ",
    "audio/video": "AU AMR APE ASF AVI FLV QCP VOC WAV AIFF FLAC MIDI RMVB MUSEPACK MP4_PRECISE THREE_GPP "
                   "THREE_GPP2 AMP4 M4V MJ2 DVB QUICKTIME MQV WEBM MKV OGG OGG_AUDIO OGG_VIDEO MP3 MPEG "
                   "AAC AAF M3U",
    "archives": "ZIP SEVEN_Z BZ2 CAB GZIP LZIP RAR RPM XAR XZ ZSTD TAR CPIO AR DEB CRX INSTALL_SHIELD_CAB",
    "documents": "PDF FDF PS DOCX XLSX PPTX VSDX EPUB ODT OTT ODS OTS ODP OTP ODG OTG ODF ODC SXC KMZ OLE "
                 "MSG XLS PUB PPT DOC ONENOTE CHM LIT LOTUS123 P7S DWG DBF SQLITE3 MDB ACCDB PARQUET HDF "
                 "FITS DCM MRC GLB SHX SHP TZIF TORRENT CBOR_FORMAT LNK",
    "executables": "EXE ELF ELF_OBJ ELF_EXE ELF_LIB ELF_DUMP MACHO CLASS WASM SWF NES JAR APK MSI",
    "fonts": "TTF OTF TTC WOFF WOFF2 EOT",
    "text": "UTF8 UTF8_BOM HTML XML SVG RSS ATOM X3D KML XLIFF COLLADA GML GPX TCX AMF THREEMF XFDF OWL2 "
            "XHTML PHP JAVASCRIPT PYTHON PERL RUBY LUA SHELL TCL JSON GEOJSON NDJSON HAR GLTF CSV_FORMAT "
            "TSV RTF SRT VTT VCARD ICALENDAR WARC",
    "UTF-16 text": " ".join(["UTF16_BE", "UTF16_LE"] + [f"{k}_UTF16_{o}" for k in (
        "HTML", "XML", "SVG", "JSON", "CSV", "TSV", "SRT", "VTT", "VCARD", "ICALENDAR", "RTF") for o in ("BE", "LE")]),
    "no match": "ROOT",
}
FAMILY_ORDER = list(FAMILIES)


def family_of_answer():
    """(MIME, extension) -> family; records that share an answer share a family."""
    table = {}
    for family, names in FAMILIES.items():
        for name in names.split():
            pair = EXPECTED[name]
            if table.setdefault(pair, family) != family:
                raise SystemExit(f"{name}: answer {pair} is already in family {table[pair]}")
    missing = set(EXPECTED) - {n for names in FAMILIES.values() for n in names.split()}
    if missing:
        raise SystemExit(f"records without a family: {sorted(missing)}")
    return table


# Peers ----------------------------------------------------------------------

def load_peers():
    """[(name, callable or None, note)]; a peer that cannot be loaded keeps its reason."""
    peers = []
    try:
        import magic
        detector = magic.Magic(mime=True)
        peers.append(("libmagic", detector.from_buffer, f"python-magic, {magic_version(magic)}"))
    except Exception as error:  # ImportError, or libmagic itself missing
        peers.append(("libmagic", None, f"missing: {error!r}"))
    try:
        import filetype
        peers.append(("filetype", filetype.guess, f"filetype.py {getattr(filetype, '__version__', '?')}"))
    except Exception as error:
        peers.append(("filetype", None, f"missing: {error!r}"))
    try:
        import puremagic

        def puremagic_from_string(data, _from_string=puremagic.from_string):
            try:
                return _from_string(data)
            except Exception:  # no match, or input too short
                return None
        peers.append(("puremagic", puremagic_from_string, f"puremagic {getattr(puremagic, '__version__', '?')}"))
    except Exception as error:
        peers.append(("puremagic", None, f"missing: {error!r}"))
    return peers


def magic_version(magic):
    try:
        return f"libmagic {magic.version()}"
    except Exception:
        return "libmagic"


# Inputs ---------------------------------------------------------------------

def real_file_sources():
    """[(source, root, keep)]: each source is the files under `root` that `keep` accepts."""
    stdlib = Path(sysconfig.get_path("stdlib"))
    share, lib = Path("/usr/share"), Path("/usr/lib")

    def under(*prefixes):
        return lambda p: any(str(p).startswith(str(x) + "/") for x in prefixes)
    elsewhere = under(share / "fonts", share / "doc", share / "man")
    return [
        ("CPython test data", stdlib / "test", None),
        ("fonts", share, under(share / "fonts")),
        ("documentation", share, under(share / "doc")),
        ("man pages", share, under(share / "man")),
        ("shared libraries", lib, lambda p: ".so" in p.name),
        ("other /usr/share", share, lambda p: not elsewhere(p)),
        ("other /usr/lib", lib, lambda p: ".so" not in p.name),
    ]


_WALKED = {}


def files_under(root):
    """Every regular file under `root` (no symbolic links), in a stable order; walked once."""
    if root not in _WALKED:
        found = []
        for directory, subdirs, files in os.walk(root):
            subdirs.sort()
            for name in sorted(files):
                path = Path(directory, name)
                if not path.is_symlink() and path.is_file():
                    found.append(path)
        _WALKED[root] = found
    return _WALKED[root]


def real_files(max_files, max_size, seed):
    """[(source, path, bytes)]: a seeded choice from each source, whole files up to max_size."""
    sources = real_file_sources()
    quota = max(1, max_files // len(sources))
    rng = random.Random(seed)
    seen_paths, seen_content, chosen = set(), set(), []
    for source, root, keep in sources:
        candidates = [p for p in files_under(root) if p not in seen_paths and (keep is None or keep(p))]
        rng.shuffle(candidates)
        taken = 0
        for path in candidates:
            if taken >= quota:
                break
            try:
                if path.stat().st_size > max_size:
                    continue
                data = path.read_bytes()
            except OSError:
                continue
            digest = hashlib.blake2b(data, digest_size=16).digest()
            seen_paths.add(path)
            if digest in seen_content:
                continue
            seen_content.add(digest)
            chosen.append((source, str(path), data))
            taken += 1
    return chosen


# Fixed cases for the README's performance figures ----------------------------

WORDS = ("alpha bravo charlie delta echo foxtrot golf hotel india juliett kilo lima mike "
         "november oscar papa quebec romeo sierra tango uniform victor whiskey xray yankee zulu "
         "caf\u00e9 na\u00efve \u00fcber \u65e5\u672c").split()


def text_of(size, rng, line_words=9):
    """UTF-8 prose without commas, tabs or script keywords, exactly `size` bytes."""
    out, length = [], 0
    while length < size:
        line = " ".join(rng.choice(WORDS) for _ in range(line_words)) + ".\n"
        out.append(line)
        length += len(line.encode())
    data = "".join(out).encode()[:size]
    while True:  # end on a character boundary, padded with ASCII
        try:
            data.decode()
            break
        except UnicodeDecodeError:
            data = data[:-1]
    return data + b"." * (size - len(data))


def csv_of(size, rng):
    rows = ["id,name,city,amount"] + [f"{i},{rng.choice(WORDS)},{rng.choice(WORDS)},{rng.randint(1, 999)}"
                                      for i in range(1, 400)]
    return "\n".join(rows).encode()[:size]


def json_of(size, rng):
    items = ",\n".join(f'  {{"id": {i}, "name": "{rng.choice(WORDS)}", "tags": ["{rng.choice(WORDS)}"]}}'
                       for i in range(200))
    return ("[\n" + items + "\n]\n").encode()[:size]


def html_of(size, rng):
    body = "".join(f"<p>{text_of(60, rng).decode().strip()}</p>\n" for _ in range(80))
    page = f"<!DOCTYPE html>\n<html><head><title>t</title></head><body>\n{body}</body></html>\n"
    return page.encode()[:size]


def xml_of(size, rng):
    items = "".join(f"  <item id=\"{i}\">{rng.choice(WORDS)}</item>\n" for i in range(300))
    return f'<?xml version="1.0" encoding="UTF-8"?>\n<catalog>\n{items}</catalog>\n'.encode()[:size]


def rtf_utf16(big_endian):
    text = r"{\rtf1\ansi\deff0 {\fonttbl {\f0 Times;}}\f0\fs24 " + "Hello world, plain text. " * 200
    units = text[: LIMIT // 2 - 1]  # the mark and 1535 units fill the window
    return utf16(units, "be" if big_endian else "le")


def small_zip():
    """A real archive of one text file, as zipfile writes it."""
    return real_zip(("notes/readme.txt", b"hello, world\n" * 40), compression=zipfile.ZIP_DEFLATED)


def figure_cases(seed):
    """[(label, bytes, bound, bound_text)]: the cases with a stated goal; bound is a
    function of (taxon ns, len ns) that says whether the goal holds."""
    rng = random.Random(seed)
    cases = []
    signatures = [(name, SAMPLES[name]) for name in ("PNG", "JPG", "GIF", "PDF")]
    signatures += [("ZIP", small_zip()), ("GZIP", gzip.compress(b"hello, world\n" * 40, mtime=0)),
                   ("ELF", SAMPLES["ELF_LIB"])]
    for name, data in signatures:
        cases.append((f"signature {name}", data, lambda t, u: t <= 3 * u, "<= 3 x len(b)"))
    cases.append(("3072 random bytes", unclaimed(LIMIT, rng), lambda t, u: t <= 10 * u, "<= 10 x len(b)"))
    plain = text_of(LIMIT, rng)
    cases.append(("3072 B UTF-8 plain text", plain, lambda t, u: t <= 1000, "<= 1000 ns"))
    for label, make in (("CSV", csv_of), ("JSON", json_of), ("HTML", html_of), ("XML", xml_of)):
        cases.append((f"3072 B {label}", make(LIMIT, rng), lambda t, u: t <= 1000, "<= 1000 ns"))
    for order, big in (("LE", False), ("BE", True)):
        cases.append((f"3072 B UTF-16{order} RTF (last variant)", rtf_utf16(big),
                      lambda t, u: t <= 5000, "<= 5000 ns"))
    return cases, plain


# Timing ---------------------------------------------------------------------

def batch_size(func, data):
    start = time.perf_counter_ns()
    func(data)
    once = max(time.perf_counter_ns() - start, 1)
    return max(1, min(100_000, BATCH_NS // once))


def time_batch(func, data, count):
    loop = itertools.repeat(None, count)
    start = time.perf_counter_ns()
    for _ in loop:
        func(data)
    return (time.perf_counter_ns() - start) / count


def measure(functions, buffers, rounds, progress=None):
    """{function name: [[per-call ns of each batch] for each buffer]}, interleaved."""
    results = {name: [] for name, _ in functions}
    for index, data in enumerate(buffers):
        sizes = {}
        for name, func in functions:
            func(data)  # warm
            sizes[name] = batch_size(func, data)
            results[name].append([])
        for _ in range(rounds):
            for name, func in functions:
                results[name][-1].append(time_batch(func, data, sizes[name]))
        if progress and index % 100 == 99:
            progress(index + 1)
    return results


def percentile(values, q):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    position = (len(ordered) - 1) * q
    low = int(position)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (position - low)


def summary(batches):
    flat = [v for per_buffer in batches for v in per_buffer]
    return statistics.median(flat), percentile(flat, 0.10), percentile(flat, 0.90)


# Report ---------------------------------------------------------------------

def fmt_ns(ns):
    return f"{ns:,.0f}" if ns >= 100 else f"{ns:.1f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--max-files", type=int, default=3000, help="real files to read (default 3000)")
    parser.add_argument("--max-size", type=int, default=1 << 20, help="largest real file, bytes (default 1 MiB)")
    parser.add_argument("--rounds", type=int, default=7, help="batches per buffer and function (default 7)")
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()

    taxon.clear_registrations()
    family_table = family_of_answer()
    peers = load_peers()
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")), "?")
    print(f"machine: {os.cpu_count()} cores, {cpu}; Python {platform.python_version()}")
    for name, func, note in peers:
        print(f"peer {name}: {note}")

    # Inputs, all in memory before timing.
    wrong = [n for n, data in SAMPLES.items() if (taxon.detect_mime(data), taxon.detect_type(data)) != EXPECTED[n]]
    if wrong:
        print(f"warning: {len(wrong)} samples get another answer than their record's: {' '.join(wrong[:20])}"
              + (" ..." if len(wrong) > 20 else ""))
    started = time.perf_counter()
    real = real_files(args.max_files, args.max_size, args.seed)
    print(f"inputs: {len(SAMPLES)} samples (one per record) + {len(real)} real files "
          f"({sum(len(d) for _, _, d in real) / 1e6:.1f} MB, read in {time.perf_counter() - started:.1f} s)")
    by_source = {}
    for source, _, _ in real:
        by_source[source] = by_source.get(source, 0) + 1
    print("  " + ", ".join(f"{s}: {n}" for s, n in by_source.items()))

    buffers = list(SAMPLES.values()) + [data for _, _, data in real]
    families = [family_table[(taxon.detect_mime(b), taxon.detect_type(b))] for b in buffers]

    functions = [("len(b)", len), ("taxon", taxon.detect_mime)]
    functions += [(name, func) for name, func, _ in peers if func is not None]
    started = time.perf_counter()
    results = measure(functions, buffers, args.rounds,
                      progress=lambda n: print(f"  timed {n}/{len(buffers)} buffers", file=sys.stderr))
    print(f"timed {len(buffers)} buffers x {len(functions)} functions x {args.rounds} batches "
          f"in {time.perf_counter() - started:.0f} s")

    # Per family and over the whole set.
    print()
    print("Per-call time in ns over batches (median, p10, p90); x len = median / median of len(b); "
          "x taxon = median / taxon's median")
    header = f"{'family':<13}{'n':>5}  {'function':<10}{'median':>10}{'p10':>10}{'p90':>11}{'x len':>9}{'x taxon':>10}"
    print(header)
    print("-" * len(header))
    groups = [(f, [i for i, g in enumerate(families) if g == f]) for f in FAMILY_ORDER]
    groups.append(("all", list(range(len(buffers)))))
    whole = {}
    for family, indices in groups:
        if not indices:
            continue
        unit = summary([results["len(b)"][i] for i in indices])[0]
        reference = summary([results["taxon"][i] for i in indices])[0]
        for position, (name, _) in enumerate(functions):
            median, p10, p90 = summary([results[name][i] for i in indices])
            if family == "all":
                whole[name] = median
            label = family if position == 0 else ""
            count = f"{len(indices)}" if position == 0 else ""
            print(f"{label:<13}{count:>5}  {name:<10}{fmt_ns(median):>10}{fmt_ns(p10):>10}{fmt_ns(p90):>11}"
                  f"{median / unit:>9.1f}{median / reference:>10.1f}")
        print()
    for name, func, note in peers:
        if func is None:
            print(f"{name}: MISSING ({note})")

    # The figures with a stated goal.
    cases, plain = figure_cases(args.seed)
    huge = plain + b"\x00" * (100 * 1024 * 1024 - len(plain))
    labels = [c[0] for c in cases] + ["100 MB buffer", "its first 3072 bytes"]
    case_buffers = [c[1] for c in cases] + [huge, huge[:LIMIT]]
    timed = measure([("len(b)", len), ("taxon", taxon.detect_mime)], case_buffers, max(args.rounds, 15))
    unit = summary(timed["len(b)"])[0]
    print(f"Goals: median ns per call; len(b) = {fmt_ns(unit)} ns over the same buffers in this run")
    print(f"{'case':<38}{'answer':<34}{'taxon':>9}{'x len':>8}  goal")
    for index, label in enumerate(labels):
        t = statistics.median(timed["taxon"][index])
        u = unit
        if index < len(cases):
            holds = cases[index][2](t, u)
            goal = f"{cases[index][3]}: {'met' if holds else 'NOT MET'}"
        else:
            goal = ""
        answer = taxon.detect_mime(case_buffers[index])[:33]
        print(f"{label:<38}{answer:<34}{fmt_ns(t):>9}{t / u:>8.1f}  {goal}")
    big = statistics.median(timed["taxon"][-2])
    small = statistics.median(timed["taxon"][-1])
    print(f"100 MB vs first 3072 bytes: {fmt_ns(big)} vs {fmt_ns(small)} ns ({big / small:.2f} x)")
    for name, bound in (("libmagic", 1000), ("filetype", 30)):
        if name in whole:
            ratio = whole[name] / whole["taxon"]
            print(f"whole set: {name} median / taxon median = {ratio:,.0f} x "
                  f"(goal >= {bound} x: {'met' if ratio >= bound else 'NOT MET'})")
        else:
            print(f"whole set: {name} missing, ratio not measured")


if __name__ == "__main__":
    main()
