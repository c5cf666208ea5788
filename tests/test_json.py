import json

import pytest

import taxon

JSON = "application/json"
NDJSON = "application/x-ndjson"
TEXT = "text/plain; charset=utf-8"


def string_value(total):
    """An array holding one string, `total` bytes long in all."""
    return b'["' + b"a" * (total - 4) + b'"]'


@pytest.mark.parametrize(
    "data, expected",
    [
        (b" \t\n", TEXT),
        (b"{}", JSON),
        (b"[]", JSON),
        (b"\t\n\r\x0c {}", JSON),
        (b"{", TEXT),
        (b'"just a string"', TEXT),
        (b"42", TEXT),
        (b"{]", TEXT),  # the bracket count goes negative at once
        (b"[{]}", JSON),  # nesting order is not examined
        (b'{"a": "}"}', JSON),
        (b'{"a": "say \\"}\\" twice"}', JSON),  # escaped quotes do not end the string
        (b'{"a": "\\\\"}', JSON),  # an escaped backslash does not escape the quote
        (b"{} and then some words", JSON),
        (b"{} and then ]", TEXT),
        (b"{\\rtf1 hello}", "text/rtf"),  # a backslash outside a string is not JSON
        (string_value(512), JSON),  # ends at the last byte of the window
        (string_value(512)[:-1], TEXT),  # the view ends inside the window, unbalanced
        (b" \n" + string_value(512), JSON),  # leading white space is not in the window
        (string_value(513), JSON),  # runs past the window: taken on what it showed
        (string_value(3000), JSON),
        (b'{"a": [' + b"1," * 300 + b"1]}", JSON),
    ],
)
def test_json(data, expected):
    assert taxon.detect_mime(data) == expected


def test_budget_counts_escaped_bytes():
    # 508 bytes of escapes: the closing quote is the 511th byte and the
    # bracket the 512th, so the value balances inside the window.
    data = b'["' + b"\\n" * 254 + b'"]'
    assert len(data) == 512
    assert taxon.detect_mime(data) == JSON
    assert taxon.detect_mime(data[:-1]) == TEXT


def test_deep_nesting_is_bounded():
    assert taxon.detect_mime(b"[" * 1_000_000) == JSON  # never negative within the window
    assert taxon.detect_mime(b"[" * 100 + b"]" * 101) == TEXT
    assert taxon.detect_mime(b"[" * 200 + b"]" * 200) == JSON


@pytest.mark.parametrize(
    "data, expected",
    [
        (b'{"a":1}\n', NDJSON),
        (b'{"a":1}\n{"b":2}\n{"c":3}', NDJSON),
        (b'{"a":1}\r\n{"b":2}\r\n', NDJSON),
        (b'{"a":1}\n\n{"b":2}', NDJSON),
        (b'{"a":1}\n{"b":2}\n{"c":3}\nnot json', NDJSON),  # only three pieces are looked at
        (b'{"a":1}\n{"b":2}\nnot json', JSON),
        (b'{\n  "a": 1\n}\n', JSON),  # the first line is not JSON alone
        (b'{"a":1}', JSON),
    ],
)
def test_ndjson(data, expected):
    assert taxon.detect_mime(data) == expected


@pytest.mark.parametrize(
    "doc, expected",
    [
        ({"type": "FeatureCollection", "features": []}, ".geojson"),
        ({"type": "Feature", "geometry": None, "properties": {}}, ".json"),
        ({"log": {"version": "1.2", "entries": []}}, ".har"),
        ({"asset": {"version": "2.0"}, "scenes": [], "nodes": []}, ".gltf"),
        ({"asset": {}, "scenes": []}, ".json"),
        ({"Type": "FeatureCollection", "features": []}, ".json"),  # keys are case-sensitive
    ],
)
def test_keyed_documents(doc, expected):
    assert taxon.detect_type(json.dumps(doc).encode()) == expected


def test_geojson_before_ndjson():
    data = b'{"type": "FeatureCollection", "features": []}\n'
    assert taxon.detect_mime(data) == "application/geo+json"


def test_har_keys_beyond_the_window():
    entries = [{"url": "http://example.com/%d" % i, "status": 200} for i in range(25)]
    data = json.dumps({"pages": entries, "log": {"version": "1.2"}}, indent=2).encode()
    assert 512 < data.index(b'"log"') < 3072
    assert taxon.detect_type(data) == ".har"


def test_real_documents_written_by_json_module():
    doc = {"items": [{"id": i, "name": "item %d" % i, "tags": ["a", "b"]} for i in range(200)]}
    pretty = json.dumps(doc, indent=2).encode()
    assert len(pretty) > 3072
    assert taxon.detect_mime(pretty) == JSON
    lines = b"".join(json.dumps(item).encode() + b"\n" for item in doc["items"][:50])
    assert taxon.detect_mime(lines) == NDJSON
