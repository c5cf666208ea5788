"""Small builders for the container layouts the tests need."""
import io
import struct
import zipfile

CFB_SIGNATURE = b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"
EBML_ID = b"\x1a\x45\xdf\xa3"


def local_header(name, data=b"", extra=b"", *, name_len=None, extra_len=None):
    """A ZIP local file header and its data; the length fields may be made to lie."""
    name = name.encode()
    lengths = struct.pack("<HH", len(name) if name_len is None else name_len,
                          len(extra) if extra_len is None else extra_len)
    return b"PK\x03\x04" + bytes(22) + lengths + name + extra + data


def headers(*names):
    return b"".join(local_header(n) for n in names)


def real_zip(*entries, compression=zipfile.ZIP_STORED):
    """An archive written by zipfile; entries are names or (name, data)."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as archive:
        for entry in entries:
            archive.writestr(*((entry, b"content") if isinstance(entry, str) else entry))
    return out.getvalue()


def compound_file(*, version=3, directory=0, clsid=b"", length=None, at=None):
    """A compound-file header with the root entry's class ID where the version
    and first directory sector put it, `at` ({offset: bytes}) written over it,
    zero-filled or cut to `length` (default: through the class ID)."""
    clsid_at = (directory + 1) * (4096 if version == 4 else 512) + 80
    length = clsid_at + 16 if length is None else length
    out = bytearray(max(length, clsid_at + 16 if clsid else 52))
    out[0:8] = CFB_SIGNATURE
    out[26:28] = struct.pack("<H", version)
    out[48:52] = struct.pack("<I", directory)
    out[clsid_at:clsid_at + len(clsid)] = clsid
    for offset, data in (at or {}).items():
        out[offset:offset + len(data)] = data
    return bytes(out[:length])


def ftyp(brand, *, size=24, length=None):
    """A file-type box with the given major brand and declared size, cut or
    zero-padded to `length` bytes (default: the declared size)."""
    box = struct.pack(">I", size) + b"ftyp" + brand + b"mp41isom"
    length = size if length is None else length
    return (box + bytes(length))[:length]


def ebml(doctype, size=b"\x84", before=b"\x42\x86\x81\x01"):
    """An EBML header: `before` (other elements), then a DocType element."""
    return EBML_ID + b"\x9f" + before + b"\x42\x82" + size + doctype + b"\x42\x87\x81\x04"
