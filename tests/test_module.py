"""The module surface: binding, messages, docstrings, cached strings."""
import importlib.util
import subprocess
import sys
import textwrap

import pytest

import taxon

PNG = b"\x89PNG\r\n\x1a\n" + b"\x00" * 32


def raises(exc_type, func, *args, **kwargs):
    with pytest.raises(BaseException) as info:
        func(*args, **kwargs)
    assert type(info.value) is exc_type, repr(info.value)
    return info.value


BINDING_ERRORS = [
    (taxon.detect_mime, (), {}, "detect_mime() missing 1 required positional argument: 'data'"),
    (taxon.detect_type, (), {}, "detect_type() missing 1 required positional argument: 'data'"),
    (taxon.detect_mime, (b"", b""), {}, "detect_mime() takes 1 positional arguments but 2 were given"),
    (taxon.detect_type, (b"", b"", b""), {}, "detect_type() takes 1 positional arguments but 3 were given"),
    (taxon.detect_type, (b"",), {"x": 1}, "detect_type() got an unexpected keyword argument 'x'"),
    (taxon.detect_mime, (b"",), {"data": b""}, "detect_mime() got multiple values for argument 'data'"),
    (taxon.detect_mime, ("abc",), {}, "argument 'data': 'str' object cannot be converted to 'PyBytes'"),
    (taxon.detect_mime, (bytearray(b"a"),), {},
     "argument 'data': 'bytearray' object cannot be converted to 'PyBytes'"),
    (taxon.detect_type, (memoryview(b"a"),), {},
     "argument 'data': 'memoryview' object cannot be converted to 'PyBytes'"),
    (taxon.detect_type, (None,), {}, "argument 'data': 'NoneType' object cannot be converted to 'PyBytes'"),
    (taxon.register, (), {}, "register() missing 2 required positional arguments: 'mime' and 'extension'"),
    (taxon.register, ("a",), {}, "register() missing 1 required positional argument: 'extension'"),
    (taxon.register, ("a", "b", "c"), {}, "register() takes 2 positional arguments but 3 were given"),
    (taxon.register, ("a",), {"mime": "b"}, "register() got multiple values for argument 'mime'"),
    (taxon.register, ("a", "b"), {"magik": b"x"}, "register() got an unexpected keyword argument 'magik'"),
    (taxon.register, (1, "b"), {"magic": b"x"}, "argument 'mime': 'int' object cannot be converted to 'PyString'"),
    (taxon.register, ("a", b"b"), {"magic": b"x"},
     "argument 'extension': 'bytes' object cannot be converted to 'PyString'"),
    (taxon.register, ("a", "b"), {"magic": "PK"}, "argument 'magic': Can't extract `str` to `Vec`"),
    (taxon.register, ("a", "b"), {"magic": 7}, "argument 'magic': 'int' object cannot be converted to 'Sequence'"),
    (taxon.register, ("a", "b"), {"magic": [1, "x"]},
     "argument 'magic': 'str' object cannot be interpreted as an integer"),
    (taxon.register, ("a", "b"), {"magic": [1.5]},
     "argument 'magic': 'float' object cannot be interpreted as an integer"),
    (taxon.register, ("a", "b"), {"magic": b"x", "offset": None},
     "argument 'offset': 'NoneType' object cannot be interpreted as an integer"),
    (taxon.register, ("a", "b"), {"magic": b"x", "offset": 1.0},
     "argument 'offset': 'float' object cannot be interpreted as an integer"),
]


@pytest.mark.parametrize("func, args, kwargs, message", BINDING_ERRORS)
def test_binding_and_conversion_messages(func, args, kwargs, message):
    err = raises(TypeError, func, *args, **kwargs)
    assert str(err) == message
    assert taxon.registered() == []


def test_missing_arguments_are_checked_after_keywords():
    err = raises(TypeError, taxon.register, extension="b", nope=1)
    assert str(err) == "register() got an unexpected keyword argument 'nope'"
    err = raises(TypeError, taxon.register, extension="b", magic=b"x")
    assert str(err) == "register() missing 1 required positional argument: 'mime'"


OTHER_ERRORS = [
    ({"magic": [256]}, OverflowError, "out of range integral type conversion attempted"),
    ({"magic": [-1]}, OverflowError, "out of range integral type conversion attempted"),
    ({"magic": b"x", "offset": -1}, OverflowError, None),
    ({"magic": b"x", "offset": 2**64}, OverflowError, None),
    ({"magic": [2**64]}, OverflowError, None),
    ({"magic": b"", "matcher": len}, ValueError, "pass either magic or matcher, not both"),
    ({"magic": b"x", "matcher": len}, ValueError, "pass either magic or matcher, not both"),
    ({}, ValueError, "pass either magic or matcher"),
    ({"magic": None, "matcher": None}, ValueError, "pass either magic or matcher"),
    ({"magic": b""}, ValueError, "magic must not be empty"),
    ({"magic": []}, ValueError, "magic must not be empty"),
]


@pytest.mark.parametrize("kwargs, exc_type, message", OTHER_ERRORS)
def test_register_errors_change_nothing(kwargs, exc_type, message):
    err = raises(exc_type, taxon.register, "a/b", ".b", **kwargs)
    if message is not None:
        assert str(err) == message
    assert taxon.registered() == []


def test_only_an_exact_type_error_is_renamed_and_the_cause_is_kept():
    class Sub(TypeError):
        pass

    class BadIndex:
        def __init__(self, exc):
            self.exc = exc

        def __index__(self):
            raise self.exc

    caused = TypeError("inner")
    caused.__cause__ = KeyError("root")
    err = raises(TypeError, taxon.register, "a", "b", magic=b"x", offset=BadIndex(caused))
    assert str(err) == "argument 'offset': inner"
    assert type(err.__cause__) is KeyError and err.__cause__.args == ("root",)

    sub = Sub("sub")
    err = raises(Sub, taxon.register, "a", "b", magic=b"x", offset=BadIndex(sub))
    assert err is sub
    other = ZeroDivisionError("z")
    assert raises(ZeroDivisionError, taxon.register, "a", "b", magic=[BadIndex(other)]) is other


def test_surrogate_text_raises_the_interpreters_encode_error():
    raises(UnicodeEncodeError, taxon.register, "\ud800", ".x", magic=b"x")
    raises(UnicodeEncodeError, taxon.register, "a", "\udfff", magic=b"x")
    assert taxon.registered() == []


SIGNATURES = {
    "detect_mime": ("(data)", "Detects the mime type of a byte array."),
    "detect_type": ("(data)", "Detects the extension of a byte array."),
    "register": (
        "(mime, extension, *, magic=None, offset=0, matcher=None)",
        "Registers a custom type, matched by magic bytes or by a Python callable.\n\n"
        "Registered types are checked before the built-in table, in registration\n"
        "order, so they can add new formats or override a built-in verdict.",
    ),
    "registered": ("()", "Returns the registered (mime, extension) pairs in registration order."),
    "clear_registrations": ("()", "Drops every registered type."),
}


@pytest.mark.parametrize("name", sorted(SIGNATURES))
def test_function_metadata(name):
    func = getattr(taxon, name)
    signature, doc = SIGNATURES[name]
    assert func.__text_signature__ == signature
    assert func.__doc__ == doc
    assert func.__module__ == "taxon"
    assert func.__self__ is taxon
    assert func.__name__ == name


def test_all_lists_the_five_functions_in_order():
    assert taxon.__all__ == ["detect_mime", "detect_type", "register", "registered", "clear_registrations"]


def test_no_argument_functions_refuse_arguments():
    raises(TypeError, taxon.registered, 1)
    raises(TypeError, taxon.clear_registrations, x=1)


def test_internal_error_class_is_not_an_exception():
    assert issubclass(taxon.InternalError, BaseException)
    assert not issubclass(taxon.InternalError, Exception)


def test_empty_buffer_and_keyword_data():
    assert taxon.detect_mime(b"") == "application/octet-stream"
    assert taxon.detect_type(data=b"") == ""


def test_bytes_subclass_is_accepted():
    class Payload(bytes):
        pass

    assert taxon.detect_mime(Payload(PNG)) == taxon.detect_mime(PNG)


def test_cached_strings_are_identical_objects():
    assert taxon.detect_mime(b"") is taxon.detect_mime(b"\xff" * 9)
    assert taxon.detect_type(b"") is taxon.detect_type(b"\xfe" * 9)
    assert taxon.detect_mime(PNG) is taxon.detect_mime(PNG + b"more")


def run_python(code, timeout=60):
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=timeout)


def test_second_import_returns_the_same_module():
    result = run_python("""
        import sys, taxon
        first = taxon
        del sys.modules["taxon"]
        import taxon
        assert taxon is first
        assert taxon.detect_mime(b"") == "application/octet-stream"
        print("ok")
    """)
    assert result.stdout.strip() == "ok", result.stderr


def test_threads_loading_the_module_at_once_share_one_module():
    # Loading through a spec skips the import lock: the module's own
    # creation must still make one module and one InternalError.
    result = run_python("""
        import importlib.util, sys, threading
        path = importlib.util.find_spec("taxon").origin
        barrier = threading.Barrier(8)
        loaded = []

        def load():
            spec = importlib.util.spec_from_file_location("taxon", path)
            barrier.wait()
            module = importlib.util.module_from_spec(spec)
            loaded.append((module, module.InternalError))

        threads = [threading.Thread(target=load) for _ in range(8)]
        for t in threads: t.start()
        for t in threads: t.join()
        import taxon
        print(len(loaded), len({id(m) for m, _ in loaded} | {id(taxon)}),
              len({id(e) for _, e in loaded} | {id(taxon.InternalError)}))
    """)
    assert result.stdout.split() == ["8", "1", "1"], result.stderr


SUBINTERPRETER = """
    try:
        import _xxsubinterpreters as interpreters
        run = interpreters.run_string
    except ImportError:
        import _interpreters as interpreters   # 3.13 on: reports a failure instead of raising it

        def run(interp, code):
            failure = interpreters.run_string(interp, code)
            if failure is not None:
                raise Exception(failure.formatted)
    interp = interpreters.create()
    try:
        run(interp, "import taxon")
    except Exception as e:
        print("refused:", e)
    else:
        print("imported")
"""


@pytest.mark.parametrize("main_first", [True, False])
def test_sub_interpreters_are_refused(main_first):
    if importlib.util.find_spec("_xxsubinterpreters") is None and importlib.util.find_spec("_interpreters") is None:
        pytest.skip("this interpreter has no sub-interpreter module")
    before = "import taxon\n" if main_first else ""
    after = "import taxon\nprint(taxon.detect_mime(b''))\n"
    result = run_python(before + textwrap.dedent(SUBINTERPRETER) + after)
    lines = result.stdout.splitlines()
    assert lines[0].startswith("refused:") and "ImportError" in lines[0], result
    assert lines[1] == "application/octet-stream", result
