import bz2
import gzip
import io
import lzma
import os
import shutil
import sqlite3
import struct
import subprocess
import tarfile
import zipfile

import pytest
import taxon
from binary_samples import ACCESS_HEAD, PNG_SIG, SIGNATURES, STRUCTURED, answer, at, crx, elf, flip, tar_header
from hypothesis import given, strategies as st

OCTET = "application/octet-stream"


@pytest.mark.parametrize("mime, ext, data, index", STRUCTURED)
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
    (elf(3, 17), "application/x-elf"),
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
    (at(132, {0: PNG_SIG, 128: b"DICM"}), "image/png"),
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


def tar_bytes(fmt, name="hello.txt", data=b"hello\n"):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=fmt) as tar:
        info = tarfile.TarInfo(name)
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return out.getvalue()


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


def test_this_module_is_a_shared_object():
    with open(taxon.__file__, "rb") as f:
        assert taxon.detect_mime(f.read()) == "application/x-sharedlib"


@pytest.mark.parametrize("flags, mime", [(["-c"], "application/x-object"), (["-no-pie"], "application/x-executable")])
def test_compiled_elf(tmp_path, flags, mime):
    (tmp_path / "m.c").write_text("int main(void) { return 0; }\n")
    run("cc", *flags, "-o", "m.out", "m.c", cwd=tmp_path)
    assert taxon.detect_mime((tmp_path / "m.out").read_bytes()) == mime


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


ALL_SAMPLES = [s[2] for s in SIGNATURES + STRUCTURED]


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
