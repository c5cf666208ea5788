"""Properties of the built-in detection over arbitrary and mutated bytes."""
import pathlib

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import taxon
from samples import EXPECTED, SAMPLES

READ_LIMIT = 3072
SEEDS_DIR = pathlib.Path(__file__).resolve().parent.parent / "fuzz" / "corpus" / "detect"
# Known formats to mutate: one sample per record, and the fuzz seeds.
SEEDS = list(SAMPLES.values()) + sorted(p.read_bytes() for p in SEEDS_DIR.glob("*"))
# Every (MIME, extension) pair of the catalogue, one record or more each.
PAIRS = set(EXPECTED.values())
MIMES = {mime for mime, _ in PAIRS}
EXTENSIONS = {ext for _, ext in PAIRS}

FAST = settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])


@st.composite
def buffers(draw, min_size=0):
    """Random bytes, or a known format's header with a few bytes changed and
    possibly cut short; padded to `min_size` with a drawn filler."""
    if draw(st.booleans()):
        data = bytearray(draw(st.sampled_from(SEEDS)))
        for _ in range(draw(st.integers(0, 4))):
            if data:
                data[draw(st.integers(0, len(data) - 1))] = draw(st.integers(0, 255))
        if draw(st.booleans()):
            del data[draw(st.integers(0, len(data))):]
    else:
        data = bytearray(draw(st.binary(max_size=600)))
    if len(data) < min_size:
        filler = draw(st.sampled_from([b"\0", b" ", b"a,b\n", b"\xff", b"PK\x03\x04"]))
        data += (filler * (min_size // len(filler) + 1))[:min_size - len(data)]
    return bytes(data)


@FAST
@given(buffers())
def test_answers_are_catalogue_pairs_of_one_record(data):
    mime, ext = taxon.detect_mime(data), taxon.detect_type(data)
    assert type(mime) is str and type(ext) is str
    assert (mime, ext) in PAIRS, (mime, ext)


@FAST
@given(st.binary(max_size=READ_LIMIT + 200))
def test_arbitrary_bytes_never_raise(data):
    assert taxon.detect_mime(data) in MIMES
    assert taxon.detect_type(data) in EXTENSIONS


@FAST
@given(buffers(min_size=READ_LIMIT), st.binary(max_size=64), st.binary(min_size=1, max_size=2048))
def test_only_the_first_3072_bytes_count(data, tail_a, tail_b):
    head = data[:READ_LIMIT]
    mime, ext = taxon.detect_mime(head), taxon.detect_type(head)
    for longer in (data, head + tail_a, head + tail_b, data + tail_b):
        assert taxon.detect_mime(longer) == mime
        assert taxon.detect_type(longer) == ext

