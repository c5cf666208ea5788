#!/usr/bin/env python3
"""Writes the fuzz seed corpus: one small file per format family, minimal
headers only, into fuzz/corpus/detect/ (every family) and
fuzz/corpus/matchers/ (the families whose matchers parse structure).

    python3 fuzz/make_seeds.py
    python3 fuzz/make_seeds.py --samples DIR   # also the test suite's samples, into DIR

The samples of tests/samples.py (one buffer per record of the tree) are not
committed as seeds; the smoke run and long runs write them to a scratch
directory with --samples and give it to the fuzzer as a further corpus.

The output is deterministic (fixed timestamps), so re-running it leaves the
committed corpus unchanged unless a seed was added here.
"""
import bz2
import gzip
import io
import lzma
import pathlib
import struct
import sys
import tarfile
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests"))
from builders import ebml, ogg_page, utf16  # noqa: E402
# The matchers target gets the families whose matchers parse structure.
TARGETS = {
    "detect": lambda name: True,
    "matchers": lambda name: name.startswith(("zip", "docx", "xlsx", "pptx", "vsdx", "epub", "od", "jar", "apk",
                                              "kmz", "ole-", "ftyp-", "webm", "mkv", "ogg-", "tar", "crx",
                                              "text-", "utf16")),
}
LIMIT = 1024  # no seed is larger


def zip_archive(*entries, extra=b""):
    """A stored archive; entries are (name, data). `extra` goes on the first."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as archive:
        for i, (name, data) in enumerate(entries):
            info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
            if i == 0 and extra:
                info.extra = extra
            archive.writestr(info, data)
    return out.getvalue()


def compound_file(clsid=b"", sector0=b""):
    """A compound-file header whose first directory sector is sector 0, with
    the root entry's class ID; or, without one, `sector0` at sector 0."""
    out = bytearray(512)
    out[0:8] = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"
    out[24:28] = struct.pack("<HH", 0x3E, 3)
    out[48:52] = struct.pack("<I", 0)
    entry = bytearray(96)
    entry[0:10] = "Root".encode("utf-16-le") + b"\0\0"
    entry[80:96] = clsid.ljust(16, b"\0")
    return bytes(out) + (sector0 if sector0 else bytes(entry))


def ftyp(major, *compatible):
    body = b"ftyp" + major + b"\0\0\0\0" + b"".join(compatible)
    return struct.pack(">I", len(body) + 4) + body + b"\0\0\0\x08free"


def tar_header():
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        info = tarfile.TarInfo("hello.txt")
        info.size, info.mtime = 6, 1577836800
        archive.addfile(info, io.BytesIO(b"hello\n"))
    return out.getvalue()[:512]


def elf(e_type):
    ident = b"\x7fELF\x02\x01\x01" + bytes(9)
    return ident + struct.pack("<HHI", e_type, 0x3E, 1) + bytes(48)


TEXTS = {
    "html": "<!DOCTYPE html>\n<html><head><title>t</title></head><body>x</body></html>\n",
    "xml": '<?xml version="1.0" encoding="UTF-8"?>\n<root><a b="1"/></root>\n',
    "svg": '<?xml version="1.0"?>\n<svg xmlns="http://www.w3.org/2000/svg" width="1" height="1"/>\n',
    "atom": '<?xml version="1.0"?>\n<feed xmlns="http://www.w3.org/2005/Atom"><title>t</title></feed>\n',
    "kml": '<?xml version="1.0"?>\n<kml xmlns="http://www.opengis.net/kml/2.2"><Document/></kml>\n',
    "json": '{"name": "x", "values": [1, 2.5e3, true, null, "\\u00e9"]}\n',
    "geojson": '{"type": "Feature", "geometry": {"type": "Point", "coordinates": [1, 2]}}',
    "ndjson": '{"a": 1}\n{"a": 2}\n{"a": 3}\n',
    "har": '{"log": {"version": "1.2", "creator": {"name": "x"}, "entries": []}}',
    "gltf": '{"asset": {"version": "2.0"}, "scenes": []}',
    "csv": "name,age,city\nalice,30,paris\nbob,25,\"new york\"\n",
    "tsv": "name\tage\tcity\nalice\t30\tparis\nbob\t25\trome\n",
    "srt": "1\n00:00:01,000 --> 00:00:02,000\nHello\n\n2\n00:00:03,000 --> 00:00:04,000\nBye\n",
    "vtt": "WEBVTT\n\n00:00.000 --> 00:01.000\nHello\n",
    "vcard": "BEGIN:VCARD\nVERSION:3.0\nFN:Alice\nEND:VCARD\n",
    "ics": "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nEND:VEVENT\nEND:VCALENDAR\n",
    "rtf": "{\\rtf1\\ansi hello}\n",
    "warc": "WARC/1.0\r\nWARC-Type: warcinfo\r\n\r\n",
    "m3u": "#EXTM3U\n#EXTINF:1,x\nx.mp3\n",
    "python": "#!/usr/bin/env python3\nprint('hi')\n",
    "php": "<?php echo 'hi'; ?>\n",
    "plain": "Just some plain text, caf\u00e9 \u2014 \u65e5\u672c.\n",
}
UTF16_TEXTS = ("html", "svg", "json", "csv", "srt", "vtt", "vcard", "rtf")


def seeds():
    s = {}
    # ZIP and its packages.
    s["zip"] = zip_archive(("a.txt", b"hello"))
    s["docx"] = zip_archive(("[Content_Types].xml", b"<Types/>"), ("word/document.xml", b"<w/>"))
    s["xlsx"] = zip_archive(("xl/workbook.xml", b"<w/>"))
    s["pptx"] = zip_archive(("_rels/.rels", b"<R/>"), ("ppt/presentation.xml", b"<p/>"))
    s["vsdx"] = zip_archive(("visio/document.xml", b"<v/>"))
    s["epub"] = zip_archive(("mimetype", b"application/epub+zip"), ("META-INF/container.xml", b"<c/>"))
    s["odt"] = zip_archive(("mimetype", b"application/vnd.oasis.opendocument.text"), ("content.xml", b"<c/>"))
    s["ods"] = zip_archive(("mimetype", b"application/vnd.oasis.opendocument.spreadsheet"), ("c", b""))
    s["odp-template"] = zip_archive(("mimetype", b"application/vnd.oasis.opendocument.presentation-template"),
                                    ("c", b""))
    s["jar"] = zip_archive(("META-INF/MANIFEST.MF", b"Manifest-Version: 1.0\n"), extra=b"\xfe\xca\0\0")
    s["apk"] = zip_archive(("res/x", b""), ("classes.dex", b"dex\n035\0"))
    s["kmz"] = zip_archive(("doc.kml", b"<kml/>"))
    # OLE compound files: each class ID, and the sector-0 fallbacks.
    clsids = {
        "msi": "84100c0000000000c000000000000046", "aaf": "aaf0000000000000c000000000000046",
        "msg": "0b0d020000000000c000000000000046", "xls": "2008020000000000c000000000000046",
        "pub": "011202000000000000c0000000000046", "ppt": "108d81649b4fcf1186ea00aa00b929e8",
        "doc": "0609020000000000c000000000000046", "onenote": "43ad43365e4796488b420440e787c930",
    }
    for name, clsid in clsids.items():
        s[f"ole-{name}"] = compound_file(bytes.fromhex(clsid))
    s["ole-xls-bof"] = compound_file(sector0=b"\x09\x08\x10\x00\x00\x06\x05\x00" + bytes(8))
    s["ole-xls-fat"] = compound_file(sector0=b"\xfd\xff\xff\xff\x10\0\0\0" + bytes(8))
    s["ole-ppt-record"] = compound_file(sector0=b"\x0f\x00\xe8\x03" + bytes(8))
    # ISO base media, EBML, Ogg, RIFF and other media.
    for brand in (b"isom", b"avif", b"heic", b"mif1", b"3gp4", b"M4V ", b"qt  "):
        s["ftyp-" + brand.decode().strip()] = ftyp(brand, b"isom")
    short = {"before": b"\x42\x86\x81\x01", "after": b"\x42\x87\x81\x04"}  # EBMLVersion, DocTypeVersion
    s["webm"], s["mkv"] = ebml(b"webm", **short), ebml(b"matroska", **short)
    s["ogg-opus"] = ogg_page(b"OpusHead\x01\x02" + bytes(9), None)
    s["ogg-vorbis"] = ogg_page(b"\x01vorbis" + bytes(22), None)
    s["ogg-theora"] = ogg_page(b"\x80theora" + bytes(34), None)
    s["wav"] = b"RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0data\0\0\0\0"
    s["avi"] = b"RIFF\x24\0\0\0AVI LIST" + bytes(8)
    s["webp"] = b"RIFF\x1a\0\0\0WEBPVP8 " + bytes(14)
    s["mp3-id3"] = b"ID3\x03\0\0\0\0\0\0" + b"\xff\xfb\x90\x44" + bytes(60)
    s["mp3-frame"] = b"\xff\xfb\x90\x44" + bytes(60)
    s["mpeg-ps"] = b"\0\0\x01\xba\x44\0\x04\0\x04\x01\x01\x89\xc3\xf8"
    s["flac"] = b"fLaC\0\0\0\x22" + bytes(34)
    s["midi"] = b"MThd\0\0\0\x06\0\x01\0\x01\0\x60MTrk\0\0\0\0"
    s["aiff"] = b"FORM\0\0\0\x12AIFFCOMM" + bytes(10)
    # Images, archives, executables, fonts, databases.
    s["png"] = b"\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89"
    s["apng"] = s["png"] + b"\0\0\0\x08acTL\0\0\0\x01\0\0\0\0" + bytes(4)
    s["gif"] = b"GIF89a\x01\0\x01\0\x80\0\0\xff\xff\xff\0\0\0!\xf9\x04\0\0\0\0\0;"
    s["jpeg"] = b"\xff\xd8\xff\xe0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0\xff\xd9"
    s["jp2"] = b"\0\0\0\x0cjP  \r\n\x87\n\0\0\0\x14ftypjp2 \0\0\0\0jp2 "
    s["bmp"] = b"BM" + struct.pack("<IHHI", 58, 0, 0, 54) + struct.pack("<IiiHH", 40, 1, 1, 1, 24) + bytes(28)
    s["tiff"] = b"II*\0\x08\0\0\0\0\0"
    s["psd"] = b"8BPS\0\x01" + bytes(20)
    s["pdf"] = b"%PDF-1.4\n1 0 obj\n<<>>\nendobj\n%%EOF\n"
    s["ps"] = b"%!PS-Adobe-3.0\n%%EOF\n"
    s["7z"] = b"7z\xbc\xaf\x27\x1c\0\x04" + bytes(24)
    s["gzip"] = gzip.compress(b"hello", mtime=0)
    s["bz2"] = bz2.compress(b"hello")
    s["xz"] = lzma.compress(b"hello")
    s["zstd"] = b"\x28\xb5\x2f\xfd\x20\x05\x29\0\0hello"
    s["rar"] = b"Rar!\x1a\x07\x01\0" + bytes(8)
    s["cab"] = b"MSCF\0\0\0\0" + bytes(28)
    s["tar"] = tar_header()
    s["ar-deb"] = b"!<arch>\ndebian-binary   0           0     0     100644  4         `\n2.0\n"
    s["cpio"] = b"070701" + b"0" * 104
    for e_type, name in ((1, "obj"), (2, "exe"), (3, "so"), (4, "core")):
        s[f"elf-{name}"] = elf(e_type)
    s["exe"] = b"MZ\x90\0" + bytes(56) + b"PE\0\0"
    s["macho"] = b"\xcf\xfa\xed\xfe\x07\0\0\x01" + bytes(24)
    s["class"] = b"\xca\xfe\xba\xbe\0\0\0\x34" + bytes(8)
    s["wasm"] = b"\0asm\x01\0\0\0"
    s["crx"] = b"Cr24" + struct.pack("<III", 3, 16, 0) + bytes(16) + zip_archive(("manifest.json", b"{}"))
    s["ttf"] = b"\0\x01\0\0\0\x0c\0\x80\0\x03\0\x20" + bytes(16)
    s["otf"] = b"OTTO\0\x0c\0\x80\0\x03\0\x20" + bytes(16)
    s["woff2"] = b"wOF2\0\x01\0\0" + bytes(40)
    s["sqlite"] = b"SQLite format 3\0\x10\0\x01\x01\0\x40\x20\x20" + bytes(80)
    s["lnk"] = b"L\0\0\0\x01\x14\x02\0\0\0\0\0\xc0\0\0\0\0\0\0\x46" + bytes(56)
    s["dicom"] = bytes(128) + b"DICM" + bytes(8)
    s["dbf"] = b"\x03\x01\x01\x01\x01\0\0\0\xc1\0\x10\0" + bytes(20)
    s["torrent"] = b"d8:announce13:http://x/anno4:infod4:name1:xee"
    s["cbor"] = b"\xd9\xd9\xf7\xa1\x61\x61\x01"
    # Text, UTF-8 and UTF-16.
    for name, text in TEXTS.items():
        s["text-" + name] = text.encode()
    s["text-bom"] = b"\xef\xbb\xbf" + TEXTS["plain"].encode()
    for name in UTF16_TEXTS:
        s[f"utf16be-{name}"] = utf16(TEXTS[name], "be")
        s[f"utf16le-{name}"] = utf16(TEXTS[name], "le")
    return s


def write_samples(folder):
    from samples import SAMPLES

    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in SAMPLES.items():
        (folder / name).write_bytes(data)
    print(f"{len(SAMPLES)} samples in {folder}")


def main():
    if sys.argv[1:2] == ["--samples"]:
        write_samples(sys.argv[2])
        return
    made = seeds()
    for target, wanted in TARGETS.items():
        folder = HERE / "corpus" / target
        folder.mkdir(parents=True, exist_ok=True)
        for old in folder.iterdir():
            old.unlink()
        chosen = {name: data for name, data in made.items() if wanted(name)}
        for name, data in chosen.items():
            assert len(data) <= LIMIT, (name, len(data))
            (folder / name).write_bytes(data)
        print(f"{len(chosen)} seeds for {target}")


if __name__ == "__main__":
    main()
