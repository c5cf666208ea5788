"""Hostile callers: lying bytes subclasses, BaseExceptions from callables,
recursion, non-callables under threads; each also looped for leaks."""
import subprocess
import sys
import textwrap

import pytest

import taxon
from leakcheck import assert_does_not_leak

PNG = b"\x89PNG\r\n\x1a\n" + b"\0" * 32
PDF = b"%PDF-1.7\n" + b"x" * 40


def _lie(*args, **kwargs):
    raise AssertionError("the module looked at an overridden method")


class Lying(bytes):
    """A bytes subclass whose Python-level view of itself is all lies."""
    __len__ = lambda self: 10**6  # noqa: E731
    __getitem__ = lambda self, i: 0  # noqa: E731
    __iter__ = lambda self: iter([0x25, 0x50])  # noqa: E731
    __bytes__ = lambda self: PDF  # noqa: E731
    __eq__ = lambda self, other: True  # noqa: E731
    __hash__ = bytes.__hash__


class Trapped(bytes):
    """Every overridable access fails loudly."""
    __len__ = __getitem__ = __iter__ = __bytes__ = __eq__ = __index__ = _lie
    __hash__ = bytes.__hash__


@pytest.mark.parametrize("kind", [Lying, Trapped])
def test_subclass_contents_are_read_not_its_methods(kind):
    data = kind(PNG)
    assert taxon.detect_mime(data) == taxon.detect_mime(PNG)
    assert taxon.detect_type(data) == taxon.detect_type(PNG)


def test_magic_sees_the_real_length_and_bytes_of_a_subclass():
    taxon.register("x/far", ".far", magic=b"QZ", offset=100)     # past the real end
    taxon.register("x/png", ".png", magic=b"\x89PNG")
    assert taxon.detect_mime(Lying(b"x" * 10)) != "x/far"
    assert taxon.detect_mime(Lying(PNG)) == "x/png"
    assert taxon.detect_mime(Lying(PDF)) == taxon.detect_mime(PDF)


def test_callable_gets_a_plain_copy_of_the_real_bytes():
    seen = []
    taxon.register("x/cb", ".cb", matcher=lambda data: seen.append(data))
    taxon.detect_mime(Trapped(PNG))
    assert len(seen) == 1 and type(seen[0]) is bytes and bytes.__eq__(seen[0], PNG)


class Custom(BaseException):
    pass


BASE_EXCEPTIONS = [KeyboardInterrupt, SystemExit, GeneratorExit, Custom]


def _raiser(exc):
    def judge(data):
        raise exc

    return judge


class _Truth:
    def __init__(self, exc):
        self.exc = exc

    def __bool__(self):
        raise self.exc


@pytest.mark.parametrize("kind", BASE_EXCEPTIONS)
@pytest.mark.parametrize("where", ["call", "truth"])
def test_base_exceptions_pass_through_unchanged(kind, where):
    builtin = taxon.detect_mime(PNG)
    exc = kind("stop")
    matcher = _raiser(exc) if where == "call" else (lambda data: _Truth(exc))
    taxon.register("x/b", ".b", matcher=matcher)
    taxon.register("x/later", ".later", magic=b"\x89")
    for detect in (taxon.detect_mime, taxon.detect_type):
        with pytest.raises(BaseException) as info:
            detect(PNG)
        assert info.value is exc and type(info.value) is kind
    # The table is unchanged and the module still answers.
    assert taxon.registered() == [("x/b", ".b"), ("x/later", ".later")]
    taxon.clear_registrations()
    assert taxon.detect_mime(PNG) == builtin


def _recursive(limit):
    depth = [0]

    def judge(data):
        # Detects the very buffer it is judging, `limit` levels deep.
        if depth[0] >= limit:
            return False
        depth[0] += 1
        try:
            return taxon.detect_mime(data) == "x/rec"
        finally:
            depth[0] -= 1

    return judge


def test_recursion_on_the_same_buffer():
    taxon.register("x/rec", ".rec", matcher=_recursive(20))
    taxon.register("x/tail", ".tail", magic=b"%PDF")
    # Innermost level: no hit, so "x/tail" answers; every outer level then
    # sees "x/tail" != "x/rec" and says no, down to the outermost.
    assert taxon.detect_mime(PDF) == "x/tail"
    assert taxon.detect_type(PNG) == taxon.detect_type(PNG + b"more")


def test_unbounded_recursion_raises_recursion_error():
    code = """
        import taxon
        taxon.register("x/r", ".r", matcher=lambda data: taxon.detect_mime(data) == "never")
        try:
            taxon.detect_mime(b"abc")
        except RecursionError:
            taxon.clear_registrations()
            print(taxon.detect_mime(b"abc"))
    """
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                            timeout=60)
    assert result.returncode == 0 and result.stdout.strip() == taxon.detect_mime(b"abc"), result


def test_non_callables_under_threads():
    code = """
        import faulthandler, sys, threading, time
        import taxon
        faulthandler.dump_traceback_later(50, exit=True)
        sys.setswitchinterval(1e-5)
        counts = {"type errors": 0, "answers": 0}
        errors = []

        def detect():
            end = time.monotonic() + 2
            while time.monotonic() < end:
                try:
                    mime = taxon.detect_mime(b"ABC")
                    if mime not in ("x/a", taxon_builtin):
                        errors.append(mime)
                    counts["answers"] += 1
                except TypeError:
                    counts["type errors"] += 1

        def churn():
            end = time.monotonic() + 2
            objects = [42, None.__class__, "text", b"bytes", object()]
            i = 0
            while time.monotonic() < end:
                taxon.register("x/n", ".n", matcher=objects[i % len(objects)])
                taxon.register("x/a", ".a", matcher=lambda data: time.sleep(0) or True)
                i += 1
                if i % 7 == 0:
                    taxon.clear_registrations()

        taxon_builtin = taxon.detect_mime(b"ABC")
        threads = [threading.Thread(target=f) for f in (detect, detect, detect, churn)]
        for t in threads: t.start()
        for t in threads: t.join()
        assert not errors, errors[:5]
        assert counts["type errors"] > 0 and counts["answers"] > 0, counts
        print("ok")
    """
    result = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                            timeout=120)
    assert result.returncode == 0 and result.stdout.strip() == "ok", result


def _catching(func, *args):
    try:
        func(*args)
    except BaseException:  # noqa: B036 - the BaseExceptions are the point here
        pass


def _base_exception_path(kind, where):
    # A fresh exception per raise: re-raising one object would grow its traceback.
    if where == "call":
        def matcher(data):
            raise kind("x")
    else:
        def matcher(data):
            return _Truth(kind("x"))

    def path():
        taxon.register("x/b", ".b", matcher=matcher)
        _catching(taxon.detect_mime, PNG)
        taxon.clear_registrations()

    return path


def _recursion_path():
    judge = _recursive(5)

    def path():
        taxon.register("x/rec", ".rec", matcher=judge)
        taxon.detect_mime(PDF)
        taxon.clear_registrations()

    return path


def _non_callable_path():
    taxon.register("x/n", ".n", matcher=42)
    _catching(taxon.detect_type, PNG)
    taxon.clear_registrations()


LEAK_PATHS = {
    "lying subclass": lambda: (taxon.detect_mime(Lying(PNG)), taxon.detect_type(Trapped(PDF))),
    "subclass to a callable": lambda: (taxon.register("x/c", ".c", matcher=len),
                                       taxon.detect_mime(Trapped(PNG * 50)), taxon.clear_registrations()),
    "recursion": _recursion_path(),
    "non-callable": _non_callable_path,
    **{f"{kind.__name__} from {where}": _base_exception_path(kind, where)
       for kind in BASE_EXCEPTIONS for where in ("call", "truth")},
}


@pytest.mark.parametrize("name", sorted(LEAK_PATHS))
def test_hostile_path_does_not_leak(name):
    assert_does_not_leak(LEAK_PATHS[name], name, runs=2000)
