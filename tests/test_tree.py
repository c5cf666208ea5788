"""Every record of the tree is reached by its own sample, through the whole walk."""
import re
from pathlib import Path

import pytest

import taxon
from samples import EXPECTED, RECORDS, SAMPLES

SOURCE = Path(__file__).resolve().parent.parent / "src" / "tree"


@pytest.mark.parametrize("name", RECORDS)
def test_sample_reaches_its_record(name):
    data = SAMPLES[name]
    assert (taxon.detect_mime(data), taxon.detect_type(data)) == EXPECTED[name]


def test_samples_cover_the_whole_catalogue():
    assert len(RECORDS) == 215 == len(set(RECORDS))
    assert set(SAMPLES) == set(RECORDS) == set(EXPECTED)


@pytest.mark.skipif(not SOURCE.is_dir(), reason="needs the source tree")
def test_catalogue_matches_the_records_in_the_source():
    declared = set()
    for header in SOURCE.rglob("*.hpp"):
        declared |= set(re.findall(r"extern const MimeType (\w+);", header.read_text()))
    assert declared == set(RECORDS)
