"""Answers that must not depend on where a construct falls against the 8-,
16- and 32-byte blocks the matchers read at a time: each case slides it over
every offset of the first few blocks. The same suite runs on the default
build and on the portable one (TAXON_SIMD=OFF), so both paths meet every edge.
"""
import pytest

import taxon
from builders import local_header

TEXT = "text/plain; charset=utf-8"
BINARY = "application/octet-stream"
LIMIT = 3072
REFUSED = set(range(0x00, 0x09)) | {0x0B} | set(range(0x0E, 0x1B)) | set(range(0x1C, 0x20))


def is_text(data):
    """The UTF-8 rule, from Python's own decoder: not empty, no refused
    control byte, well formed (a full view may end inside a character)."""
    if not data or REFUSED & set(data):
        return False
    try:
        data.decode("utf-8")
        return True
    except UnicodeDecodeError as e:
        return len(data) == LIMIT and e.reason == "unexpected end of data"


SEQUENCES = [
    "é".encode(), "€".encode(), "𝄞".encode(), "\U0010ffff".encode(), "\ud7ff".encode(),
    b"\xc0\x80", b"\xc1\xbf", b"\xe0\x80\xaf", b"\xe0\x9f\xbf", b"\xed\xa0\x80", b"\xf0\x8f\xbf\xbf",
    b"\xf4\x90\x80\x80", b"\xf5\x80\x80\x80", b"\xff", b"\x80", b"\xbf\xbf", b"\xc3a", b"\xe2\x82a", b"\xf0\x9f\x98a",
    b"\xe2\x82", b"\x00", b"\x0b", b"\x1a", b"\x1f", b"\t", b"\x0c", b"\r\n", b"\x1b", b"\x7f",
]
FILLERS = [b"x", "ж".encode(), "漢".encode()]


@pytest.mark.parametrize("seq", SEQUENCES, ids=repr)
@pytest.mark.parametrize("filler", FILLERS, ids=repr)
def test_utf8_sequence_at_every_offset(seq, filler):
    for count in range(0, 72 // len(filler)):
        for tail in (b"", b"y", b"y" * 7, b"y" * 40):
            data = filler * count + seq + tail
            expected = TEXT if is_text(data) else BINARY
            assert taxon.detect_mime(data) == expected, data


@pytest.mark.parametrize("char, missing", [("é", 1), ("€", 1), ("€", 2), ("𝄞", 1), ("𝄞", 2), ("𝄞", 3)])
def test_utf8_cut_by_the_read_limit(char, missing):
    encoded = char.encode()
    for filler in FILLERS:
        need = LIMIT - len(encoded) + missing  # bytes before the character
        data = filler * (need // len(filler)) + b"x" * (need % len(filler)) + encoded
        assert len(data) > LIMIT
        # The walk sees 3072 bytes, cut inside the character: still text.
        assert taxon.detect_mime(data) == TEXT
        # The same bytes ending a shorter buffer are a broken character.
        assert taxon.detect_mime(data[1:LIMIT]) == BINARY


DECL = b'<?xml version="1.0"?>'


# Each vocabulary is told by the first `telling` bytes of its needle.
@pytest.mark.parametrize("needle, telling, mime", [
    (b"<rss", 4, "application/rss+xml"),
    (b"<owl", 4, "application/owl+xml"),
    (b"TrainingCenterDatabase", 20, "application/vnd.garmin.tcx+xml"),
    (b"http://www.w3.org/1999/xhtml", 26, "application/xhtml+xml"),
])
def test_xml_needle_at_every_offset(needle, telling, mime):
    for pad in range(0, 80):
        assert taxon.detect_mime(DECL + b" " * pad + needle + b"/>") == mime, pad
        # Ending the buffer, whole and one byte short.
        assert taxon.detect_mime(DECL + b" " * pad + needle[:telling]) == mime, pad
        assert taxon.detect_mime(DECL + b" " * pad + needle[: telling - 1]) == "text/xml; charset=utf-8", pad


@pytest.mark.parametrize("keys, mime", [
    (b'"type": "FeatureCollection", "features": []', "application/geo+json"),
    (b'"asset": {}, "scenes": [], "nodes": []', "model/gltf+json"),
])
def test_json_keys_at_every_offset(keys, mime):
    for pad in range(0, 80):
        assert taxon.detect_mime(b'{"pad": "' + b"p" * pad + b'", ' + keys + b"}") == mime, pad


@pytest.mark.parametrize("keyword", [b"function", b"var ", b"let ", b"const ", b"class ", b"import ", b"export "])
def test_javascript_keyword_at_every_offset(keyword):
    # Keywords count only when wholly inside the first 256 bytes.
    for pad in list(range(0, 40)) + list(range(256 - len(keyword) - 12, 257 - len(keyword) + 2)):
        data = b"x" * pad + keyword + b" and more words after it, well past the window" * 8
        expected = "text/javascript" if pad + len(keyword) <= 256 else TEXT
        assert taxon.detect_mime(data) == expected, pad


def test_zip_entry_after_data_of_every_length():
    docx = "application/vnd.openxmlformats-officedocument.wordprocessingml.document"
    for length in range(0, 80):
        data = local_header("[Content_Types].xml", b"d" * length) + local_header("word/document.xml")
        assert taxon.detect_mime(data) == docx, length
        # A signature cut by the end of the buffer is no header.
        cut = local_header("[Content_Types].xml", b"d" * length) + b"PK\x03"
        assert taxon.detect_mime(cut) == "application/zip", length


@pytest.mark.parametrize("order, bom", [("le", b"\xff\xfe"), ("be", b"\xfe\xff")])
@pytest.mark.parametrize("char", ["é", "€", "𝄞", "\ud800", "\udc00"])
def test_utf16_character_at_every_unit(order, bom, char):
    encoding = "utf-16-" + order
    encoded = char.encode(encoding, "surrogatepass")
    unpaired = len(char) == 1 and 0xD800 <= ord(char) <= 0xDFFF
    for pad in range(0, 40):
        data = bom + ("[" + " " * pad).encode(encoding) + b'\0"'[:: 1 if order == "be" else -1] + encoded \
            + '"]'.encode(encoding)
        expected = f"text/plain; charset=utf-16{order}" if unpaired else "application/json; charset=utf-16"
        assert taxon.detect_mime(data) == expected, pad
