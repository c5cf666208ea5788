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


def _includes(path):
    return set(re.findall(r'^#include "([^"]+)"', path.read_text(), re.M))


def _core_files():
    return sorted(str(p.relative_to(SOURCE)) for p in SOURCE.rglob("*.*")
                  if p.suffix in (".cpp", ".hpp") and "matchers" not in p.parts)


# What each file of the core may include from matchers/: root.cpp lists the
# first level (family headers, records only) and detect.cpp makes the walk's
# memo; nothing else in the core knows a matcher family.
FAMILY_HEADERS = {f"matchers/{p.stem}.hpp" for p in (SOURCE / "matchers").glob("*.cpp")}
CORE_MAY_INCLUDE = {"root.cpp": FAMILY_HEADERS, "detect.cpp": {"matchers/walk_memo.hpp"}}


@pytest.mark.skipif(not SOURCE.is_dir(), reason="needs the source tree")
@pytest.mark.parametrize("name", _core_files() if SOURCE.is_dir() else [])
def test_core_includes_only_what_it_must_from_the_matchers(name):
    from_matchers = {inc for inc in _includes(SOURCE / name) if "matchers/" in inc}
    assert from_matchers <= CORE_MAY_INCLUDE.get(name, set())


@pytest.mark.skipif(not SOURCE.is_dir(), reason="needs the source tree")
@pytest.mark.parametrize("header", sorted(FAMILY_HEADERS) if SOURCE.is_dir() else [])
def test_family_header_declares_no_matcher(header):
    # Matchers are local to their family's file; the tree reaches them
    # through the records.
    assert not re.findall(r"^bool \w+\(const View& \w*\) noexcept;", (SOURCE / header).read_text(), re.M)


@pytest.mark.skipif(not SOURCE.is_dir(), reason="needs the source tree")
def test_each_matcher_is_named_after_its_record():
    text = "".join(p.read_text() for p in SOURCE.rglob("*.cpp"))
    pairs = re.findall(r"^constinit const MimeType (\w+)\{.*, (\w+), (?:\w+|\{\})\};$", text, re.M)
    assert {record for record, _ in pairs} == set(RECORDS) | {"ROOT"}
    # `class` is a C++ keyword.
    assert {record: matcher for record, matcher in pairs if matcher != record.lower()} == {"CLASS": "class_file"}
