"""Text formats inside UTF-16 text with a byte-order mark, in both byte orders."""

import pytest

import taxon
from builders import UTF16_BOMS, utf16

ORDERS = UTF16_BOMS
PLAIN = {"be": "text/plain; charset=utf-16be", "le": "text/plain; charset=utf-16le"}

HTML = "text/html; charset=utf-16"
XML = "text/xml; charset=utf-16"
SVG = "image/svg+xml; charset=utf-16"
JSON = "application/json; charset=utf-16"
CSV = "text/csv; charset=utf-16"
TSV = "text/tab-separated-values; charset=utf-16"
SRT = "application/x-subrip; charset=utf-16"
VTT = "text/vtt; charset=utf-16"
VCARD = "text/vcard; charset=utf-16"
ICAL = "text/calendar; charset=utf-16"
RTF = "text/rtf; charset=utf-16"


def answer(text, order):
    got = taxon.detect_mime(utf16(text, order))
    return "plain" if got == PLAIN[order] else got


both_orders = pytest.mark.parametrize("order", ORDERS)


@both_orders
@pytest.mark.parametrize("text, mime, ext", [
    ("<html><body>x", HTML, ".html"),
    ("<?xml version='1.0'?><a/>", XML, ".xml"),
    ("<svg xmlns='http://www.w3.org/2000/svg'/>", SVG, ".svg"),
    ('{"a": [1, 2]}', JSON, ".json"),
    ("a,b\nc,d\n", CSV, ".csv"),
    ("a\tb\nc\td\n", TSV, ".tsv"),
    ("1\n00:00:01,000 --> 00:00:02,000\nHi\n", SRT, ".srt"),
    ("WEBVTT\n\n00:01.000 --> 00:02.000\nHi\n", VTT, ".vtt"),
    ("BEGIN:VCARD\nVERSION:4.0\nEND:VCARD\n", VCARD, ".vcf"),
    ("BEGIN:VCALENDAR\nVERSION:2.0\nEND:VCALENDAR\n", ICAL, ".ics"),
    ("{\\rtf1\\ansi Hello}", RTF, ".rtf"),
])
def test_each_variant(order, text, mime, ext):
    data = utf16(text, order)
    assert (taxon.detect_mime(data), taxon.detect_type(data)) == (mime, ext)


@both_orders
@pytest.mark.parametrize("text, expected", [
    # Siblings are tried HTML, XML, SVG, JSON, CSV, TSV, SRT, VTT, VCARD, ICALENDAR, RTF.
    ("<?xml version='1.0'?><svg/>", XML),
    ("<svg>", SVG),
    ("<p>a,b\nc,d", HTML),
    ("[1,2]\n[3,4]", JSON),
    ("a,b\tc\nd,e\tf", CSV),
    ("{\\rtf1 {x}}", RTF),             # a backslash outside a string is no JSON
    ('{"a\\"}": 1}', JSON),            # an escaped quote does not end the string
    ('{}\\', "plain"),
    ("plain text", "plain"),
])
def test_sibling_order(order, text, expected):
    assert answer(text, order) == expected


def test_byte_order_mark_decides_the_order():
    # Big-endian units behind a little-endian mark read as other characters.
    assert taxon.detect_mime(b"\xff\xfe" + "<html>".encode("utf-16-be")) == PLAIN["le"]
    assert taxon.detect_mime(b"\xfe\xff" + "<html>".encode("utf-16-le")) == PLAIN["be"]
    # A second mark, of either order, is a character like any other.
    assert answer("\ufeff<?xml", "le") == "plain"
    assert taxon.detect_mime(b"\xff\xfe\xfe\xff" + "<?xml".encode("utf-16-le")) == PLAIN["le"]


@both_orders
@pytest.mark.parametrize("text, expected", [
    ("", "plain"),                     # the mark alone
    ("<?xml\ud83d\ude00", XML),        # a surrogate pair
    ("<?xml\ud83d", "plain"),          # high surrogate at the end
    ("<?xml\ud83dx", "plain"),         # high surrogate, then no low one
    ("<?xml\ude00", "plain"),          # low surrogate alone
    ("<?xml\ude00\ud83d", "plain"),    # a pair in the wrong order
    ("<?xml\x00", XML),                # U+0000 decodes as itself
    ("<?xml\uffff\ufffe", XML),        # so do noncharacters
])
def test_strict_decoding(order, text, expected):
    assert answer(text, order) == expected


@both_orders
def test_odd_length_is_never_decoded(order):
    for tail in (b"\x00", b"\x20", b">"):
        assert taxon.detect_mime(utf16("<?xml", order) + tail) == PLAIN[order]
    assert taxon.detect_mime(ORDERS[order][0] + b"\x00") == PLAIN[order]


@both_orders
@pytest.mark.parametrize("total_units, tail, expected", [
    (1536, "\ud83d", XML),             # 3072 bytes: the cut split a pair, the half is dropped
    (1535, "\ud83d", "plain"),         # 3070 bytes: a true unpaired surrogate
    (1536, "\ude00", "plain"),         # a low surrogate is never dropped
    (1536, "\ud83d\ude00", XML),       # longer data: the walk sees the first half only
])
def test_surrogate_pair_cut_by_the_view_limit(order, total_units, tail, expected):
    text = "<?xml" + "x" * (total_units - 1 - 5 - 1) + tail
    assert answer(text, order) == expected
    # An unpaired surrogate before the cut still spoils everything.
    assert answer("<?xml\ud83d" + text[6:], order) == "plain"


WHITE = "\t\n\x0b\x0c\r \x85\xa0\u1680\u2000\u200a\u2028\u2029\u202f\u205f\u3000"


@both_orders
@pytest.mark.parametrize("body, expected", [
    ("<?xml", XML), ("<svg", SVG), ("{}", JSON), ("WEBVTT", VTT), ("begin:vcard", VCARD),
    ("begin:vcalendar", ICAL), ("1\n00:00:01,000 --> 00:00:02,000\n", SRT),
    # These two skip nothing.
    ("<html>", "plain"), ("{\\rtf1}", "plain"),
])
def test_unicode_white_space_is_skipped_where_allowed(order, body, expected):
    assert answer(WHITE + body, order) == expected
    # Not white space: zero width space, word joiner, next to U+2000..U+200A.
    assert answer("\u200b" + body, order) == "plain"
    assert answer("\u2060" + body, order) == "plain"


@both_orders
@pytest.mark.parametrize("text, expected", [
    ("<html>", HTML), ("<HtMl>", HTML), ("<!doctype html>", HTML), ("<!DOCTYPE HTML ", HTML),
    ("<html\t", HTML), ("<html\n", HTML), ("<br ", HTML), ("<p>", HTML),
    ("<html\r", "plain"), ("<html\x0c", "plain"), ("<br/>", "plain"), ("<pr>", "plain"),
    ("<!DOCTYPE  HTML>", "plain"), ("<html", "plain"), ("<a", "plain"), ("<a>", HTML),
    # Full upper case: long s and dotless i stand for S and I.
    ("<\u017fcript>", HTML), ("<\u0131frame>", HTML), ("<\ufb06yle>", HTML),
    ("<\u00dftyle>", "plain"),         # sharp s is "SS", not "S"
    # The byte length must exceed the tag's, but the character after the tag is
    # looked up by character position in the text itself.
    ("<script", "plain"),              # 7 bytes, like the tag
    ("<\u017fcript", HTML),            # 8 bytes, 7 characters: nothing at position 7
    ("<\u017fcriptX", "plain"),        # position 7 holds "X"
    ("<\ufb05yleX", HTML),             # "ST" from one character: position 6 is empty
    ("<\ufb05yleXY", "plain"),         # position 6 holds "Y"
])
def test_html(order, text, expected):
    assert answer(text, order) == expected


@both_orders
@pytest.mark.parametrize("text, expected", [
    ("\u3000{}", JSON), ("{", "plain"), ("{]", "plain"), ("[{]}", JSON), ('"x"', "plain"),
    ('{"}": 1}', JSON),
    # The window is 512 characters from the opening bracket.
    ("[" + "x" * 510 + "]", JSON),
    ("[" + "x" * 510 + "]]", JSON),            # the negative count lies past the window
    ("[" + "x" * 509 + "]]", "plain"),         # ... or just inside it
    ("[" + "x" * 511, "plain"),                # text ends with the window: counts must be 0
    ("[" + "x" * 512, JSON),                   # window full before the text ends
    ("[" + "\u00e9" * 300 + "]]", "plain"),    # characters, not bytes: 303 < 512
    ("[" + "\u6587" * 600, JSON),
])
def test_json_window(order, text, expected):
    assert answer(text, order) == expected


@both_orders
@pytest.mark.parametrize("text, expected", [
    ("a,b\nc,d", CSV), ("a,b\nc,d\n", CSV), ("a,b\r\nc,d\r\n", CSV),
    ("a,b\n\nc,d", "plain"), ("a,b\n", "plain"), ("ab\nc,d", "plain"), ("\na,b\nc,d", "plain"),
    ("a,b\nc,d\ne,f\ng,h\ni,j\nk", CSV),       # only the first five lines count
    ("a,b\nc,d\ne,f\ng,h\nij\n", "plain"),
    ("x" * 1200 + ",y\na,b", CSV),             # no length limit on text lines
    ("a\u00e9,b\n\u6587,d", CSV),
    ("x\ty\n1\t2\n", TSV), ("x\ty\n1\t2\t3", "plain"),
])
def test_delimited_lines(order, text, expected):
    assert answer(text, order) == expected


@both_orders
@pytest.mark.parametrize("text, expected", [
    ("1\n00:00:01,000 --> 00:00:02,000", SRT), ("1\r\n00:00:01,000 --> 00:00:02,000\r\n", SRT),
    ("\u00a0\x0c1\na --> b", SRT),
    ("2\n00:00:01,000 --> 00:00:02,000", "plain"), ("10\n00:00:01,000 --> 00:00:02,000", "plain"),
    ("1\n00:00:01,000-->00:00:02,000", "plain"), ("1\n\n00:00:01,000 --> 00:00:02,000", "plain"),
    ("1\n", "plain"),
])
def test_srt(order, text, expected):
    assert answer(text, order) == expected


@both_orders
@pytest.mark.parametrize("text, expected", [
    ("WEBVTT", VTT), ("WEBVTT\x0c", VTT), ("WEBVTT\r", VTT), ("WEBVTT\t", VTT), ("WEBVTT - x", VTT),
    ("WEBVTTX", "plain"), ("webvtt", "plain"), ("WEBVTT\u00a0", "plain"), ("WEBVT", "plain"),
    ("BeGiN:vCaRd", VCARD), ("beg\u0131n:vcard", VCARD), ("BEGIN:VCAR", "plain"), ("BEGIN VCARD", "plain"),
    ("BEG\u0131N:VCALENDAR", ICAL), ("begin:vcalenda", "plain"),
    ("{\\rtf", RTF), ("{\\rt", "plain"), ("{\\RTF1", "plain"), (" {\\rtf1", "plain"),
])
def test_fixed_openings(order, text, expected):
    assert answer(text, order) == expected


@pytest.mark.parametrize("data", [
    b"\xfe\xff", b"\xff\xfe", b"\xff\xfe\x00", b"\xfe\xff" + b"\xd8\x00" * 2000,
    b"\xff\xfe" + b"\x00\xdc" * 2000, b"\xff\xfe" + bytes(range(256)) * 20,
    b"\xfe\xff" + b"\x00[" * 3000, b"\xff\xfe" + b"\n\x00" * 3000,
])
def test_hostile_input_gets_an_answer(data):
    assert taxon.detect_mime(data) in {PLAIN["be"], PLAIN["le"], JSON, CSV, TSV}
