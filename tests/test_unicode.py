"""The Unicode data behind the UTF-16 text tests: full upper case and White_Space.

Python's own Unicode database serves as an independent reference, checked
through the detector (HTML and XML in UTF-16) and against the committed
generated tables.
"""

import pathlib
import re
import unicodedata

import pytest

import taxon
from builders import utf16

TABLES = pathlib.Path(__file__).resolve().parent.parent / "src" / "tree" / "unicode" / "unicode_data.hpp"
HTML = "text/html; charset=utf-16"
XML = "text/xml; charset=utf-16"
TAGS = ["<!DOCTYPE HTML", "<HTML", "<HEAD", "<SCRIPT", "<IFRAME", "<H1", "<DIV", "<FONT",
        "<TABLE", "<A", "<STYLE", "<TITLE", "<B", "<BODY", "<BR", "<P"]
WHITE_SPACE = {*range(0x09, 0x0E), 0x20, 0x85, 0xA0, 0x1680, *range(0x2000, 0x200B),
               0x2028, 0x2029, 0x202F, 0x205F, 0x3000}


def tables_version():
    if not TABLES.exists():
        pytest.skip("source tree not available")
    return re.search(r'VERSION\[\] = "([\d.]+)"', TABLES.read_text()).group(1)


def comparable():
    """Python's database may stand for the tables (same or older version)."""
    ours = tuple(map(int, tables_version().split(".")))
    python = tuple(map(int, unicodedata.unidata_version.split(".")))
    if python[:2] > ours[:2]:
        pytest.skip(f"Python has Unicode {unicodedata.unidata_version}, newer than the tables")


def scalar_values(stop=0x110000):
    return (cp for cp in range(stop) if not 0xD800 <= cp <= 0xDFFF)


def test_tables_match_python_full_upper_case():
    comparable()
    source = TABLES.read_text()
    runs = re.search(r"UPPER_RUNS\[\] = \{(.*?)\n\};", source, re.S).group(1)
    expansions = re.search(r"UPPER_EXPANSIONS\[\] = \{(.*?)\n\};", source, re.S).group(1)
    ours = {}
    for first, count, stride, delta in re.findall(r"\{0x(\w+), (\d+), (\d+), (-?\d+)\}", runs):
        for i in range(int(count)):
            cp = int(first, 16) + i * int(stride)
            ours[cp] = chr(cp + int(delta))
    for code, to in re.findall(r"\{0x(\w+), \{([^}]*)\}\}", expansions):
        ours[int(code, 16)] = "".join(chr(int(x, 16)) for x in to.split(", ") if int(x, 16))
    for cp in scalar_values():
        c = chr(cp)
        if unicodedata.category(c) != "Cn":
            assert ours.get(cp, c) == c.upper(), f"U+{cp:04X}"


@pytest.mark.parametrize("char, upper", [
    ("\u00df", "SS"), ("\ufb01", "FI"), ("\ufb00", "FF"), ("\u0149", "\u02bcN"),
    ("\u1f80", "\u1f08\u0399"), ("\u0390", "\u0399\u0308\u0301"),
])
def test_one_to_many_cases(char, upper):
    tables_version()
    to = ", ".join(f"0x{ord(c):04X}" for c in upper.ljust(3, "\0"))
    assert f"{{0x{ord(char):04X}, {{{to}}}}}" in TABLES.read_text()


def html_expected(text):
    upper = text.upper()
    for tag in TAGS:
        if len(text.encode()) > len(tag) and upper.startswith(tag):
            if len(text) <= len(tag) or text[len(tag)] in "\t\n >":
                return True
    return False


@pytest.mark.parametrize("template", ["<{} ", "<{}tyle", "<{}1>"])
def test_upper_case_through_html(template):
    comparable()
    for cp in scalar_values(0x20000):
        if cp < 0x80 and template != "<{} ":
            continue
        text = template.format(chr(cp))
        assert (taxon.detect_mime(utf16(text, "le")) == HTML) == html_expected(text), f"U+{cp:04X} in {text!r}"


def test_white_space_set():
    for cp in scalar_values(0x10000):
        assert (taxon.detect_mime(utf16(chr(cp) + "<?xml", "le")) == XML) == (cp in WHITE_SPACE), f"U+{cp:04X}"
    for cp in (0x1F600, 0x10FFFF, 0xE0020):
        assert taxon.detect_mime(utf16(chr(cp) + "<?xml", "le")) != XML
