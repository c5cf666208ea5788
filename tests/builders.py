"""Builders of the byte layouts the tests and the benchmarks need: ZIP local
headers and archives, compound (OLE) files, `ftyp` boxes, EBML headers, Ogg
pages, PNG chunks, ELF and tar headers, UTF-16 text.

Each builder writes a well-formed layout by default; its keywords make a
field lie, or cut or pad the result, for the tests of malformed input.
Nothing here but `unclaimed` needs the taxon module.
"""
import io
import struct
import tarfile
import zipfile
import zlib

CFB_SIGNATURE = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"
EBML_ID = b"\x1a\x45\xdf\xa3"
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
# Bytes 4-7 of a Lotus 1-2-3 worksheet: after any first four, they make one.
LOTUS_BYTES = b"\0\x02\0\0"
UTF16_BOMS = {"be": (b"\xfe\xff", "utf-16-be"), "le": (b"\xff\xfe", "utf-16-le")}


def at(size, parts, fill=b"\0"):
    """A buffer of `size` fill bytes with `parts` ({offset: bytes}) laid over it."""
    buf = bytearray(fill * size)
    for offset, data in parts.items():
        buf[offset:offset + len(data)] = data
    return bytes(buf[:size])


def fit(data, length, fill=b"\0"):
    """`data` cut or padded with `fill` to `length` bytes; unchanged for None."""
    return data if length is None else (data + fill * max(0, length - len(data)))[:length]


def flip(data, index):
    """`data` with the byte at `index` changed."""
    return data[:index] + bytes([data[index] ^ 0x80]) + data[index + 1:]


def guid(text):
    """The on-disk bytes of a GUID given as 8-4-4-4-12 hex."""
    a, b, c, d, e = text.split("-")
    return struct.pack("<IHH", int(a, 16), int(b, 16), int(c, 16)) + bytes.fromhex(d + e)


# ZIP --------------------------------------------------------------------------

def local_header(name, data=b"", extra=b"", *, name_len=None, extra_len=None):
    """A stored ZIP local file header and its data; the two length fields
    that locate the name and the next header may be made to lie."""
    name = name.encode()
    return struct.pack("<4sHHHHHIIIHH", b"PK\x03\x04", 10, 0, 0, 0, 0, 0, len(data), len(data),
                       len(name) if name_len is None else name_len,
                       len(extra) if extra_len is None else extra_len) + name + extra + data


def headers(*names):
    """Empty entries back to back, without a central directory."""
    return b"".join(local_header(n) for n in names)


def zip_of(*names):
    """Entries of one byte each, then an empty end record."""
    return b"".join(local_header(n, b"x") for n in names) + b"PK\x05\x06" + bytes(18)


def mimetype_package(mime):
    """An OpenDocument-style package: a stored first entry "mimetype" holding `mime`."""
    return local_header("mimetype", mime.encode()) + local_header("content.xml", b"<x/>")


def real_zip(*entries, compression=zipfile.ZIP_STORED):
    """An archive written by zipfile, with fixed timestamps; entries are
    names or (name, data)."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as archive:
        for entry in entries:
            name, data = (entry, b"content") if isinstance(entry, str) else entry
            archive.writestr(zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0)), data, compression)
    return out.getvalue()


# Compound files -----------------------------------------------------------------

def compound_file(clsid=b"", *, version=3, directory=0, length=None, at=None):
    """A compound-file header whose directory starts at sector `directory`;
    with a class ID, the root entry there holds it. `at` ({offset: bytes})
    is written over the result, which is cut or zero-filled to `length`
    (default: through the class ID's place)."""
    sector = 4096 if version == 4 else 512
    entry_at = (directory + 1) * sector
    clsid_at = entry_at + 80
    out = bytearray(max(clsid_at + 16 if clsid else 512, length or 0))
    out[0:8] = CFB_SIGNATURE
    struct.pack_into("<HHHHH", out, 24, 0x3E, version, 0xFFFE, 12 if version == 4 else 9, 6)
    struct.pack_into("<I", out, 48, directory)
    if clsid:
        name = "Root Entry".encode("utf-16-le") + b"\0\0"
        out[entry_at:entry_at + len(name)] = name
        struct.pack_into("<HB", out, entry_at + 64, len(name), 5)  # name size, root storage
        out[clsid_at:clsid_at + len(clsid)] = clsid
    for offset, data in (at or {}).items():
        out[offset:offset + len(data)] = data
    return bytes(out[:clsid_at + 16 if length is None else length])


# Media ----------------------------------------------------------------------------

def ftyp(brand, *, size=24, length=None):
    """A file-type box: major `brand`, minor version, then `brand` and mp41 as
    compatible brands, with the declared `size`; cut or zero-filled to
    `length` bytes (default: the declared size)."""
    box = struct.pack(">I", size) + b"ftyp" + brand + b"\0\0\x02\0" + brand + b"mp41"
    return fit(box, size if length is None else length)


EBML_VERSIONS = b"\x42\x86\x81\x01\x42\xf7\x81\x01\x42\xf2\x81\x04\x42\xf3\x81\x08"
EBML_AFTER = b"\x42\x87\x81\x04\x42\x85\x81\x02"


def ebml(doctype, size=None, *, before=EBML_VERSIONS, after=EBML_AFTER):
    """An EBML header: `before` (other elements), a DocType element whose size
    field is `size` (default: the one-byte size of `doctype`), then `after`."""
    size = bytes([0x80 | len(doctype)]) if size is None else size
    body = before + b"\x42\x82" + size + doctype + after
    return EBML_ID + bytes([0x80 | len(body)]) + body


def ogg_page(packet, length=64):
    """The first page of a stream holding `packet`, padded with 0xff or cut to `length`."""
    header = b"OggS\0\x02" + bytes(8) + b"\x01\0\0\0" + bytes(8) + b"\x01" + bytes([len(packet) & 0xFF])
    return fit(header + packet, length, b"\xff")


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(*chunks, width=1, height=1):
    """A PNG image: the header chunk, `chunks`, and the end chunk."""
    ihdr = png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    return PNG_SIGNATURE + ihdr + b"".join(chunks) + png_chunk(b"IEND", b"")


# Executables and archives -----------------------------------------------------------

def elf(e_type, *, big_endian=False, length=64):
    """A 64-bit ELF header of type `e_type`, cut to `length` bytes."""
    ident = b"\x7fELF" + (b"\x02\x02\x01" if big_endian else b"\x02\x01\x01") + bytes(9)
    return (ident + struct.pack((">" if big_endian else "<") + "HHI", e_type, 0x3E, 1) + bytes(40))[:length]


def tar_header(name=b"a", *, field=None, signed=False):
    """A 512-byte ustar header; its checksum field is `field` or the right
    sum (over signed bytes with `signed`, as some old tars computed it)."""
    head = bytearray(at(512, {0: name, 100: b"0000644\0", 124: b"00000000000\0", 257: b"ustar\x0000"}))
    head[148:156] = b" " * 8
    total = sum((b - 256 if b > 127 else b) if signed else b for b in head)
    head[148:156] = field if field is not None else b"%06o\0 " % total
    return bytes(head)


def tar_bytes(fmt=tarfile.USTAR_FORMAT, name="hello.txt", data=b"hello\n"):
    """An archive of one file, as tarfile writes it in format `fmt`."""
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w", format=fmt) as tar:
        info = tarfile.TarInfo(name)
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return out.getvalue()


def crx(key_len, sig_len, sig=b"PK\x03\x04"):
    """A CRX version-2 header followed at once by `sig`."""
    return b"Cr24" + struct.pack("<III", 2, key_len, sig_len) + bytes(key_len + sig_len) + sig


# Text -------------------------------------------------------------------------------

def utf16(text, order):
    """`text` in UTF-16 with its byte-order mark; `order` is "be" or "le".
    Lone surrogates pass through, for the tests of broken text."""
    bom, codec = UTF16_BOMS[order]
    return bom + text.encode(codec, "surrogatepass")


def unclaimed(size, rng):
    """Random bytes, from `rng`, that no type accepts."""
    import taxon  # here alone: the other builders serve scripts run without the module (fuzz seeds)

    while True:
        data = rng.randbytes(size)
        if taxon.detect_mime(data) == "application/octet-stream":
            return data
