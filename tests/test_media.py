import pytest

import taxon
from builders import EBML_ID, ebml, ftyp, ogg_page

MP4, GPP, GPP2, HEIC = ("video/mp4", ".mp4"), ("video/3gpp", ".3gp"), ("video/3gpp2", ".3g2"), ("image/heic", ".heic")


@pytest.mark.parametrize("brand, expected", [
    (b"isom", MP4), (b"mp42", MP4), (b"avif", ("image/avif", ".avif")), (b"avis", ("image/avif", ".avif")),
    (b"3gp4", GPP), (b"3gp9", GPP), (b"3gpa", GPP), (b"3gpp", GPP), (b"3gpb", MP4), (b"3gp3", MP4),
    (b"3g24", GPP2), (b"3g2c", GPP2), (b"3g2d", MP4), (b"3g2p", MP4),
    (b"M4A ", ("audio/mp4", ".mp4")), (b"M4A\0", MP4), (b"m4a ", MP4), (b"M4V ", ("video/x-m4v", ".m4v")),
    (b"heic", HEIC), (b"heix", HEIC), (b"hevc", ("image/heic-sequence", ".heic")),
    (b"mif1", ("image/heif", ".heif")), (b"msf1", ("image/heif-sequence", ".heif")),
    (b"mj2s", ("video/mj2", ".mj2")), (b"mjp2", ("video/mj2", ".mj2")), (b"dvb1", ("video/vnd.dvb.file", ".dvb")),
    (b"qt  ", ("video/quicktime", ".mov")), (b"mqt ", ("video/quicktime", ".mqv")),
])
def test_major_brand(brand, expected):
    data = ftyp(brand)
    assert (taxon.detect_mime(data), taxon.detect_type(data)) == expected


WIDTH_SIZES = [b"\x88", b"\x40\x08", b"\x20\0\x08", b"\x10\0\0\x08", b"\x08" + bytes(4),
               b"\x04" + bytes(5), b"\x02" + bytes(6), b"\x01" + bytes(7), b"\x00" + bytes(7)]


@pytest.mark.parametrize("size", WIDTH_SIZES)
def test_ebml_doctype_after_its_size(size):
    assert taxon.detect_mime(ebml(b"matroska", size)) == "video/x-matroska"
    assert taxon.detect_mime(ebml(b"webm", size)) == "video/webm"
    # One byte more or less between the size and the text misses it.
    assert taxon.detect_mime(ebml(b"matroska", size + b"\0")) != "video/x-matroska"
    assert taxon.detect_mime(ebml(b"matroska", size[:-1])) != "video/x-matroska"


@pytest.mark.parametrize("data, expected", [
    (ftyp(b"isom", size=12), "video/mp4"),
    (ftyp(b"qt  ", size=24, length=20), "video/quicktime"),
    (ftyp(b"qt  ", size=0xFFFFFFFF, length=12), "video/quicktime"),
    (ebml(b"webmx"), "video/webm"),
    # Only the first 42 82 counts, whether or not it is a valid DocType.
    (ebml(b"webm", before=b"\x42\x82\x84webm\x42\x82\x84bogus"), "video/webm"),
    (ogg_page(b"\x01vorbis", 37), "audio/ogg"), (ogg_page(b"\x01vorbis", 36), "application/ogg"),
    (ogg_page(b"\x7fFLAC"), "audio/ogg"), (ogg_page(b"OpusHead"), "audio/ogg"), (ogg_page(b"Speex   "), "audio/ogg"),
    (ogg_page(b"\x80theora"), "video/ogg"), (ogg_page(b"fishead\0"), "video/ogg"),
    (ogg_page(b"\x01video\0\0\0"), "video/ogg"), (ogg_page(b"\x01video\0\0\x01"), "application/ogg"),
    (ogg_page(b"Speex  \0"), "application/ogg"), (ogg_page(b"\x02vorbis"), "application/ogg"), (b"OggS", "application/ogg"),
    (b"ID3", "audio/mpeg"), (b"\xff\xfb\x90", "audio/mpeg"), (b"\xff\xfa\x90", "audio/mpeg"),
    (b"\xff\xf3\x90", "audio/mpeg"), (b"\xff\xf2\x90", "audio/mpeg"), (b"\xff\xe3\x90", "audio/mpeg"),
    (b"\xff\xe2\x90", "audio/mpeg"), (b"\xff\xf1", "audio/aac"), (b"\xff\xf9\x50\x80", "audio/aac"),
    (b"\0\0\x01\xba\x44", "video/mpeg"), (b"\0\0\x01\xb3\x14", "video/mpeg"), (b"\0\0\x01\xbf", "video/mpeg"),
])
def test_containers_and_streams(data, expected):
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize("data, not_expected", [
    (ftyp(b"isom", size=12, length=11), "video/mp4"), (ftyp(b"isom", size=13, length=16), "video/mp4"),
    (ftyp(b"isom", size=8, length=16), "video/mp4"), (ftyp(b"isom", size=0), "video/mp4"),
    (ftyp(b"isom", size=0xFFFFFFFF, length=24), "video/mp4"), (ftyp(b"isom", size=32, length=20), "video/mp4"),
    (ftyp(b"M4A ", size=24, length=20), "audio/mp4"), (b"\0\0\0\x18moovisom" + bytes(12), "video/mp4"),
    (ebml(b"matroska", before=b"\x42\x86\x82\x42\x82"), "video/x-matroska"),
    (ebml(b"matroska", after=b"")[:-1], "video/x-matroska"), (EBML_ID + b"\x9f\x42\x82", "video/webm"),
    (EBML_ID[:3] + b"\xa4\x9f\x42\x82\x84webm", "video/webm"),
    (b"OgG" + b"S\xff", "application/ogg"),
    (b"\xff\xfb", "audio/mpeg"), (b"\xff\xfd\x90", "audio/mpeg"), (b"\xff\xea\x90", "audio/mpeg"),
    (b"\xfe\xfb\x90", "audio/mpeg"), (b"\xff\xf1\x90", "audio/mpeg"),
    (b"\xff\xf0\x50", "audio/aac"), (b"\xff\xf8\x50", "audio/aac"), (b"\xff", "audio/aac"),
    (b"\0\0\x01\xe0", "video/mpeg"), (b"\0\0\x01\xa0", "video/mpeg"), (b"\0\0\x01", "video/mpeg"),
    (b"\0\x01\x01\xba", "video/mpeg"),
])
def test_near_misses(data, not_expected):
    assert taxon.detect_mime(data) != not_expected
