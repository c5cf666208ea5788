import glob
import os
import xml.etree.ElementTree as ET

import pytest

import taxon

HTML = "text/html; charset=utf-8"
XML = "text/xml; charset=utf-8"
SVG = "image/svg+xml"
TEXT = "text/plain; charset=utf-8"
DECL = b'<?xml version="1.0" encoding="UTF-8"?>\n'


@pytest.mark.parametrize(
    "data, expected",
    [
        (b"<html>", HTML),
        (b"<HtMl>", HTML),
        (b" \t\r\n\x0c<html>", HTML),
        (b"<html", TEXT),  # nothing after the tag
        (b"<html\n", TEXT),  # only a space or '>' may follow
        (b"<html lang=en>", HTML),
        (b"<!doctype html>", HTML),
        (b"<!DOCTYPE  html>", TEXT),  # two spaces
        (b"<br/>", TEXT),
        (b"<br>", HTML),
        (b"<pre>", TEXT),
        (b"<p>", HTML),
        (b"<H1>", HTML),
        (b"<?xml", XML),
        (b"\n  <?xml version='1.0'?><doc/>", XML),
        (b"<?XML version='1.0'?>", TEXT),
        (b"   ", TEXT),
        (b"<svg", SVG),
        (b"\n<svg xmlns='http://www.w3.org/2000/svg'/>", SVG),
        (b"<svG>", TEXT),
        (DECL + b"<svg/>", XML),  # XML is tried before SVG
        (b"<rss version='2.0'>", TEXT),  # no declaration: not XML at all
    ],
)
def test_markup(data, expected):
    assert taxon.detect_mime(data) == expected


VOCABULARIES = [
        (b"<rss", "application/rss+xml"),
        (b"<feed", "application/atom+xml"),
        (b"<X3D", "model/x3d+xml"),
        (b"<kml", "application/vnd.google-earth.kml+xml"),
        (b"<xliff", "application/x-xliff+xml"),
        (b"<COLLADA", "model/vnd.collada+xml"),
        (b"<gml", "application/gml+xml"),
        (b"<gpx", "application/gpx+xml"),
        (b"<TrainingCenterDataba", "application/vnd.garmin.tcx+xml"),
        (b"TrainingCenterDataba", "application/vnd.garmin.tcx+xml"),
        (b"<amf", "application/x-amf"),
        (b"<model", "application/vnd.ms-package.3dmanufacturing-3dmodel+xml"),
        (b"<xfdf", "application/vnd.adobe.xfdf"),
        (b"<owl", "application/owl+xml"),
        (b"<html xmlns='http://www.w3.org/1999/xht", "application/xhtml+xml"),
]


@pytest.mark.parametrize(
    "needle, expected",
    VOCABULARIES + [
        (b"<RSS", XML),  # case-sensitive
        (b"TrainingCenterDatab", XML),  # one byte short
        (b"<html xmlns='http://www.w3.org/1999/xh", XML),
    ],
)
def test_xml_vocabularies_anywhere_in_the_view(needle, expected):
    # The needle counts wherever it stands, here deep inside a comment.
    data = DECL + b"<!-- " + b"filler " * 300 + needle + b" -->"
    assert len(data) < 3072
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize("offset", range(0, 80, 3))
def test_needle_at_every_alignment(offset):
    for tail in (b"", b"-" * 50):
        data = DECL + b"-" * offset + b"<rss" + tail
        assert taxon.detect_mime(data) == "application/rss+xml"
        assert taxon.detect_mime(data.replace(b"<rss", b"<rsS")) == XML


def test_needle_beyond_the_read_limit_is_not_seen():
    assert taxon.detect_mime(DECL + b" " * 3072 + b"<rss>") == XML


def test_earliest_vocabulary_wins():
    assert taxon.detect_mime(DECL + b"<kml><rss/></kml>") == "application/rss+xml"
    assert taxon.detect_mime(DECL + b"<feed><owl/></feed>") == "application/atom+xml"


def test_xhtml_needs_the_declaration():
    page = b"<html xmlns='http://www.w3.org/1999/xhtml'>"
    assert taxon.detect_mime(b"<!DOCTYPE html>" + page) == HTML
    assert taxon.detect_mime(DECL + page) == "application/xhtml+xml"


def test_svg_written_by_elementtree():
    ns = "http://www.w3.org/2000/svg"
    ET.register_namespace("", ns)
    root = ET.Element(f"{{{ns}}}svg", width="10", height="10")
    ET.SubElement(root, f"{{{ns}}}rect", width="5", height="5")
    assert taxon.detect_mime(ET.tostring(root)) == SVG
    assert taxon.detect_type(ET.tostring(root)) == ".svg"
    # With its declaration it is an XML document first.
    assert taxon.detect_mime(ET.tostring(root, xml_declaration=True, encoding="utf-8")) == XML


def system_files(pattern, limit=20):
    out = []
    for path in sorted(glob.glob(pattern, recursive=True))[:200]:
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        try:
            data[:3000].decode("utf-8")
        except UnicodeDecodeError:
            continue
        out.append(data)
        if len(out) == limit:
            break
    if not out:
        pytest.skip(f"no file matches {pattern}")
    return out


def test_html_documentation_on_this_machine():
    for data in system_files("/usr/share/doc/*/*.html"):
        start = data.lstrip(b" \t\r\n\x0c").lower()
        if start.startswith((b"<!doctype html>", b"<!doctype html ", b"<html>", b"<html ")):
            assert taxon.detect_mime(data) == HTML


def test_xml_files_on_this_machine():
    # An XML document ends at XML or one of its vocabularies, never as text.
    family = {XML} | {expected for _, expected in VOCABULARIES}
    for data in system_files("/usr/share/xml/**/*.xml") + system_files("/etc/**/*.xml"):
        if data.lstrip(b" \t\r\n\x0c").startswith(b"<?xml"):
            assert taxon.detect_mime(data) in family
