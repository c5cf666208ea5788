import csv
import io

import pytest

import taxon

CSV = "text/csv"
TSV = "text/tab-separated-values"
TEXT = "text/plain; charset=utf-8"
SRT = "application/x-subrip"


@pytest.mark.parametrize(
    "data, expected",
    [
        (b"a,b\nc,d", CSV),
        (b"a,b\nc,d\n", CSV),  # the piece after the final line feed is not a line
        (b"a,b\n", TEXT),  # a single line is not a table
        (b"a,b\nc,d\n\n", TEXT),  # an empty line among the first five
        (b"a,b\r\nc,d\r\n", CSV),
        (b"a,b\nc,d\ne,f\ng,h\ni,j\n", CSV),
        (b"a,b\nc,d\ne,f\ng,h\ni,j\nk", CSV),  # the sixth line is not looked at
        (b"a,b\nc,d\ne,f\ng,h\nij", TEXT),
        (b"a,b\nc,d,e", TEXT),
        (b"ab\ncd", TEXT),
        (b"\na,b\nc,d", TEXT),  # the first line is empty
        (b'"x,y",z\n"1,2",3', CSV),  # no quoting: quoted commas count
        (b"x\ty\n1\t2\n", TSV),
        (b"a,b\tc\nd,e\tf", CSV),  # consistent for both: CSV is tried first
        (b"a,b\nlet me know,x", "text/javascript"),  # a keyword wins before CSV
    ],
)
def test_delimited(data, expected):
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize(
    "first_line_length, expected",
    [
        (1021, CSV),  # second line cut to "c," by the 1024-byte limit
        (1022, TEXT),  # cut to "c": one comma short
        (1023, TEXT),  # the limit falls right after the first line feed
        (1024, TEXT),  # the first line feed lies beyond the limit
    ],
)
def test_delimited_1024_byte_limit(first_line_length, expected):
    first = b"a," + b"x" * (first_line_length - 2)
    assert taxon.detect_mime(first + b"\nc,d\n") == expected


def test_csv_written_by_the_csv_module():
    for rows in (2, 3, 4, 40):
        out = io.StringIO()
        writer = csv.writer(out)
        writer.writerow(["name", "price", "amount"])
        writer.writerows([["item %d" % i, "%d.5" % i, i] for i in range(rows - 1)])
        assert taxon.detect_mime(out.getvalue().encode()) == CSV
        out = io.StringIO()
        csv.writer(out, delimiter="\t").writerows([["a", "b"], ["1", "2"], ["3", "4"]][:rows])
        assert taxon.detect_type(out.getvalue().encode()) == ".tsv"


CUE = b"00:00:01,000 --> 00:00:02,000\nHello\n"


@pytest.mark.parametrize(
    "data, expected",
    [
        (b"1\n" + CUE, SRT),
        (b"\n\n1\n" + CUE, SRT),
        (b"\x0c 1\r\n" + CUE, SRT),
        (b"2\n" + CUE, TEXT),
        (b"10\n" + CUE, TEXT),
        (b"1\n00:00:01,000-->00:00:02,000\n", TEXT),
        (b"1\n --> ", SRT),  # five bytes, the arrow alone
        (b"1\n", TEXT),
        (b"1\nx\n" + CUE, TEXT),  # the arrow must be on the second line
        (b"WEBVTT", "text/vtt"),
        (b"WEBVTT\n\n00:01.000 --> 00:02.000\nHi", "text/vtt"),
        (b"WEBVTT - title", "text/vtt"),
        (b"WEBVTTX", TEXT),
        (b"WEBVTT\x0c", TEXT),
        (b"webvtt", TEXT),
        (b" WEBVTT", TEXT),
        (b"BEGIN:VCARD\r\nVERSION:4.0\r\nEND:VCARD\r\n", "text/vcard"),
        (b"begin:vCard", "text/vcard"),
        (b"BEGIN:VCAR", TEXT),
        (b" BEGIN:VCARD", TEXT),
        (b"BEGIN:VCALENDAR\r\nVERSION:2.0\r\n", "text/calendar"),
        (b"Begin:VCalendar", "text/calendar"),
        (b"BEGIN:VCALENDA", TEXT),
        (b"{\\rtf1\\ansi hello}", "text/rtf"),
        (b"{\\RTF1", TEXT),
        (b"WARC/1.0\r\nWARC-Type: warcinfo\r\n", "application/warc"),
        (b"WARC/1.1", "application/warc"),
        (b"WARC/1.2", TEXT),
        (b"WARC/0.9", TEXT),
        (b"#EXTM3U\n#EXTINF:123,Artist - Title\nfile.mp3\n", "audio/x-mpegurl"),
        (b"#EXTM3U\xff\xfe\x00\x00", "audio/x-mpegurl"),  # tried on any bytes, text or not
        (b"#EXTM3", TEXT),
        (b"#extm3u", TEXT),
    ],
)
def test_line_formats(data, expected):
    assert taxon.detect_mime(data) == expected


def test_srt_written_like_a_subtitle_tool():
    cues = "".join(
        f"{i}\n00:00:{i:02},000 --> 00:00:{i + 1:02},500\nLine {i}\n\n" for i in range(1, 30)
    ).encode()
    assert taxon.detect_type(cues) == ".srt"
