"""Smallest accepted buffers of the binary formats, shared by their tests.

Each sample is (mime, extension, buffer, index): `buffer` is exactly as long
as its format's minimum, and `index` is one byte the test compares, which
flipping (XOR 0x80) must spoil.
"""

import struct

import taxon

PNG_SIG = b"\x89PNG\r\n\x1a\n"
LOTUS_BYTES = b"\0\x02\0\0"


def at(size, parts, fill=b"\0"):
    """A buffer of `size` fill bytes with `parts` ({offset: bytes}) laid over it."""
    buf = bytearray(fill * size)
    for offset, data in parts.items():
        buf[offset:offset + len(data)] = data
    return bytes(buf[:size])


def answer(data):
    return taxon.detect_mime(data), taxon.detect_type(data)


def flip(data, index):
    """`data` with the byte at `index` changed."""
    return data[:index] + bytes([data[index] ^ 0x80]) + data[index + 1:]


def tar_header(name=b"a", field=None, signed=False):
    """A 512-byte tar header; its checksum field is `field` or the right sum."""
    head = bytearray(at(512, {0: name, 100: b"0000644\0", 124: b"00000000000\0", 257: b"ustar\x0000"}))
    head[148:156] = b" " * 8
    total = sum((b - 256 if b > 127 else b) if signed else b for b in head)
    head[148:156] = field if field is not None else b"%06o\0 " % total
    return bytes(head)


def crx(key_len, sig_len, sig=b"PK\x03\x04"):
    """A CRX version-2 header followed at once by `sig`."""
    return b"Cr24" + struct.pack("<III", 2, key_len, sig_len) + bytes(key_len + sig_len) + sig


def elf(kind, size=18):
    return at(size, {0: b"\x7fELF", 16: bytes([kind, 0])})


IMAGES = [
    ("image/bmp", ".bmp", b"BM", 1),
    ("image/bpg", ".bpg", b"BPG\xfb", 3),
    ("image/gif", ".gif", b"GIF87a", 4),
    ("image/gif", ".gif", b"GIF89a", 4),
    ("image/vnd.radiance", ".hdr", b"#?RADIANCE\n", 10),
    ("image/x-icon", ".ico", b"\0\0\x01\0", 2),
    ("image/x-icns", ".icns", b"icns", 0),
    ("image/jpeg", ".jpg", b"\xff\xd8\xff", 2),
    ("image/jxr", ".jxr", b"II\xbc\x01", 2),
    ("image/jxs", ".jxs", b"\0\0\0\x0cJXS \r\n\x87\n", 11),
    ("image/png", ".png", PNG_SIG, 7),
    ("image/vnd.mozilla.apng", ".apng", PNG_SIG + bytes(29) + b"acTL", 40),
    ("image/x-portable-arbitrarymap", ".pam", b"P7", 1),
    ("image/x-portable-bitmap", ".pbm", b"P1", 1),
    ("image/x-portable-bitmap", ".pbm", b"P4", 1),
    ("image/x-portable-graymap", ".pgm", b"P2", 1),
    ("image/x-portable-graymap", ".pgm", b"P5", 1),
    ("image/x-portable-pixmap", ".ppm", b"P3", 1),
    ("image/x-portable-pixmap", ".ppm", b"P6", 1),
    ("image/vnd.adobe.photoshop", ".psd", b"8BPS", 3),
    ("image/x-xcf", ".xcf", b"gimp xcf", 7),
    ("image/x-xpixmap", ".xpm", b"/* XPM */", 8),
    ("image/x-gimp-gbr", ".gbr", at(25, {20: b"GIMP"}), 23),
    ("image/x-gimp-pat", ".pat", at(25, {20: b"GPAT"}), 20),
    ("image/webp", ".webp", at(12, {0: b"RIFF", 8: b"WEBP"}), 8),
]
AUDIO_VIDEO = [
    ("audio/basic", ".au", b".snd", 0),
    ("audio/amr", ".amr", b"#!AMR", 4),
    ("audio/ape", ".ape", b"MAC \x96\x0f\0\x004\0\0\0\x18\0\0\0\x90\xe3", 17),
    ("video/x-ms-asf", ".asf", bytes.fromhex("3026b2758e66cf11a6d900aa0062ce6c"), 15),
    ("video/x-msvideo", ".avi", at(17, {0: b"RIFF", 8: b"AVI LIST"}), 12),
    ("video/x-flv", ".flv", b"FLV", 2),
    ("audio/qcelp", ".qcp", at(12, {0: b"RIFF", 8: b"QLCM"}), 9),
    ("audio/x-unknown", ".voc", b"Creative Voice File", 18),
    ("audio/wav", ".wav", at(12, {0: b"RIFF", 8: b"WAVE"}), 3),
    ("audio/aiff", ".aiff", at(12, {0: b"FORM", 8: b"AIFF"}), 11),
    ("audio/flac", ".flac", b"fLaC", 1),
    ("audio/midi", ".midi", b"MThd", 3),
    ("application/vnd.rn-realmedia-vbr", ".rmvb", b".RMF", 1),
    ("audio/musepack", ".mpc", b"MPCK", 3),
]
ARCHIVES = [
    ("application/x-bzip2", ".bz2", b"BZ", 1),
    ("application/vnd.ms-cab-compressed", ".cab", b"MSCF", 3),
    ("application/gzip", ".gz", b"\x1f\x8b", 1),
    ("application/lzip", ".lz", b"LZIP", 0),
    ("application/x-rar-compressed", ".rar", b"Rar!\x1a\x07\0", 6),
    ("application/x-rar-compressed", ".rar", b"Rar!\x1a\x07\x01\0", 7),
    ("application/x-rpm", ".rpm", b"\xed\xab\xee\xdb", 2),
    ("application/x-7z-compressed", ".7z", b"7z\xbc\xaf\x27\x1c", 5),
    ("application/x-xar", ".xar", b"xar!", 3),
    ("application/x-xz", ".xz", b"\xfd7zXZ\0", 5),
    ("application/zstd", ".zst", b"\x22\xb5\x2f\xfd", 0),
    ("application/zstd", ".zst", b"\x28\xb5\x2f\xfd", 3),
    ("application/zstd", ".zst", b"\x50\x2a\x4d\x18", 0),
    ("application/zstd", ".zst", b"\x5f\x2a\x4d\x18", 2),
]
CODE_FONTS_DOCS = [
    ("application/vnd.microsoft.portable-executable", ".exe", b"MZ", 1),
    ("application/x-java-applet; charset=binary", ".class", b"\xca\xfe\xba\xbe", 3),
    ("application/wasm", ".wasm", b"\0asm", 0),
    ("application/x-shockwave-flash", ".swf", b"FWS", 1),
    ("application/x-shockwave-flash", ".swf", b"CWS", 2),
    ("application/x-shockwave-flash", ".swf", b"ZWS", 0),
    ("application/vnd.nintendo.snes.rom", ".nes", b"NES\x1a", 3),
    ("font/otf", ".otf", b"OTTO", 3),
    ("font/collection", ".ttc", b"ttcf", 0),
    ("font/woff", ".woff", b"wOFF", 3),
    ("font/woff2", ".woff2", b"wOF2", 3),
    ("application/pdf", ".pdf", b"%PDF-", 4),
    ("application/vnd.fdf", ".fdf", b"%FDF-", 1),
    ("application/postscript", ".ps", b"%!PS-Adobe-", 10),
    ("application/vnd.ms-htmlhelp", ".chm", b"ITSF\x03\0\0\0", 4),
    ("application/x-ms-reader", ".lit", b"ITOLITLS", 7),
    ("application/vnd.lotus-1-2-3", ".123", b"\x01\x02\x03\x04" + LOTUS_BYTES, 5),
    ("application/vnd.lotus-1-2-3", ".123", b"\x01\x02\x03\x04\0\x1a\0\0", 7),
    ("application/vnd.apache.parquet", ".parquet", b"PAR1", 3),
    ("application/vnd.shx", ".shx", b"\0\0\x27\x0a", 2),
    ("application/vnd.shp", ".shp", at(100, {0: b"\0\0\x27\x0a"}), 3),
    ("application/tzif", "", b"TZif", 2),
]
SIGNATURES = IMAGES + AUDIO_VIDEO + ARCHIVES + CODE_FONTS_DOCS

ACCESS_HEAD = b"\0\x01\0\0"  # real Access files open like a TrueType font
STRUCTURED = [
    ("application/x-tar", ".tar", tar_header(), 0),
    ("application/x-cpio", ".cpio", b"070701", 5),
    ("application/x-cpio", ".cpio", b"070702", 5),
    ("application/x-cpio", ".cpio", b"070707", 0),
    ("application/x-archive", ".a", b"!<arch>", 6),
    ("application/vnd.debian.binary-package", ".deb", b"!<arch>\ndebian-binary ", 20),
    ("application/x-dbf", ".dbf", at(32, {0: b"\x05"}), 0),
    ("image/vnd.dwg", ".dwg", b"AC1018", 5),
    ("application/vnd.ms-fontobject", ".eot", at(36, {8: b"\0\0\x01\0", 34: b"LP"}), 35),
    ("application/fits", ".fits", b"SIMPLE  =" + b" " * 20 + b"T", 29),
    ("application/x-bittorrent", ".torrent", b"d8:announce", 10),
    ("application/x-bittorrent", ".torrent", b"d7:comment", 1),
    ("application/x-bittorrent", ".torrent", b"d4:info", 6),
    ("application/x-elf", "", b"\x7fELF", 0),
    ("application/x-object", "", elf(1), 16),
    ("application/x-executable", "", elf(2), 17),
    ("application/x-sharedlib", ".so", elf(3), 16),
    ("application/x-coredump", "", elf(4), 17),
    ("application/x-mach-binary", ".macho", b"\xce\xfa\xed\xfe", 0),
    ("application/x-mach-binary", ".macho", b"\xcf\xfa\xed\xfe", 3),
    ("application/x-mach-binary", ".macho", b"\xfe\xed\xfa\xce", 3),
    ("application/x-mach-binary", ".macho", b"\xfe\xed\xfa\xcf", 0),
    ("application/x-mach-binary", ".macho", b"\xbe\xba\xfe\xca", 1),
    ("application/x-chrome-extension", ".crx", crx(0, 0), 18),
    ("application/x-chrome-extension", ".crx", crx(0, 0, b"PK\x05\x06"), 19),
    ("application/x-chrome-extension", ".crx", crx(5, 7, b"PK\x07\x08"), 31),
    ("application/pkcs7-signature", ".p7s", b"-----BEGIN PKCS7-----", 11),
    ("font/ttf", ".ttf", b"\0\x01\0\0", 1),
    ("font/ttf", ".ttf", b"true", 3),
    ("font/ttf", ".ttf", b"typ1", 0),
    ("application/x-msaccess", ".accdb", at(32, {0: ACCESS_HEAD, 4: b"Standard ACE DB"}), 13),
    ("application/x-msaccess", ".mdb", at(32, {0: ACCESS_HEAD, 4: b"Standard Jet DB"}), 18),
    ("application/vnd.sqlite3", ".sqlite", b"SQLite format 3\0", 15),
    ("image/vnd.djvu", ".djvu", at(16, {0: b"AT&TFORM", 12: b"DJVU"}), 15),
    ("image/jxl", ".jxl", b"\xff\x0a", 1),
    ("image/jxl", ".jxl", b"\0\0\0\x0cJXL \r\n\x87\n", 4),
    ("image/jp2", ".jp2", at(24, {4: b"jP  ", 20: b"jp2 "}), 22),
    ("image/jp2", ".jp2", at(24, {4: b"jP2 ", 20: b"jp2 "}), 6),
    ("image/jpm", ".jpm", at(24, {4: b"jP  ", 20: b"jpm "}), 22),
    ("image/jpx", ".jpx", at(24, {4: b"jP  ", 20: b"jpx "}), 4),
    ("application/x-installshield", ".cab", b"ISc(\0\0\0\x01", 7),
    ("application/x-installshield", ".cab", b"ISc(\0\0\0\x02", 6),
    ("application/x-installshield", ".cab", b"ISc(\0\0\0\x04", 3),
    ("application/x-ms-shortcut", ".lnk", b"L\0\0\0\x01\x14\x02\0", 5),
    ("application/marc", ".mrc", at(24, {10: b"22", 20: b"4500"}, fill=b"0"), 11),
    ("model/gltf-binary", ".glb", b"glTF\x02\0\0\0", 4),
    ("model/gltf-binary", ".glb", b"glTF\x01\0\0\0", 7),
    ("application/x-hdf", ".hdf", b"\x89HDF\r\n\x1a\n", 7),
    ("application/x-hdf", ".hdf", b"\x0e\x03\x13\x01", 3),
    ("application/dicom", ".dcm", at(132, {128: b"DICM"}), 128),
    ("image/tiff", ".tiff", b"II*\0", 2),
    ("image/tiff", ".tiff", b"MM\0*", 3),
    ("application/cbor", ".cbor", b"\xd9\xd9\xf7", 2),
]
