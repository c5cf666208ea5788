"""Every path through the module, looped: memory must not grow."""
import pytest

import taxon
from leakcheck import assert_does_not_leak


class Boom(Exception):
    pass


def _raise(data):
    raise Boom


class _NoTruth:
    def __bool__(self):
        raise Boom


def _call(func, *args, **kwargs):
    try:
        func(*args, **kwargs)
    except (TypeError, ValueError, OverflowError, UnicodeEncodeError, Boom):
        pass


def _register_and_detect(**kwargs):
    taxon.register("x/leak", ".leak", **kwargs)
    _call(taxon.detect_mime, b"LEAK" * 1000)
    _call(taxon.detect_type, b"LE")
    taxon.registered()
    taxon.clear_registrations()


PATHS = {
    "detect hit": lambda: taxon.detect_mime(b"\x89PNG\r\n\x1a\n"),
    "detect type": lambda: taxon.detect_type(b"\xff" * 5000),
    "detect keyword": lambda: taxon.detect_mime(data=b"abc"),
    "detect missing": lambda: _call(taxon.detect_mime),
    "detect too many": lambda: _call(taxon.detect_mime, b"", b""),
    "detect unknown keyword": lambda: _call(taxon.detect_type, b"", x=1),
    "detect duplicate": lambda: _call(taxon.detect_type, b"", data=b""),
    "detect not bytes": lambda: _call(taxon.detect_mime, bytearray(b"x")),
    "register magic": lambda: _register_and_detect(magic=b"LEAK", offset=4),
    "register list magic": lambda: _register_and_detect(magic=[76, 69]),
    "register callable": lambda: _register_and_detect(matcher=lambda d: len(d) > 3),
    "register raising callable": lambda: _register_and_detect(matcher=_raise),
    "register raising truth": lambda: _register_and_detect(matcher=lambda d: _NoTruth()),
    "register bad mime": lambda: _call(taxon.register, 1, ".x", magic=b"x"),
    "register surrogate": lambda: _call(taxon.register, "\ud800", ".x", magic=b"x"),
    "register str magic": lambda: _call(taxon.register, "a", ".x", magic="x"),
    "register bad item": lambda: _call(taxon.register, "a", ".x", magic=[1, 2, "x"]),
    "register big item": lambda: _call(taxon.register, "a", ".x", magic=[1, 300]),
    "register bad offset": lambda: _call(taxon.register, "a", ".x", magic=b"x", offset=-1),
    "register both": lambda: _call(taxon.register, "a", ".x", magic=b"x", matcher=len),
    "register neither": lambda: _call(taxon.register, "a", ".x"),
    "register empty": lambda: _call(taxon.register, "a", ".x", magic=b""),
    "register too many": lambda: _call(taxon.register, "a", ".x", "y"),
}


@pytest.mark.parametrize("name", sorted(PATHS))
def test_path_does_not_leak(name):
    assert_does_not_leak(PATHS[name], name)
