import taxon


def test_empty_buffer_is_the_root():
    assert taxon.detect_mime(b"") == "application/octet-stream"
    assert taxon.detect_type(b"") == ""
