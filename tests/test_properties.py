"""Properties of the built-in detection over arbitrary and mutated bytes."""
import pathlib

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import taxon

READ_LIMIT = 3072
SEEDS_DIR = pathlib.Path(__file__).resolve().parent.parent / "fuzz" / "corpus" / "detect"
SEEDS = sorted(p.read_bytes() for p in SEEDS_DIR.glob("*")) if SEEDS_DIR.is_dir() else []

# Every (MIME, extension) pair of the catalogue, one record or more each.
CATALOGUE = """
application/octet-stream |
image/bmp | .bmp
image/bpg | .bpg
image/gif | .gif
image/vnd.radiance | .hdr
image/x-icon | .ico
image/x-icns | .icns
image/jpeg | .jpg
image/jxr | .jxr
image/jxs | .jxs
image/png | .png
image/vnd.mozilla.apng | .apng
image/x-portable-arbitrarymap | .pam
image/x-portable-bitmap | .pbm
image/x-portable-graymap | .pgm
image/x-portable-pixmap | .ppm
image/vnd.adobe.photoshop | .psd
image/x-xcf | .xcf
image/x-xpixmap | .xpm
image/x-gimp-gbr | .gbr
image/x-gimp-pat | .pat
image/webp | .webp
audio/basic | .au
audio/amr | .amr
audio/ape | .ape
video/x-ms-asf | .asf
video/x-msvideo | .avi
video/x-flv | .flv
audio/qcelp | .qcp
audio/x-unknown | .voc
audio/wav | .wav
audio/aiff | .aiff
audio/flac | .flac
audio/midi | .midi
application/vnd.rn-realmedia-vbr | .rmvb
audio/musepack | .mpc
application/x-bzip2 | .bz2
application/vnd.ms-cab-compressed | .cab
application/gzip | .gz
application/lzip | .lz
application/x-rar-compressed | .rar
application/x-rpm | .rpm
application/x-7z-compressed | .7z
application/x-xar | .xar
application/x-xz | .xz
application/zstd | .zst
application/vnd.microsoft.portable-executable | .exe
application/x-java-applet; charset=binary | .class
application/wasm | .wasm
application/x-shockwave-flash | .swf
application/vnd.nintendo.snes.rom | .nes
font/otf | .otf
font/collection | .ttc
font/woff | .woff
font/woff2 | .woff2
application/pdf | .pdf
application/vnd.fdf | .fdf
application/postscript | .ps
application/vnd.ms-htmlhelp | .chm
application/x-ms-reader | .lit
application/vnd.lotus-1-2-3 | .123
application/vnd.apache.parquet | .parquet
application/vnd.shx | .shx
application/vnd.shp | .shp
application/tzif |
text/x-php | .php
text/javascript | .js
text/x-python | .py
text/x-perl | .pl
text/x-ruby | .rb
text/x-lua | .lua
text/x-shellscript | .sh
text/x-tcl | .tcl
application/zip | .zip
application/vnd.openxmlformats-officedocument.wordprocessingml.document | .docx
application/vnd.openxmlformats-officedocument.spreadsheetml.sheet | .xlsx
application/vnd.openxmlformats-officedocument.presentationml.presentation | .pptx
application/vnd.ms-visio.drawing.main+xml | .vsdx
application/epub+zip | .epub
application/java-archive | .jar
application/vnd.android.package-archive | .apk
application/vnd.oasis.opendocument.text | .odt
application/vnd.oasis.opendocument.text-template | .ott
application/vnd.oasis.opendocument.spreadsheet | .ods
application/vnd.oasis.opendocument.spreadsheet-template | .ots
application/vnd.oasis.opendocument.presentation | .odp
application/vnd.oasis.opendocument.presentation-template | .otp
application/vnd.oasis.opendocument.graphics | .odg
application/vnd.oasis.opendocument.graphics-template | .otg
application/vnd.oasis.opendocument.formula | .odf
application/vnd.oasis.opendocument.chart | .odc
application/vnd.sun.xml.calc | .sxc
application/vnd.google-earth.kmz | .kmz
application/x-ole-storage |
application/x-ms-installer | .msi
application/octet-stream | .aaf
application/vnd.ms-outlook | .msg
application/vnd.ms-excel | .xls
application/vnd.ms-publisher | .pub
application/vnd.ms-powerpoint | .ppt
application/msword | .doc
application/onenote | .one
video/mp4 | .mp4
image/avif | .avif
video/3gpp | .3gp
video/3gpp2 | .3g2
audio/mp4 | .mp4
video/x-m4v | .m4v
image/heic | .heic
image/heic-sequence | .heic
image/heif | .heif
image/heif-sequence | .heif
video/mj2 | .mj2
video/vnd.dvb.file | .dvb
video/quicktime | .mov
video/quicktime | .mqv
video/webm | .webm
video/x-matroska | .mkv
application/ogg | .ogg
audio/ogg | .oga
video/ogg | .ogv
audio/mpeg | .mp3
video/mpeg | .mpeg
audio/aac | .aac
application/x-tar | .tar
application/x-cpio | .cpio
application/x-archive | .a
application/vnd.debian.binary-package | .deb
application/x-dbf | .dbf
image/vnd.dwg | .dwg
application/vnd.ms-fontobject | .eot
application/fits | .fits
application/x-bittorrent | .torrent
application/x-elf |
application/x-object |
application/x-executable |
application/x-sharedlib | .so
application/x-coredump |
application/x-mach-binary | .macho
application/x-chrome-extension | .crx
application/pkcs7-signature | .p7s
font/ttf | .ttf
application/x-msaccess | .accdb
application/x-msaccess | .mdb
application/vnd.sqlite3 | .sqlite
image/vnd.djvu | .djvu
image/jxl | .jxl
image/jp2 | .jp2
image/jpm | .jpm
image/jpx | .jpx
application/x-installshield | .cab
application/x-ms-shortcut | .lnk
application/marc | .mrc
model/gltf-binary | .glb
application/x-hdf | .hdf
application/dicom | .dcm
image/tiff | .tiff
application/cbor | .cbor
text/plain; charset=utf-8 | .txt
text/plain; charset=utf-16be | .txt
text/plain; charset=utf-16le | .txt
text/html; charset=utf-8 | .html
text/xml; charset=utf-8 | .xml
image/svg+xml | .svg
application/rss+xml | .rss
application/atom+xml | .atom
model/x3d+xml | .x3d
application/vnd.google-earth.kml+xml | .kml
application/x-xliff+xml | .xlf
model/vnd.collada+xml | .dae
application/gml+xml | .gml
application/gpx+xml | .gpx
application/vnd.garmin.tcx+xml | .tcx
application/x-amf | .amf
application/vnd.ms-package.3dmanufacturing-3dmodel+xml | .3mf
application/vnd.adobe.xfdf | .xfdf
application/owl+xml | .owl
application/xhtml+xml | .html
application/json | .json
application/geo+json | .geojson
application/x-ndjson | .ndjson
application/json | .har
model/gltf+json | .gltf
text/csv | .csv
text/tab-separated-values | .tsv
text/rtf | .rtf
application/x-subrip | .srt
text/vtt | .vtt
text/vcard | .vcf
text/calendar | .ics
application/warc | .warc
audio/x-mpegurl | .m3u
text/html; charset=utf-16 | .html
text/xml; charset=utf-16 | .xml
image/svg+xml; charset=utf-16 | .svg
application/json; charset=utf-16 | .json
text/csv; charset=utf-16 | .csv
text/tab-separated-values; charset=utf-16 | .tsv
application/x-subrip; charset=utf-16 | .srt
text/vtt; charset=utf-16 | .vtt
text/vcard; charset=utf-16 | .vcf
text/calendar; charset=utf-16 | .ics
text/rtf; charset=utf-16 | .rtf
"""
PAIRS = {(mime, ext.strip()) for mime, _, ext in (line.partition(" |") for line in CATALOGUE.strip().splitlines())}
MIMES = {mime for mime, _ in PAIRS}
EXTENSIONS = {ext for _, ext in PAIRS}

FAST = settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])


@st.composite
def buffers(draw, min_size=0):
    """Random bytes, or a known format's header with a few bytes changed and
    possibly cut short; padded to `min_size` with a drawn filler."""
    if SEEDS and draw(st.booleans()):
        data = bytearray(draw(st.sampled_from(SEEDS)))
        for _ in range(draw(st.integers(0, 4))):
            if data:
                data[draw(st.integers(0, len(data) - 1))] = draw(st.integers(0, 255))
        if draw(st.booleans()):
            del data[draw(st.integers(0, len(data))):]
    else:
        data = bytearray(draw(st.binary(max_size=600)))
    if len(data) < min_size:
        filler = draw(st.sampled_from([b"\0", b" ", b"a,b\n", b"\xff", b"PK\x03\x04"]))
        data += (filler * (min_size // len(filler) + 1))[:min_size - len(data)]
    return bytes(data)


@FAST
@given(buffers())
def test_answers_are_catalogue_pairs_of_one_record(data):
    mime, ext = taxon.detect_mime(data), taxon.detect_type(data)
    assert type(mime) is str and type(ext) is str
    assert (mime, ext) in PAIRS, (mime, ext)


@FAST
@given(st.binary(max_size=READ_LIMIT + 200))
def test_arbitrary_bytes_never_raise(data):
    assert taxon.detect_mime(data) in MIMES
    assert taxon.detect_type(data) in EXTENSIONS


@FAST
@given(buffers(min_size=READ_LIMIT), st.binary(max_size=64), st.binary(min_size=1, max_size=2048))
def test_only_the_first_3072_bytes_count(data, tail_a, tail_b):
    head = data[:READ_LIMIT]
    mime, ext = taxon.detect_mime(head), taxon.detect_type(head)
    for longer in (data, head + tail_a, head + tail_b, data + tail_b):
        assert taxon.detect_mime(longer) == mime
        assert taxon.detect_type(longer) == ext

