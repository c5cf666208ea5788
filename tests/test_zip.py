import random
import shutil
import subprocess
import zipfile

import pytest

import taxon
from builders import headers, local_header, real_zip

ZIP, JAR, APK, KMZ = ("application/zip", "application/java-archive",
                      "application/vnd.android.package-archive", "application/vnd.google-earth.kmz")
OOXML = "application/vnd.openxmlformats-officedocument."
DOCX, XLSX, PPTX = OOXML + "wordprocessingml.document", OOXML + "spreadsheetml.sheet", OOXML + "presentationml.presentation"
OD = "application/vnd.oasis.opendocument."
MIMETYPE_FIRST = ["application/epub+zip", "application/vnd.sun.xml.calc", OD + "formula", OD + "chart"] + [
    OD + kind + suffix for kind in ("text", "spreadsheet", "presentation", "graphics") for suffix in ("", "-template")]


@pytest.mark.parametrize("entries, expected", [
    (["[Content_Types].xml", "_rels/.rels", "word/document.xml"], DOCX),
    (["[Content_Types].xml", "xl/workbook.xml"], XLSX),
    (["_rels/.rels", "ppt/presentation.xml"], PPTX),
    (["[trash]", "visio/document.xml"], "application/vnd.ms-visio.drawing.main+xml"),
    (["docProps", "customXml", "word/document.xml"], DOCX),
    (["word/document.xml"], DOCX),
    (["[Content_Types].xml", "word/document.xml", "xl/workbook.xml"], DOCX),
    (["mimetype", "word/document.xml"], ZIP),
    (["docProps/app.xml", "word/document.xml"], ZIP),
    (["customXml/", "word/document.xml"], ZIP),
    (["[Content_Types].xml", "Word/document.xml"], ZIP),
    (["META-INF/MANIFEST.MF", "classes.dex"], JAR),
    (["meta-inf/MANIFEST.MF"], ZIP),
    (["lib/x.so", "AndroidManifest.xml"], APK),
    (["assets/a", "res/drawable-hdpi/icon.png"], APK),
    (["assets/a", "META-INF/com/android/build/gradle/app-metadata.properties"], APK),
    (["assets/a", "classes.dex2"], ZIP),
    (["files/x.png", "doc.kml"], KMZ),
    (["files/doc.kml"], ZIP),
])
def test_package_by_entry_names(entries, expected):
    for compression in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
        assert taxon.detect_mime(real_zip(*entries, compression=compression)) == expected


@pytest.mark.parametrize("mime", MIMETYPE_FIRST)
def test_stored_mimetype_first_entry(mime):
    assert taxon.detect_mime(real_zip(("mimetype", mime), "content.xml")) == mime
    assert taxon.detect_mime(real_zip(("mimetype", mime), compression=zipfile.ZIP_DEFLATED)) == ZIP
    assert taxon.detect_mime(local_header("mimetype", mime.encode() + b"\0", extra=b"UT\1\0\0")) == ZIP


@pytest.mark.parametrize("mime, minimum", [(OD + "text", 78), ("application/epub+zip", 58)])
def test_mimetype_first_minimum_length(mime, minimum):
    data = real_zip(("mimetype", mime), "content.xml")
    assert taxon.detect_mime(data[:minimum]) == mime
    assert taxon.detect_mime(data[:minimum - 1]) == ZIP


@pytest.mark.skipif(not shutil.which("jar"), reason="jar tool not installed")
def test_archive_made_by_the_jar_tool(tmp_path):
    (tmp_path / "A.class").write_bytes(b"\xca\xfe\xba\xbe" + bytes(40))
    subprocess.run(["jar", "cf", "a.jar", "A.class"], cwd=tmp_path, check=True, capture_output=True)
    assert taxon.detect_mime((tmp_path / "a.jar").read_bytes()) == JAR


@pytest.mark.parametrize("data, expected", [
    (local_header("x", extra=b"\xfe\xca"), JAR),  # the jar tool's extra field, whatever the name
    (local_header("x", extra=b"\xca\xfe\0\0"), ZIP),
    # The 100th entry is looked at, the 101st is not (empty names are entries).
    (headers("[Content_Types].xml", *[""] * 98, "word/x"), DOCX),
    (headers("[Content_Types].xml", *[""] * 99, "word/x"), ZIP),
    (headers(*[""] * 99, "classes.dex"), APK),
    (headers(*[""] * 100, "classes.dex"), ZIP),
    (headers(*[""] * 99, "doc.kml"), KMZ),
    (headers(*[""] * 100, "doc.kml"), ZIP),
    # A signature inside an entry's data is taken as the next header.
    (local_header("a.bin", b"\x78\x9c" + local_header("doc.kml") + b"\0"), KMZ),
    # The first header need not stand at offset 0.
    (b"PK\x07\x08" + local_header("META-INF/MANIFEST.MF"), JAR),
    (real_zip(), ZIP),  # empty archive: end record only
    # A name that runs past the end ends the walk without yielding it.
    (local_header("doc.kml", name_len=8), ZIP),
    (local_header("doc.kml", name_len=0xFFFF), ZIP),
    # An extra field that runs past the end yields its name, then ends the walk.
    (local_header("doc.kml", extra_len=0xFFFF), KMZ),
    (local_header("[Content_Types].xml", extra_len=0xFFFF) + local_header("word/x"), ZIP),
    # A header 29 bytes before the end does not fit.
    (local_header("[Content_Types].xml") + local_header("word/")[:29], ZIP),
])
def test_entry_walk(data, expected):
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize("data", [b"PK\x03", b"PK\x03\x05\xff", b"PK\x05\x07\xff", b"pk\x03\x04\xff"])
def test_not_zip(data):
    assert taxon.detect_mime(data) != ZIP


def test_truncated_and_garbled_archives_get_an_answer():
    docx = real_zip("[Content_Types].xml", *[f"word/{i}.xml" for i in range(60)])
    for cut in range(4, 3200, 7):
        assert taxon.detect_mime(docx[:cut]) in (ZIP, DOCX)
    rng = random.Random(4)
    family = {ZIP, DOCX, XLSX, PPTX, JAR, APK, KMZ, "application/vnd.ms-visio.drawing.main+xml", *MIMETYPE_FIRST}
    for _ in range(300):  # dense with signatures, so most headers carry random lengths
        noise = b"".join(rng.choice([b"PK\x03\x04", rng.randbytes(rng.randrange(40))]) for _ in range(200))
        assert taxon.detect_mime(b"PK\x03\x04" + noise) in family
