import pytest
from hypothesis import given, settings, strategies as st

import taxon

TEXT = "text/plain; charset=utf-8"
BINARY = "application/octet-stream"
REFUSED = set(range(0x00, 0x09)) | {0x0B} | set(range(0x0E, 0x1B)) | set(range(0x1C, 0x20))


@pytest.mark.parametrize(
    "data, expected",
    [
        (b"", BINARY),
        (b"\n", TEXT),
        (b"plain words", TEXT),
        (b"a\x00b", BINARY),
        (b"a\x0bb", BINARY),  # vertical tab
        (b"a\x1ab", BINARY),
        (b"a\x1bb\x0cc\x7fd\te\r\n", TEXT),  # escape, form feed, delete, tab, CR LF
        ("é ü € 𝄞 漢".encode(), TEXT),
        (b"\xc0\x80", BINARY),  # overlong NUL
        (b"\xe0\x80\xaf", BINARY),  # overlong three-byte form
        (b"\xf0\x80\x80\xaf", BINARY),  # overlong four-byte form
        (b"\xed\xa0\x80", BINARY),  # encoded surrogate
        (b"\xed\x9f\xbf", TEXT),  # U+D7FF, the last one before the surrogates
        (b"\xf4\x8f\xbf\xbf", TEXT),  # U+10FFFF
        (b"\xf4\x90\x80\x80", BINARY),  # above U+10FFFF
        (b"a\x80b", BINARY),  # stray continuation byte
        (b"a\xc3", BINARY),  # a short view cut inside a character
        (b"a\xe2\x82", BINARY),
        (b"\xef\xbb", BINARY),  # a byte-order mark cut short
    ],
)
def test_utf8(data, expected):
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize(
    "data",
    [b"\xef\xbb\xbf", b"\xef\xbb\xbfhello", b"\xef\xbb\xbf\xff\xfe\x00", b"\xef\xbb\xbf<html>x</html>"],
)
def test_utf8_byte_order_mark_is_plain_text_whatever_follows(data):
    assert taxon.detect_mime(data) == TEXT
    assert taxon.detect_type(data) == ".txt"


@pytest.mark.parametrize("char", ["é", "€", "𝄞"])
@pytest.mark.parametrize("shift", [0, 1, 2, 3])
def test_character_cut_by_the_read_limit_is_still_text(char, shift):
    # The read limit of 3072 bytes falls inside (or right after) a character.
    data = b"x" * (3072 - shift) + char.encode() * 2 + b" end"
    assert taxon.detect_mime(data) == TEXT


@pytest.mark.parametrize(
    "tail",
    [
        b"\xe0\x80",  # cut, but already overlong
        b"\xed\xa0",  # cut, but already a surrogate
        b"\xf4\x90",  # cut, but already above U+10FFFF
        b"\xc3\xc3",  # lead byte where a continuation must be
    ],
)
def test_bad_start_at_the_read_limit_is_not_text(tail):
    data = b"x" * (3072 - len(tail)) + tail + b"\x80\x80 more text"
    assert taxon.detect_mime(data) == BINARY


def test_exactly_3072_bytes_ending_in_a_cut_character():
    # Indistinguishable from a longer text cut by the walk.
    assert taxon.detect_mime(b"x" * 3071 + b"\xe2") == TEXT
    assert taxon.detect_mime(b"x" * 3070 + b"\xe2") == BINARY


@pytest.mark.parametrize("position", range(0, 100, 3))
@pytest.mark.parametrize("bad", [b"\x00", b"\x0b", b"\x80", b"\xc0\x80", b"\xed\xa0\x80", b"\xf8"])
def test_fault_at_any_position_of_a_long_text(position, bad):
    text = "Grüße aus Köln, 東京 und 🙂! " * 4
    data = text[:position].encode() + bad + b" " + text.encode()
    assert taxon.detect_mime(data) == BINARY


@pytest.mark.parametrize("position", range(0, 70))
def test_character_across_block_boundaries(position):
    assert taxon.detect_mime(b"a" * position + "🙂é€".encode() + b"b" * 70) == TEXT


def expected_answer(data):
    view = data[:3072]
    if not view or REFUSED & set(view):
        return False
    try:
        view.decode("utf-8")
        return True
    except UnicodeDecodeError as e:
        return len(view) == 3072 and e.end == len(view) and e.reason == "unexpected end of data"


pieces = st.one_of(
    st.text(max_size=40).map(str.encode),
    st.binary(max_size=4),
    st.sampled_from([b"\xc0\x80", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\n", b"\x1b", b"\x7f"]),
)


@settings(max_examples=400, deadline=None)
@given(st.lists(pieces, max_size=60), st.sampled_from([0, 3000, 3060]))
def test_utf8_agrees_with_a_strict_decoder(parts, pad):
    data = b"text " + b"x" * pad + b"".join(parts)
    assert (taxon.detect_mime(data) != BINARY) == expected_answer(data)


def test_large_inputs_are_judged_on_their_first_3072_bytes():
    assert taxon.detect_mime(b"x" * 3072 + b"\x00\xff") == TEXT
    assert taxon.detect_mime(b"\xff" * 5_000_000) == BINARY
    assert taxon.detect_mime("ж".encode() * 2_000_000) == TEXT
