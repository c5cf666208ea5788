import pytest
import taxon
from builders import LOTUS_BYTES, PNG_SIGNATURE, at


@pytest.mark.parametrize("data, mime", [
    # A taken parent whose child rejects the view is the answer.
    (PNG_SIGNATURE + bytes(29) + b"acT", "image/png"),
    (PNG_SIGNATURE + bytes(28) + b"acTL", "image/png"),
    (at(99, {0: b"\0\0\x27\x0a"}), "application/vnd.shx"),
    (at(50, {0: b"\0\0\x27\x0a"}), "application/vnd.shx"),
    # Of two first-level types, the earlier one wins.
    (b"II*\0" + LOTUS_BYTES, "image/tiff"),
    (b"BM\0\0" + LOTUS_BYTES, "image/bmp"),
    (b"MZ\0\0" + LOTUS_BYTES, "application/vnd.microsoft.portable-executable"),
    (b"\x7fELF" + LOTUS_BYTES, "application/x-elf"),
    (b"\0\0\x01\0" + LOTUS_BYTES, "application/vnd.lotus-1-2-3"),  # the icon test comes later
    (at(25, {0: b"GIF89a", 20: b"GIMP"}), "image/gif"),
    (at(25, {0: b"OTTO", 20: b"GPAT"}), "font/otf"),
    (at(25, {0: b"8BPS", 20: b"GIMP"}), "image/vnd.adobe.photoshop"),
    (b"/* XPM */\x1f\x8b", "image/x-xpixmap"),
])
def test_walk_order(data, mime):
    assert taxon.detect_mime(data) == mime


@pytest.mark.parametrize("data, mime", [
    (b"GIF88a\0", "image/gif"),
    (b"P8\0", "image/x-portable-bitmap"),
    (b"P8\0", "image/x-portable-graymap"),
    (b"P8\0", "image/x-portable-pixmap"),
    (b"P8\0", "image/x-portable-arbitrarymap"),
    (at(16, {0: b"RIFF", 8: b"AVI LIST"}, b"\xff"), "video/x-msvideo"),
    (at(20, {0: b"RIFF", 8: b"AVI JUNK"}, b"\xff"), "video/x-msvideo"),
    (at(24, {0: b"GIMP"}), "image/x-gimp-gbr"),
    (at(24, {20: b"GIMP"}), "image/x-gimp-gbr"),
    (at(24, {20: b"GPAT"}), "image/x-gimp-pat"),
    (at(12, {0: b"FORM", 8: b"AIFC"}), "audio/aiff"),
    (b"Rar!\x1a\x07\x01", "application/x-rar-compressed"),
    (b"Rar!\x1a\x07\x02\0", "application/x-rar-compressed"),
    (b"\x21\xb5\x2f\xfd", "application/zstd"),
    (b"\x29\xb5\x2f\xfd", "application/zstd"),
    (b"\x4f\x2a\x4d\x18", "application/zstd"),
    (b"\x60\x2a\x4d\x18", "application/zstd"),
    (b"\x22\x2a\x4d\x18", "application/zstd"),
    (b"\x50\xb5\x2f\xfd", "application/zstd"),
    (b"XWS\0", "application/x-shockwave-flash"),
    (b"\0\0\0\0\0\x02\0", "application/vnd.lotus-1-2-3"),
    (b"\0\0\0\0\0\x02\0\x01", "application/vnd.lotus-1-2-3"),
])
def test_near_misses_are_rejected(data, mime):
    assert taxon.detect_mime(data) != mime
