import struct

import pytest
from hypothesis import given, settings, strategies as st

import taxon
from builders import CFB_SIGNATURE, compound_file

OLE, MSI, XLS, PPT, DOC = ("application/x-ole-storage", "application/x-ms-installer", "application/vnd.ms-excel",
                           "application/vnd.ms-powerpoint", "application/msword")
FAMILY = {OLE, MSI, XLS, PPT, DOC, "application/octet-stream", "application/vnd.ms-outlook",
          "application/vnd.ms-publisher", "application/onenote"}
MSI_ID, DOC_ID = bytes.fromhex("84100C0000000000C000000000000046"), bytes.fromhex("0609020000000000C000000000000046")
FREE, BOF = b"\xfd\xff\xff\xff", b"\x09\x08\x10\x00\x00\x06\x05\x00"
PPT_NAME = "PowerPoint Document".encode("utf-16-le")


@pytest.mark.parametrize("clsid, mime, ext", [
    ("84100C0000000000C000000000000046", MSI, ".msi"),
    ("AAF0000000000000C000000000000046", "application/octet-stream", ".aaf"),
    ("0B0D020000000000C000000000000046", "application/vnd.ms-outlook", ".msg"),
    ("1008020000000000FFFFFFFFFFFFFFFF", XLS, ".xls"),  # only 8 bytes compared
    ("2008020000000000C000000000000046", XLS, ".xls"),
    ("011202000000000000C0000000000046", "application/vnd.ms-publisher", ".pub"),
    ("0112020000000000C000000000000046", OLE, ""),
    ("108D81649B4FCF1186EA00AA00B929E8", PPT, ".ppt"),
    ("70AE7BEA3BFBCD11A90300AA00510EA3", PPT, ".ppt"),
    ("0609020000000000C000000000000046", DOC, ".doc"),
    ("0009020000000000C000000000000046", DOC, ".doc"),
    ("0709020000000000C000000000000046", DOC, ".doc"),
    ("43AD43365E4796488B420440E787C930", "application/onenote", ".one"),
    ("43AD43365E4796488B420440E787C931", OLE, ""),
])
def test_root_entry_class_id(clsid, mime, ext):
    data = compound_file(clsid=bytes.fromhex(clsid))
    assert (len(data), taxon.detect_mime(data), taxon.detect_type(data)) == (608, mime, ext)
    needed = 600 if mime == XLS else 608  # through the compared bytes of the class ID
    assert (taxon.detect_mime(data[:needed]), taxon.detect_mime(data[:needed - 1])) == (mime, OLE)


@pytest.mark.parametrize("data, expected", [
    (CFB_SIGNATURE, OLE),
    (compound_file(version=4, length=3072, at={592: MSI_ID}), OLE),  # 4096-byte sectors
    (compound_file(version=0x0104, clsid=MSI_ID), MSI),
    (compound_file(directory=1, clsid=DOC_ID), DOC),
    (compound_file(directory=1, clsid=DOC_ID, length=1119), OLE),
    (compound_file(directory=4, clsid=MSI_ID), MSI),
    # Directory past any view: only the fallbacks can still decide.
    (compound_file(directory=5, clsid=MSI_ID, length=3072), OLE),
    (compound_file(directory=5, length=3072, at={512: FREE + b"\x10"}), XLS),
    (compound_file(directory=0xFFFFFFFF, length=3072, at={592: MSI_ID}), OLE),
    (compound_file(directory=0xFFFFFFFE, length=3072, at={512: b"\xa0\x46\x1d\xf0"}), PPT),
    (compound_file(version=4, length=3072, at={512: FREE + b"\x23\x00"}), XLS),
    # Fallbacks at the start of sector 0.
    (compound_file(length=521, at={512: BOF}), XLS),
    (compound_file(length=520, at={512: BOF}), OLE),
    (compound_file(length=520, at={512: FREE + b"\x29"}), XLS),
    (compound_file(length=519, at={512: FREE + b"\x29"}), OLE),
    (compound_file(length=520, at={512: FREE + b"\x10\x00\x00\x00"}), XLS),
    (compound_file(length=520, at={512: FREE + b"\x11\x00\x00\x00"}), PPT),
    (compound_file(length=520, at={512: FREE + b"\x11\x00\x00\x01"}), OLE),
    (compound_file(clsid=DOC_ID, length=1024, at={512: FREE + b"\x00\x00\x00\x00"}), PPT),
    (compound_file(length=520, at={512: b"\x00\x6e\x1e\xf0"}), PPT),
    (compound_file(length=520, at={512: b"\x0f\x00\xe8\x03"}), PPT),
    (compound_file(length=520, at={512: b"\x0f\x00\xe8\x04"}), OLE),
    # The stream name is looked for from offset 1152 to the end of the view.
    (compound_file(directory=5, length=3072, at={1152: PPT_NAME}), PPT),
    (compound_file(directory=5, length=3072, at={1151: PPT_NAME}), OLE),
    (compound_file(directory=5, length=3072, at={3072 - 38: PPT_NAME}) + PPT_NAME, PPT),
    (compound_file(directory=5, length=3072, at={3072 - 37: PPT_NAME}) + PPT_NAME, OLE),
    (compound_file(directory=5, length=1190, at={1152: PPT_NAME}), PPT),
    (compound_file(directory=5, length=1189, at={1152: PPT_NAME}), OLE),
])
def test_layouts_and_fallbacks(data, expected):
    assert taxon.detect_mime(data) == expected


def test_short_views():
    assert taxon.detect_mime(CFB_SIGNATURE[:7]) != OLE
    for cut in range(8, 620):
        assert taxon.detect_mime(compound_file(clsid=MSI_ID)[:cut]) in (OLE, MSI)


@settings(max_examples=300, deadline=None)
@given(version=st.integers(0, 0xFFFF), directory=st.integers(0, 0xFFFFFFFF),
       length=st.integers(8, 3100), fill=st.binary(min_size=1, max_size=64))
def test_any_header_values_get_an_answer(version, directory, length, fill):
    data = bytearray((fill * 3200)[:max(length, 52)])
    data[0:8] = CFB_SIGNATURE
    data[26:28] = struct.pack("<H", version)
    data[48:52] = struct.pack("<I", directory)
    assert taxon.detect_mime(bytes(data[:length])) in FAMILY
