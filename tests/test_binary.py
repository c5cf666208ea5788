"""Binary formats: the smallest buffer each accepts, structures, and files made by real tools.

SMALLEST holds (mime, extension, buffer, index): `buffer` is exactly as long
as its format's minimum, and `index` is one byte the test compares, which
flipping (XOR 0x80) must spoil.
"""
import bz2
import gzip
import io
import lzma
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import tarfile
import zipfile

import pytest
import taxon
from builders import LOTUS_BYTES, PNG_SIGNATURE, at, crx, elf, flip, tar_bytes, tar_header
from hypothesis import given, strategies as st

OCTET = "application/octet-stream"
ACCESS_HEAD = b"\0\x01\0\0"  # real Access files open like a TrueType font


def answer(data):
    return taxon.detect_mime(data), taxon.detect_type(data)


IMAGES = [
    ("image/bmp", ".bmp", b"BM", 1),
    ("image/bpg", ".bpg", b"BPG\xfb", 3),
    ("image/gif", ".gif", b"GIF87a", 4),
    ("image/gif", ".gif", b"GIF89a", 4),
    ("image/vnd.radiance", ".hdr", b"#?RADIANCE\n", 10),
    ("image/x-icon", ".ico", b"\0\0\x01\0", 2),
    ("image/x-icns", ".icns", b"icns", 0),
    ("image/jpeg", ".jpg", b"\xff\xd8\xff", 2),
    ("image/jxr", ".jxr", b"II\xbc\x01", 2),
    ("image/jxs", ".jxs", b"\0\0\0\x0cJXS \r\n\x87\n", 11),
    ("image/png", ".png", PNG_SIGNATURE, 7),
    ("image/vnd.mozilla.apng", ".apng", PNG_SIGNATURE + bytes(29) + b"acTL", 40),
    ("image/x-portable-arbitrarymap", ".pam", b"P7", 1),
    ("image/x-portable-bitmap", ".pbm", b"P1", 1),
    ("image/x-portable-bitmap", ".pbm", b"P4", 1),
    ("image/x-portable-graymap", ".pgm", b"P2", 1),
    ("image/x-portable-graymap", ".pgm", b"P5", 1),
    ("image/x-portable-pixmap", ".ppm", b"P3", 1),
    ("image/x-portable-pixmap", ".ppm", b"P6", 1),
    ("image/vnd.adobe.photoshop", ".psd", b"8BPS", 3),
    ("image/x-xcf", ".xcf", b"gimp xcf", 7),
    ("image/x-xpixmap", ".xpm", b"/* XPM */", 8),
    ("image/x-gimp-gbr", ".gbr", at(25, {20: b"GIMP"}), 23),
    ("image/x-gimp-pat", ".pat", at(25, {20: b"GPAT"}), 20),
    ("image/webp", ".webp", at(12, {0: b"RIFF", 8: b"WEBP"}), 8),
]
AUDIO_VIDEO = [
    ("audio/basic", ".au", b".snd", 0),
    ("audio/amr", ".amr", b"#!AMR", 4),
    ("audio/ape", ".ape", b"MAC \x96\x0f\0\x004\0\0\0\x18\0\0\0\x90\xe3", 17),
    ("video/x-ms-asf", ".asf", bytes.fromhex("3026b2758e66cf11a6d900aa0062ce6c"), 15),
    ("video/x-msvideo", ".avi", at(17, {0: b"RIFF", 8: b"AVI LIST"}), 12),
    ("video/x-flv", ".flv", b"FLV", 2),
    ("audio/qcelp", ".qcp", at(12, {0: b"RIFF", 8: b"QLCM"}), 9),
    ("audio/x-unknown", ".voc", b"Creative Voice File", 18),
    ("audio/wav", ".wav", at(12, {0: b"RIFF", 8: b"WAVE"}), 3),
    ("audio/aiff", ".aiff", at(12, {0: b"FORM", 8: b"AIFF"}), 11),
    ("audio/flac", ".flac", b"fLaC", 1),
    ("audio/midi", ".midi", b"MThd", 3),
    ("application/vnd.rn-realmedia-vbr", ".rmvb", b".RMF", 1),
    ("audio/musepack", ".mpc", b"MPCK", 3),
]
ARCHIVES = [
    ("application/x-bzip2", ".bz2", b"BZ", 1),
    ("application/vnd.ms-cab-compressed", ".cab", b"MSCF", 3),
    ("application/gzip", ".gz", b"\x1f\x8b", 1),
    ("application/lzip", ".lz", b"LZIP", 0),
    ("application/x-rar-compressed", ".rar", b"Rar!\x1a\x07\0", 6),
    ("application/x-rar-compressed", ".rar", b"Rar!\x1a\x07\x01\0", 7),
    ("application/x-rpm", ".rpm", b"\xed\xab\xee\xdb", 2),
    ("application/x-7z-compressed", ".7z", b"7z\xbc\xaf\x27\x1c", 5),
    ("application/x-xar", ".xar", b"xar!", 3),
    ("application/x-xz", ".xz", b"\xfd7zXZ\0", 5),
    ("application/zstd", ".zst", b"\x22\xb5\x2f\xfd", 0),
    ("application/zstd", ".zst", b"\x28\xb5\x2f\xfd", 3),
    ("application/zstd", ".zst", b"\x50\x2a\x4d\x18", 0),
    ("application/zstd", ".zst", b"\x5f\x2a\x4d\x18", 2),
]
CODE_FONTS_DOCS = [
    ("application/vnd.microsoft.portable-executable", ".exe", b"MZ", 1),
    ("application/x-java-applet; charset=binary", ".class", b"\xca\xfe\xba\xbe", 3),
    ("application/wasm", ".wasm", b"\0asm", 0),
    ("application/x-shockwave-flash", ".swf", b"FWS", 1),
    ("application/x-shockwave-flash", ".swf", b"CWS", 2),
    ("application/x-shockwave-flash", ".swf", b"ZWS", 0),
    ("application/vnd.nintendo.snes.rom", ".nes", b"NES\x1a", 3),
    ("font/otf", ".otf", b"OTTO", 3),
    ("font/collection", ".ttc", b"ttcf", 0),
    ("font/woff", ".woff", b"wOFF", 3),
    ("font/woff2", ".woff2", b"wOF2", 3),
    ("application/pdf", ".pdf", b"%PDF-", 4),
    ("application/vnd.fdf", ".fdf", b"%FDF-", 1),
    ("application/postscript", ".ps", b"%!PS-Adobe-", 10),
    ("application/vnd.ms-htmlhelp", ".chm", b"ITSF\x03\0\0\0", 4),
    ("application/x-ms-reader", ".lit", b"ITOLITLS", 7),
    ("application/vnd.lotus-1-2-3", ".123", b"\x01\x02\x03\x04" + LOTUS_BYTES, 5),
    ("application/vnd.lotus-1-2-3", ".123", b"\x01\x02\x03\x04\0\x1a\0\0", 7),
    ("application/vnd.apache.parquet", ".parquet", b"PAR1", 3),
    ("application/vnd.shx", ".shx", b"\0\0\x27\x0a", 2),
    ("application/vnd.shp", ".shp", at(100, {0: b"\0\0\x27\x0a"}), 3),
    ("application/tzif", "", b"TZif", 2),
]

STRUCTURED = [
    ("application/x-tar", ".tar", tar_header(), 0),
    ("application/x-cpio", ".cpio", b"070701", 5),
    ("application/x-cpio", ".cpio", b"070702", 5),
    ("application/x-cpio", ".cpio", b"070707", 0),
    ("application/x-archive", ".a", b"!<arch>", 6),
    ("application/vnd.debian.binary-package", ".deb", b"!<arch>\ndebian-binary ", 20),
    ("application/x-dbf", ".dbf", at(32, {0: b"\x05"}), 0),
    ("image/vnd.dwg", ".dwg", b"AC1018", 5),
    ("application/vnd.ms-fontobject", ".eot", at(36, {8: b"\0\0\x01\0", 34: b"LP"}), 35),
    ("application/fits", ".fits", b"SIMPLE  =" + b" " * 20 + b"T", 29),
    ("application/x-bittorrent", ".torrent", b"d8:announce", 10),
    ("application/x-bittorrent", ".torrent", b"d7:comment", 1),
    ("application/x-bittorrent", ".torrent", b"d4:info", 6),
    ("application/x-elf", "", b"\x7fELF", 0),
    ("application/x-object", "", elf(1, length=18), 16),
    ("application/x-executable", "", elf(2, length=18), 17),
    ("application/x-sharedlib", ".so", elf(3, length=18), 16),
    ("application/x-coredump", "", elf(4, length=18), 17),
    ("application/x-mach-binary", ".macho", b"\xce\xfa\xed\xfe", 0),
    ("application/x-mach-binary", ".macho", b"\xcf\xfa\xed\xfe", 3),
    ("application/x-mach-binary", ".macho", b"\xfe\xed\xfa\xce", 3),
    ("application/x-mach-binary", ".macho", b"\xfe\xed\xfa\xcf", 0),
    ("application/x-mach-binary", ".macho", b"\xbe\xba\xfe\xca", 1),
    ("application/x-chrome-extension", ".crx", crx(0, 0), 18),
    ("application/x-chrome-extension", ".crx", crx(0, 0, b"PK\x05\x06"), 19),
    ("application/x-chrome-extension", ".crx", crx(5, 7, b"PK\x07\x08"), 31),
    ("application/pkcs7-signature", ".p7s", b"-----BEGIN PKCS7-----", 11),
    ("font/ttf", ".ttf", b"\0\x01\0\0", 1),
    ("font/ttf", ".ttf", b"true", 3),
    ("font/ttf", ".ttf", b"typ1", 0),
    ("application/x-msaccess", ".accdb", at(32, {0: ACCESS_HEAD, 4: b"Standard ACE DB"}), 13),
    ("application/x-msaccess", ".mdb", at(32, {0: ACCESS_HEAD, 4: b"Standard Jet DB"}), 18),
    ("application/vnd.sqlite3", ".sqlite", b"SQLite format 3\0", 15),
    ("image/vnd.djvu", ".djvu", at(16, {0: b"AT&TFORM", 12: b"DJVU"}), 15),
    ("image/jxl", ".jxl", b"\xff\x0a", 1),
    ("image/jxl", ".jxl", b"\0\0\0\x0cJXL \r\n\x87\n", 4),
    ("image/jp2", ".jp2", at(24, {4: b"jP  ", 20: b"jp2 "}), 22),
    ("image/jp2", ".jp2", at(24, {4: b"jP2 ", 20: b"jp2 "}), 6),
    ("image/jpm", ".jpm", at(24, {4: b"jP  ", 20: b"jpm "}), 22),
    ("image/jpx", ".jpx", at(24, {4: b"jP  ", 20: b"jpx "}), 4),
    ("application/x-installshield", ".cab", b"ISc(\0\0\0\x01", 7),
    ("application/x-installshield", ".cab", b"ISc(\0\0\0\x02", 6),
    ("application/x-installshield", ".cab", b"ISc(\0\0\0\x04", 3),
    ("application/x-ms-shortcut", ".lnk", b"L\0\0\0\x01\x14\x02\0", 5),
    ("application/marc", ".mrc", at(24, {10: b"22", 20: b"4500"}, fill=b"0"), 11),
    ("model/gltf-binary", ".glb", b"glTF\x02\0\0\0", 4),
    ("model/gltf-binary", ".glb", b"glTF\x01\0\0\0", 7),
    ("application/x-hdf", ".hdf", b"\x89HDF\r\n\x1a\n", 7),
    ("application/x-hdf", ".hdf", b"\x0e\x03\x13\x01", 3),
    ("application/dicom", ".dcm", at(132, {128: b"DICM"}), 128),
    ("image/tiff", ".tiff", b"II*\0", 2),
    ("image/tiff", ".tiff", b"MM\0*", 3),
    ("application/cbor", ".cbor", b"\xd9\xd9\xf7", 2),
]
# Every binary format's smallest accepted buffer: fixed signatures first,
# then the formats whose test reads a structure.
SMALLEST = IMAGES + AUDIO_VIDEO + ARCHIVES + CODE_FONTS_DOCS + STRUCTURED


@pytest.mark.parametrize("mime, ext, data, index", SMALLEST)
def test_smallest_buffer_is_accepted_and_every_cut_or_change_is_not(mime, ext, data, index):
    assert answer(data) == (mime, ext)
    assert answer(data + b"\xff" * 64) == (mime, ext)
    assert answer(data[:-1]) != (mime, ext)
    assert answer(flip(data, index)) != (mime, ext)


@pytest.mark.parametrize("data, mime", [
    (tar_header(field=b"012345\0 "), OCTET),  # digits fine, but not the header's sum
    (tar_header(field=b" " * 8), OCTET),
    (tar_header(field=bytes(8)), OCTET),
    (tar_header(field=b"0001238\0"), OCTET),
    (tar_header(field=b"000129\0 "), OCTET),
    (tar_header(name=b"x/gpkg-1"), OCTET),
    (tar_header(name=b"z" * 92 + b"/gpkg-1"), OCTET),
    (tar_header(name=b"z" * 93 + b"/gpkg-1"), "application/x-tar"),
    (tar_header(name=b"x/gpkg-10"), "application/x-tar"),
    (tar_header(name=b"\xe9t\xe9", signed=True), "application/x-tar"),
    (tar_header(name=b"MZ"), "application/vnd.microsoft.portable-executable"),
    (tar_header(name=b"BZh"), "application/x-tar"),
    (b"!<arch>\ndebian-binar", "application/x-archive"),
    (elf(3, length=17), "application/x-elf"),
    (elf(5), "application/x-elf"),
    (at(18, {0: b"\x7fELF", 16: b"\0\x03"}), "application/x-elf"),  # big-endian type field
    (at(32, {0: b"\x05", 15: b"A"}), OCTET),
    (at(32, {0: b"\x05", 16: b"A"}), "application/x-dbf"),
    (at(32, {0: b"\x07"}), OCTET),
    (b"070703\0", OCTET),
    (b"ISc(\0\0\0\x03", OCTET),
    (b"ISc(\0\0\x01\x01", OCTET),
    (at(16, {0: b"AT&TFORM", 12: b"DJVM"}), OCTET),
    (at(15, {0: b"AT&TFORM", 12: b"DJV"}), OCTET),
    # Real Access files open with the TrueType tag; too short for Access, not a font either.
    (at(31, {0: ACCESS_HEAD, 4: b"Standard Jet DB"}), OCTET),
    (at(32, {0: ACCESS_HEAD, 4: b"Standard Jet DX"}), "font/ttf"),
    # EOT: the sizes come first, so zeros there are not required; the version is.
    (at(36, {0: b"\x34\x12\0\0", 4: b"\x10\x02", 8: b"\x01\0\x02\0", 34: b"LP"}), "application/vnd.ms-fontobject"),
    (at(36, {8: b"\x02\0\x02\0", 34: b"LP"}), "application/vnd.ms-fontobject"),
    (at(36, {8: b"\0\0\x02\0", 34: b"LP"}), OCTET),
    (at(36, {34: b"LP"}), OCTET),
    (at(132, {0: PNG_SIGNATURE, 128: b"DICM"}), "image/png"),
    (at(132, {0: b"Rar!\x1a\x07\0", 128: b"DICM"}), "application/dicom"),
    (b"\xca\xfe\xba\xbe", "application/x-java-applet; charset=binary"),
])
def test_structure_cases(data, mime):
    assert taxon.detect_mime(data) == mime


@pytest.mark.parametrize("data, mime", [
    (b"AC1019", "image/vnd.dwg"),
    (b"AC1.41", "image/vnd.dwg"),
    (b"d8:announc", "application/x-bittorrent"),
    (b"d4:inf", "application/x-bittorrent"),
    (b"SIMPLE  =" + b" " * 19 + b"T ", "application/fits"),
    (at(24, {10: b"22", 20: b"4501"}, b"0"), "application/marc"),
    (at(24, {10: b"12", 20: b"4500"}, b"0"), "application/marc"),
    (b"-----BEGIN PKCS7----", "application/pkcs7-signature"),
])
def test_text_like_near_misses(data, mime):
    # Text matchers may claim these; the binary record must not.
    assert taxon.detect_mime(data) != mime


@pytest.mark.parametrize("version", [b"1.40", b"1.50", b"2.10", b"1002", b"1003", b"1004", b"1006", b"1009",
                                     b"1012", b"1014", b"1015", b"1018", b"1021", b"1024", b"1032"])
def test_every_dwg_release(version):
    assert taxon.detect_mime(b"AC" + version) == "image/vnd.dwg"


@pytest.mark.parametrize("data, mime", [
    (b"Cr24" + struct.pack("<III", 2, 0xFFFFFFFF, 0xFFFFFFFF) + b"PK\x03\x04" * 800, OCTET),
    (b"Cr24" + struct.pack("<III", 2, 0xFFFFFFFF, 0x15) + bytes(20) + b"PK\x03\x04", OCTET),  # wraps to 36 in 32 bits
    (crx(0, 0)[:19], OCTET),
    (crx(1000, 2052) + bytes(100), "application/x-chrome-extension"),  # signature ends at byte 3072
    (crx(1000, 2053) + bytes(100), OCTET),  # present in the buffer, but past the cut
])
def test_crx_offsets(data, mime):
    assert taxon.detect_mime(data) == mime


def run(tool, *args, cwd=None):
    if shutil.which(tool) is None:
        pytest.skip(f"{tool} not installed")
    subprocess.run([tool, *args], cwd=cwd, check=True, capture_output=True)


@pytest.mark.parametrize("data, mime", [
    (tar_bytes(tarfile.USTAR_FORMAT), "application/x-tar"),
    (tar_bytes(tarfile.GNU_FORMAT, "d/" + "n" * 150), "application/x-tar"),
    (tar_bytes(tarfile.PAX_FORMAT, "\u00e9t\u00e9.txt"), "application/x-tar"),
    (tar_bytes(tarfile.USTAR_FORMAT, "pkg-1.0/gpkg-1"), OCTET),
    (gzip.compress(b"x" * 100), "application/gzip"),
    (bz2.compress(b"x" * 100), "application/x-bzip2"),
    (lzma.compress(b"x" * 100, format=lzma.FORMAT_XZ), "application/x-xz"),
])
def test_files_made_by_python(data, mime):
    assert taxon.detect_mime(data) == mime


def test_sqlite_database(tmp_path):
    path = tmp_path / "t.sqlite"
    with sqlite3.connect(path) as db:
        db.execute("create table t (x)")
    db.close()
    assert taxon.detect_mime(path.read_bytes()) == "application/vnd.sqlite3"


def test_chrome_extension_around_a_zip():
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("manifest.json", "{}")
    data = b"Cr24" + struct.pack("<III", 2, 3, 5) + b"key" + b"signa" + out.getvalue()
    assert taxon.detect_mime(data) == "application/x-chrome-extension"


MODULE_FORMAT = {"linux": "application/x-sharedlib", "darwin": "application/x-mach-binary",
                 "win32": "application/vnd.microsoft.portable-executable"}


def test_this_module_is_a_shared_object():
    if sys.platform not in MODULE_FORMAT:
        pytest.skip(f"no expected format for {sys.platform}")
    with open(taxon.__file__, "rb") as f:
        assert taxon.detect_mime(f.read()) == MODULE_FORMAT[sys.platform]


@pytest.mark.parametrize("flags, mime", [(["-c"], "application/x-object"), (["-no-pie"], "application/x-executable")])
def test_compiled_elf(tmp_path, flags, mime):
    (tmp_path / "m.c").write_text("int main(void) { return 0; }\n")
    run("cc", *flags, "-o", "m.out", "m.c", cwd=tmp_path)
    data = (tmp_path / "m.out").read_bytes()
    if data[:4] != b"\x7fELF":
        pytest.skip("cc makes no ELF files on this platform")
    assert taxon.detect_mime(data) == mime


@pytest.mark.parametrize("tool, args, made, mime", [
    ("zstd", ["-q", "in.txt", "-o", "out"], "out", "application/zstd"),
    ("ar", ["rc", "out", "in.txt"], "out", "application/x-archive"),
    ("javac", ["Hi.java"], "Hi.class", "application/x-java-applet; charset=binary"),
])
def test_files_made_by_tools(tmp_path, tool, args, made, mime):
    (tmp_path / "in.txt").write_text("hello\n" * 20)
    (tmp_path / "Hi.java").write_text("class Hi {}\n")
    run(tool, *args, cwd=tmp_path)
    assert taxon.detect_mime((tmp_path / made).read_bytes()) == mime


def test_debian_package(tmp_path):
    control = tmp_path / "pkg" / "DEBIAN"
    control.mkdir(parents=True)
    (control / "control").write_text("Package: t\nVersion: 1\nArchitecture: all\nMaintainer: t <t@t>\n"
                                      "Description: t\n")
    run("dpkg-deb", "--build", "pkg", "t.deb", cwd=tmp_path)
    assert taxon.detect_mime((tmp_path / "t.deb").read_bytes()) == "application/vnd.debian.binary-package"


ALL_SAMPLES = [s[2] for s in SMALLEST]


def test_every_truncation_answers():
    for data in ALL_SAMPLES:
        for n in range(len(data)):
            assert isinstance(taxon.detect_mime(data[:n]), str)


def test_long_buffers_are_judged_by_their_head():
    big = tar_header() + os.urandom(5000)
    assert taxon.detect_mime(big) == taxon.detect_mime(big[:3072]) == "application/x-tar"


@given(st.sampled_from(ALL_SAMPLES), st.binary(max_size=3100))
def test_any_bytes_after_a_signature_answer(head, tail):
    assert isinstance(taxon.detect_mime(head + tail), str)
    assert isinstance(taxon.detect_type(tail), str)
