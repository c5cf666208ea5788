"""The answers README.md lists under "Known limits", from files made the way
users make them, and the README's own examples."""
import codecs
import configparser
import csv
import io
import json
import re
import shutil
import subprocess
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

import taxon
from builders import compound_file, guid, real_zip, utf16

ROOT_DIR = Path(__file__).resolve().parent.parent
PLAIN = "text/plain; charset=utf-8"
OCTET = "application/octet-stream"
OLE = "application/x-ole-storage"
DOC_ID, MSI_ID = guid("00020906-0000-0000-C000-000000000046"), guid("000C1084-0000-0000-C000-000000000046")


def known_limits():
    text = (ROOT_DIR / "README.md").read_text(encoding="utf-8")
    return text.split("## Known limits\n", 1)[1].split("\n## ", 1)[0]


def readme_examples():
    return re.findall(r"`taxon\.detect_mime\((.+?)\)` → `'([^']+)'`", known_limits())


def test_every_limit_has_an_example_here():
    # One bullet per limit; the last three have none inline, the tests below
    # cover them. tests/test_readme.py runs the inline ones.
    assert len(re.findall(r"^- \*\*", known_limits(), re.M)) == 9
    assert len(readme_examples()) == 8


def csv_text(encoding):
    out = io.StringIO()
    csv.writer(out).writerows([["name", "size"], ["alpha", 1], ["beta", 2]])
    return out.getvalue().encode(encoding)


def ini_text(**sections):
    out = io.StringIO()
    parser = configparser.ConfigParser()
    parser.read_dict(sections)
    parser.write(out)
    return out.getvalue().encode()


def xml_text(declaration, encoding="utf-8"):
    root = ET.Element("note")
    ET.SubElement(root, "to").text = "Ada"
    return ET.tostring(root, encoding=encoding, xml_declaration=declaration)


def svg_text(declaration):
    root = ET.Element("svg", xmlns="http://www.w3.org/2000/svg", width="10", height="10")
    ET.SubElement(root, "rect", width="10", height="10")
    return ET.tostring(root, encoding="utf-8", xml_declaration=declaration)


def pom_text():
    """A Maven project file as ElementTree writes one."""
    root = ET.Element("project", xmlns="http://maven.apache.org/POM/4.0.0")
    for tag, text in [("modelVersion", "4.0.0"), ("groupId", "org.example"), ("artifactId", "demo"), ("version", "1.0")]:
        ET.SubElement(root, tag).text = text
    return ET.tostring(root, encoding="utf-8", xml_declaration=True)


PROSE = "Ça coûte très cher, n'est-ce pas? Déjà vu.\n"


@pytest.mark.parametrize("data, expected", [
    # A UTF-8 byte-order mark: plain text whatever follows; the same text without it is sub-typed.
    (csv_text("utf-8-sig"), PLAIN),
    (csv_text("utf-8"), "text/csv"),
    (json.dumps({"a": [1, 2]}).encode("utf-8-sig"), PLAIN),
    (json.dumps({"a": [1, 2]}).encode(), "application/json"),
    (codecs.BOM_UTF8 + xml_text(True), PLAIN),
    (codecs.BOM_UTF8 + b"<!DOCTYPE html><html><body>x</body></html>", PLAIN),
    # XML only with its declaration (leading white space allowed); SVG without one.
    (xml_text(False), PLAIN),
    (xml_text(True), "text/xml; charset=utf-8"),
    (b" \n" + xml_text(True), "text/xml; charset=utf-8"),
    (b'<rss version="2.0"><channel/></rss>', PLAIN),
    (b'<?xml version="1.0"?><rss version="2.0"><channel/></rss>', "application/rss+xml"),
    (b'<svg xmlns="http://www.w3.org/2000/svg"/>', "image/svg+xml"),
    (svg_text(False), "image/svg+xml"),
    (svg_text(True), "text/xml; charset=utf-8"),  # XML is tried before SVG
    # A vocabulary's marker anywhere in the view, inside any element name.
    (pom_text(), "application/vnd.ms-package.3dmanufacturing-3dmodel+xml"),
    (pom_text().replace(b"modelVersion", b"schemaVersion"), "text/xml; charset=utf-8"),
    (xml_text(True).replace(b"<to>Ada</to>", b"<feedback>ok</feedback>"), "application/atom+xml"),
    # Text in other encodings.
    (PROSE.encode("latin-1"), OCTET),
    (PROSE.encode("cp1252"), OCTET),
    ("日本語のテキストです。\n".encode("shift_jis"), OCTET),
    ("中文文本，没有别的。\n".encode("gbk"), OCTET),
    ("한국어 텍스트입니다.\n".encode("euc-kr"), OCTET),
    (PROSE.encode("utf-32-be"), OCTET),
    (PROSE.encode("utf-32-le"), OCTET),
    (codecs.BOM_UTF32_BE + PROSE.encode("utf-32-be"), OCTET),
    (codecs.BOM_UTF32_LE + PROSE.encode("utf-32-le"), "text/plain; charset=utf-16le"),
    (PROSE.encode("utf-8"), PLAIN),
    (utf16(PROSE, "be"), "text/plain; charset=utf-16be"),
    (PROSE.encode("utf-16-le"), OCTET),  # UTF-16 without its mark
    # The keyword search of the JavaScript test, tried before the other scripts.
    (b"#!/usr/bin/env python3\nimport os\nprint(os.name)\n", "text/javascript"),
    (b"#!/usr/bin/env python3\nprint('hello')\n", "text/x-python"),
    (b"#!/usr/bin/env python3\n" + b"#\n" * 120 + b"import os\n", "text/x-python"),  # past 256 bytes
    (b"#!/bin/sh\nfunction greet { echo hi; }\n", "text/javascript"),
    # Any text that opens with a C-style comment.
    (b"/* hello.c */\n#include <stdio.h>\nint main(void) { return 0; }\n", "text/javascript"),
    (b"/* styles */\nbody { margin: 0; }\n", "text/javascript"),
    (b"// settings\n{\"a\": 1}\n", "text/javascript"),
    (b" /* a space first */\n", PLAIN),
    # INI and TOML with a section first.
    (ini_text(core={"bare": "false"}, remote={"url": "x"}), "application/json"),
    (b'[tool.taxon]\nname = "x"\n', "application/json"),
    (b"; settings\n[core]\nbare = false\n", PLAIN),
])
def test_text_limits(data, expected):
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize("data, expected", [
    (compound_file(DOC_ID, directory=4), ("application/msword", ".doc")),  # root entry ends at byte 2656
    (compound_file(DOC_ID, directory=5), (OLE, "")),                       # begins at byte 3072
    (compound_file(MSI_ID, directory=5), (OLE, "")),
    (compound_file(DOC_ID, directory=5, at={512: b"\x09\x08\x10\x00\x00\x06\x05\x00"}),
     ("application/vnd.ms-excel", ".xls")),                                # a fallback decides
])
def test_office_directory_beyond_the_view(data, expected):
    assert (taxon.detect_mime(data), taxon.detect_type(data)) == expected


def test_only_the_first_3072_bytes_count():
    docx = real_zip(("[Content_Types].xml", b"<Types/>" * 400), "word/document.xml")
    assert docx.index(b"word/document.xml") > 3072
    assert taxon.detect_mime(docx) == "application/zip"
    assert taxon.detect_mime(real_zip(("[Content_Types].xml", b"<Types/>"), "word/document.xml")) == \
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document"
    text = b"plain text\n" * 300
    assert taxon.detect_mime(text[:3072] + b"\xff\xfe\x00") == PLAIN
    assert taxon.detect_mime(text[:3071] + b"\xff") == OCTET
    # A registration sees the whole buffer.
    taxon.register("application/x-tail", ".tail", matcher=lambda data: data.endswith(b"\xff\xfe\x00"))
    assert taxon.detect_mime(text[:3072] + b"\xff\xfe\x00") == "application/x-tail"


@pytest.mark.parametrize("flags, expected", [
    (["-pie", "-fPIE"], "application/x-sharedlib"),
    (["-shared", "-fPIC"], "application/x-sharedlib"),
    (["-no-pie"], "application/x-executable"),
])
def test_position_independent_executable(tmp_path, flags, expected):
    if shutil.which("cc") is None:
        pytest.skip("no C compiler (cc) to build the executables")
    (tmp_path / "m.c").write_text("int main(void) { return 0; }\n")
    made = subprocess.run(["cc", *flags, "-o", "m.out", "m.c"], cwd=tmp_path, capture_output=True)
    if made.returncode != 0:
        pytest.skip(f"cc cannot build with {flags}: {made.stderr.decode(errors='replace')[:200]}")
    data = (tmp_path / "m.out").read_bytes()
    if data[:4] != b"\x7fELF":
        pytest.skip("cc makes no ELF files on this platform")
    assert (taxon.detect_mime(data), taxon.detect_type(data)) == (expected, ".so" if "sharedlib" in expected else "")
