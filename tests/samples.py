"""One small, canonical buffer per record of the type tree, and the answer each must get.

`SAMPLES[name]` is built so that the whole walk, priority order included,
ends at the record `name`; `EXPECTED[name]` is that record's (MIME, extension)
pair. The test suite checks every pair, and the benchmarks time every path of
the walk with these buffers.
"""
import random
import struct

from builders import (compound_file, ebml, elf, ftyp, guid, mimetype_package, ogg_page, png,
                      png_chunk, tar_header, utf16, zip_of)

# Every record of the tree: the root, 107 first-level types, and below them.
EXPECTED = {
    "ROOT": ("application/octet-stream", ""),
    "BMP": ("image/bmp", ".bmp"),
    "BPG": ("image/bpg", ".bpg"),
    "GIF": ("image/gif", ".gif"),
    "HDR": ("image/vnd.radiance", ".hdr"),
    "ICO": ("image/x-icon", ".ico"),
    "ICNS": ("image/x-icns", ".icns"),
    "JPG": ("image/jpeg", ".jpg"),
    "JXR": ("image/jxr", ".jxr"),
    "JXS": ("image/jxs", ".jxs"),
    "PNG": ("image/png", ".png"),
    "APNG": ("image/vnd.mozilla.apng", ".apng"),
    "PAM": ("image/x-portable-arbitrarymap", ".pam"),
    "PBM": ("image/x-portable-bitmap", ".pbm"),
    "PGM": ("image/x-portable-graymap", ".pgm"),
    "PPM": ("image/x-portable-pixmap", ".ppm"),
    "PSD": ("image/vnd.adobe.photoshop", ".psd"),
    "XCF": ("image/x-xcf", ".xcf"),
    "XPM": ("image/x-xpixmap", ".xpm"),
    "GBR": ("image/x-gimp-gbr", ".gbr"),
    "PAT": ("image/x-gimp-pat", ".pat"),
    "WEBP": ("image/webp", ".webp"),
    "AU": ("audio/basic", ".au"),
    "AMR": ("audio/amr", ".amr"),
    "APE": ("audio/ape", ".ape"),
    "ASF": ("video/x-ms-asf", ".asf"),
    "AVI": ("video/x-msvideo", ".avi"),
    "FLV": ("video/x-flv", ".flv"),
    "QCP": ("audio/qcelp", ".qcp"),
    "VOC": ("audio/x-unknown", ".voc"),
    "WAV": ("audio/wav", ".wav"),
    "AIFF": ("audio/aiff", ".aiff"),
    "FLAC": ("audio/flac", ".flac"),
    "MIDI": ("audio/midi", ".midi"),
    "RMVB": ("application/vnd.rn-realmedia-vbr", ".rmvb"),
    "MUSEPACK": ("audio/musepack", ".mpc"),
    "BZ2": ("application/x-bzip2", ".bz2"),
    "CAB": ("application/vnd.ms-cab-compressed", ".cab"),
    "GZIP": ("application/gzip", ".gz"),
    "LZIP": ("application/lzip", ".lz"),
    "RAR": ("application/x-rar-compressed", ".rar"),
    "RPM": ("application/x-rpm", ".rpm"),
    "SEVEN_Z": ("application/x-7z-compressed", ".7z"),
    "XAR": ("application/x-xar", ".xar"),
    "XZ": ("application/x-xz", ".xz"),
    "ZSTD": ("application/zstd", ".zst"),
    "EXE": ("application/vnd.microsoft.portable-executable", ".exe"),
    "CLASS": ("application/x-java-applet; charset=binary", ".class"),
    "WASM": ("application/wasm", ".wasm"),
    "SWF": ("application/x-shockwave-flash", ".swf"),
    "NES": ("application/vnd.nintendo.snes.rom", ".nes"),
    "OTF": ("font/otf", ".otf"),
    "TTC": ("font/collection", ".ttc"),
    "WOFF": ("font/woff", ".woff"),
    "WOFF2": ("font/woff2", ".woff2"),
    "PDF": ("application/pdf", ".pdf"),
    "FDF": ("application/vnd.fdf", ".fdf"),
    "PS": ("application/postscript", ".ps"),
    "CHM": ("application/vnd.ms-htmlhelp", ".chm"),
    "LIT": ("application/x-ms-reader", ".lit"),
    "LOTUS123": ("application/vnd.lotus-1-2-3", ".123"),
    "PARQUET": ("application/vnd.apache.parquet", ".parquet"),
    "SHX": ("application/vnd.shx", ".shx"),
    "SHP": ("application/vnd.shp", ".shp"),
    "TZIF": ("application/tzif", ""),
    "PHP": ("text/x-php", ".php"),
    "JAVASCRIPT": ("text/javascript", ".js"),
    "PYTHON": ("text/x-python", ".py"),
    "PERL": ("text/x-perl", ".pl"),
    "RUBY": ("text/x-ruby", ".rb"),
    "LUA": ("text/x-lua", ".lua"),
    "SHELL": ("text/x-shellscript", ".sh"),
    "TCL": ("text/x-tcl", ".tcl"),
    "ZIP": ("application/zip", ".zip"),
    "DOCX": ("application/vnd.openxmlformats-officedocument.wordprocessingml.document", ".docx"),
    "XLSX": ("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", ".xlsx"),
    "PPTX": ("application/vnd.openxmlformats-officedocument.presentationml.presentation", ".pptx"),
    "VSDX": ("application/vnd.ms-visio.drawing.main+xml", ".vsdx"),
    "EPUB": ("application/epub+zip", ".epub"),
    "JAR": ("application/java-archive", ".jar"),
    "APK": ("application/vnd.android.package-archive", ".apk"),
    "ODT": ("application/vnd.oasis.opendocument.text", ".odt"),
    "OTT": ("application/vnd.oasis.opendocument.text-template", ".ott"),
    "ODS": ("application/vnd.oasis.opendocument.spreadsheet", ".ods"),
    "OTS": ("application/vnd.oasis.opendocument.spreadsheet-template", ".ots"),
    "ODP": ("application/vnd.oasis.opendocument.presentation", ".odp"),
    "OTP": ("application/vnd.oasis.opendocument.presentation-template", ".otp"),
    "ODG": ("application/vnd.oasis.opendocument.graphics", ".odg"),
    "OTG": ("application/vnd.oasis.opendocument.graphics-template", ".otg"),
    "ODF": ("application/vnd.oasis.opendocument.formula", ".odf"),
    "ODC": ("application/vnd.oasis.opendocument.chart", ".odc"),
    "SXC": ("application/vnd.sun.xml.calc", ".sxc"),
    "KMZ": ("application/vnd.google-earth.kmz", ".kmz"),
    "OLE": ("application/x-ole-storage", ""),
    "MSI": ("application/x-ms-installer", ".msi"),
    "AAF": ("application/octet-stream", ".aaf"),
    "MSG": ("application/vnd.ms-outlook", ".msg"),
    "XLS": ("application/vnd.ms-excel", ".xls"),
    "PUB": ("application/vnd.ms-publisher", ".pub"),
    "PPT": ("application/vnd.ms-powerpoint", ".ppt"),
    "DOC": ("application/msword", ".doc"),
    "ONENOTE": ("application/onenote", ".one"),
    "MP4_PRECISE": ("video/mp4", ".mp4"),
    "AVIF_FORMAT": ("image/avif", ".avif"),
    "THREE_GPP": ("video/3gpp", ".3gp"),
    "THREE_GPP2": ("video/3gpp2", ".3g2"),
    "AMP4": ("audio/mp4", ".mp4"),
    "M4V": ("video/x-m4v", ".m4v"),
    "HEIC": ("image/heic", ".heic"),
    "HEIC_SEQ": ("image/heic-sequence", ".heic"),
    "HEIF": ("image/heif", ".heif"),
    "HEIF_SEQ": ("image/heif-sequence", ".heif"),
    "MJ2": ("video/mj2", ".mj2"),
    "DVB": ("video/vnd.dvb.file", ".dvb"),
    "QUICKTIME": ("video/quicktime", ".mov"),
    "MQV": ("video/quicktime", ".mqv"),
    "WEBM": ("video/webm", ".webm"),
    "MKV": ("video/x-matroska", ".mkv"),
    "OGG": ("application/ogg", ".ogg"),
    "OGG_AUDIO": ("audio/ogg", ".oga"),
    "OGG_VIDEO": ("video/ogg", ".ogv"),
    "MP3": ("audio/mpeg", ".mp3"),
    "MPEG": ("video/mpeg", ".mpeg"),
    "AAC": ("audio/aac", ".aac"),
    "TAR": ("application/x-tar", ".tar"),
    "CPIO": ("application/x-cpio", ".cpio"),
    "AR": ("application/x-archive", ".a"),
    "DEB": ("application/vnd.debian.binary-package", ".deb"),
    "DBF": ("application/x-dbf", ".dbf"),
    "DWG": ("image/vnd.dwg", ".dwg"),
    "EOT": ("application/vnd.ms-fontobject", ".eot"),
    "FITS": ("application/fits", ".fits"),
    "TORRENT": ("application/x-bittorrent", ".torrent"),
    "ELF": ("application/x-elf", ""),
    "ELF_OBJ": ("application/x-object", ""),
    "ELF_EXE": ("application/x-executable", ""),
    "ELF_LIB": ("application/x-sharedlib", ".so"),
    "ELF_DUMP": ("application/x-coredump", ""),
    "MACHO": ("application/x-mach-binary", ".macho"),
    "CRX": ("application/x-chrome-extension", ".crx"),
    "P7S": ("application/pkcs7-signature", ".p7s"),
    "TTF": ("font/ttf", ".ttf"),
    "ACCDB": ("application/x-msaccess", ".accdb"),
    "MDB": ("application/x-msaccess", ".mdb"),
    "SQLITE3": ("application/vnd.sqlite3", ".sqlite"),
    "DJVU": ("image/vnd.djvu", ".djvu"),
    "JXL": ("image/jxl", ".jxl"),
    "JP2": ("image/jp2", ".jp2"),
    "JPM": ("image/jpm", ".jpm"),
    "JPX": ("image/jpx", ".jpx"),
    "INSTALL_SHIELD_CAB": ("application/x-installshield", ".cab"),
    "LNK": ("application/x-ms-shortcut", ".lnk"),
    "MRC": ("application/marc", ".mrc"),
    "GLB": ("model/gltf-binary", ".glb"),
    "HDF": ("application/x-hdf", ".hdf"),
    "DCM": ("application/dicom", ".dcm"),
    "TIFF": ("image/tiff", ".tiff"),
    "CBOR_FORMAT": ("application/cbor", ".cbor"),
    "UTF8": ("text/plain; charset=utf-8", ".txt"),
    "UTF8_BOM": ("text/plain; charset=utf-8", ".txt"),
    "UTF16_BE": ("text/plain; charset=utf-16be", ".txt"),
    "UTF16_LE": ("text/plain; charset=utf-16le", ".txt"),
    "HTML": ("text/html; charset=utf-8", ".html"),
    "XML": ("text/xml; charset=utf-8", ".xml"),
    "SVG": ("image/svg+xml", ".svg"),
    "RSS": ("application/rss+xml", ".rss"),
    "ATOM": ("application/atom+xml", ".atom"),
    "X3D": ("model/x3d+xml", ".x3d"),
    "KML": ("application/vnd.google-earth.kml+xml", ".kml"),
    "XLIFF": ("application/x-xliff+xml", ".xlf"),
    "COLLADA": ("model/vnd.collada+xml", ".dae"),
    "GML": ("application/gml+xml", ".gml"),
    "GPX": ("application/gpx+xml", ".gpx"),
    "TCX": ("application/vnd.garmin.tcx+xml", ".tcx"),
    "AMF": ("application/x-amf", ".amf"),
    "THREEMF": ("application/vnd.ms-package.3dmanufacturing-3dmodel+xml", ".3mf"),
    "XFDF": ("application/vnd.adobe.xfdf", ".xfdf"),
    "OWL2": ("application/owl+xml", ".owl"),
    "XHTML": ("application/xhtml+xml", ".html"),
    "JSON": ("application/json", ".json"),
    "GEOJSON": ("application/geo+json", ".geojson"),
    "NDJSON": ("application/x-ndjson", ".ndjson"),
    "HAR": ("application/json", ".har"),
    "GLTF": ("model/gltf+json", ".gltf"),
    "CSV_FORMAT": ("text/csv", ".csv"),
    "TSV": ("text/tab-separated-values", ".tsv"),
    "RTF": ("text/rtf", ".rtf"),
    "SRT": ("application/x-subrip", ".srt"),
    "VTT": ("text/vtt", ".vtt"),
    "VCARD": ("text/vcard", ".vcf"),
    "ICALENDAR": ("text/calendar", ".ics"),
    "WARC": ("application/warc", ".warc"),
    "M3U": ("audio/x-mpegurl", ".m3u"),
    "HTML_UTF16_BE": ("text/html; charset=utf-16", ".html"),
    "HTML_UTF16_LE": ("text/html; charset=utf-16", ".html"),
    "XML_UTF16_BE": ("text/xml; charset=utf-16", ".xml"),
    "XML_UTF16_LE": ("text/xml; charset=utf-16", ".xml"),
    "SVG_UTF16_BE": ("image/svg+xml; charset=utf-16", ".svg"),
    "SVG_UTF16_LE": ("image/svg+xml; charset=utf-16", ".svg"),
    "JSON_UTF16_BE": ("application/json; charset=utf-16", ".json"),
    "JSON_UTF16_LE": ("application/json; charset=utf-16", ".json"),
    "CSV_UTF16_BE": ("text/csv; charset=utf-16", ".csv"),
    "CSV_UTF16_LE": ("text/csv; charset=utf-16", ".csv"),
    "TSV_UTF16_BE": ("text/tab-separated-values; charset=utf-16", ".tsv"),
    "TSV_UTF16_LE": ("text/tab-separated-values; charset=utf-16", ".tsv"),
    "SRT_UTF16_BE": ("application/x-subrip; charset=utf-16", ".srt"),
    "SRT_UTF16_LE": ("application/x-subrip; charset=utf-16", ".srt"),
    "VTT_UTF16_BE": ("text/vtt; charset=utf-16", ".vtt"),
    "VTT_UTF16_LE": ("text/vtt; charset=utf-16", ".vtt"),
    "VCARD_UTF16_BE": ("text/vcard; charset=utf-16", ".vcf"),
    "VCARD_UTF16_LE": ("text/vcard; charset=utf-16", ".vcf"),
    "ICALENDAR_UTF16_BE": ("text/calendar; charset=utf-16", ".ics"),
    "ICALENDAR_UTF16_LE": ("text/calendar; charset=utf-16", ".ics"),
    "RTF_UTF16_BE": ("text/rtf; charset=utf-16", ".rtf"),
    "RTF_UTF16_LE": ("text/rtf; charset=utf-16", ".rtf"),
}

RECORDS = tuple(EXPECTED)


def jpeg2000(brand):
    return b"\0\0\0\x0cjP  \r\n\x87\n" + b"\0\0\0\x14ftyp" + brand + b"\0\0\0\0" + brand


def xml_doc(root):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n' + root + "\n").encode()


# Texts whose UTF-16 forms reach the variants (and whose UTF-8 forms are shared).
UTF16_TEXTS = {
    "HTML": "<html><body>hello</body></html>\n",
    "XML": '<?xml version="1.0"?>\n<note>hello</note>\n',
    "SVG": '<svg xmlns="http://www.w3.org/2000/svg" width="1" height="1"></svg>\n',
    "JSON": '{"name": "taxon", "sizes": [1, 2]}\n',
    "CSV": "name,size\nalpha,1\nbeta,2\n",
    "TSV": "name\tsize\nalpha\t1\nbeta\t2\n",
    "SRT": "1\n00:00:01,000 --> 00:00:02,000\nHello\n",
    "VTT": "WEBVTT\n\n00:01.000 --> 00:02.000\nHello\n",
    "VCARD": "BEGIN:VCARD\nVERSION:4.0\nFN:Ada\nEND:VCARD\n",
    "ICALENDAR": "BEGIN:VCALENDAR\nVERSION:2.0\nEND:VCALENDAR\n",
    "RTF": "{\\rtf1\\ansi Hello}\n",
}


def _samples():
    s = {}
    # No record accepts these: fixed pseudo-random bytes, not text.
    rng = random.Random(20261208)
    s["ROOT"] = bytes([0x80]) + bytes(rng.getrandbits(8) for _ in range(63))

    # Images
    s["XPM"] = b"/* XPM */\nstatic char *x[] = {\n\"1 1 1 1\",\n};\n"
    s["PSD"] = b"8BPS\x00\x01" + bytes(20)
    s["PBM"] = b"P1\n1 1\n1\n"
    s["PGM"] = b"P5\n1 1\n255\n\x00"
    s["PPM"] = b"P6\n1 1\n255\n\x00\x00\x00"
    s["PAM"] = b"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\x00"
    s["PNG"] = png()
    s["APNG"] = png(png_chunk(b"acTL", struct.pack(">II", 1, 0)))
    s["JPG"] = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xd9"
    s["JXL"] = b"\xff\x0a\xfa\x7f\x01\x90\x08\x06\x01\x00\x48\x00"
    s["JP2"] = jpeg2000(b"jp2 ")
    s["JPX"] = jpeg2000(b"jpx ")
    s["JPM"] = jpeg2000(b"jpm ")
    s["JXS"] = b"\0\0\0\x0cJXS \r\n\x87\n" + b"\0\0\0\x14ftypjxs \0\0\0\0jxs "
    s["GIF"] = b"GIF89a\x01\x00\x01\x00\x00\x00\x00;"
    s["WEBP"] = b"RIFF\x1a\x00\x00\x00WEBPVP8L\x0d\x00\x00\x00\x2f\x00\x00\x00\x10\x07\x10\x11\x11\x88\x88\xfe\x07\x00"
    s["TIFF"] = b"II*\x00\x08\x00\x00\x00\x00\x00"
    s["BMP"] = b"BM\x3a\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00" + bytes(40)
    s["ICO"] = b"\x00\x00\x01\x00\x01\x00\x10\x10\x00\x00\x01\x00\x20\x00" + bytes(8)
    s["DJVU"] = b"AT&TFORM\x00\x00\x00\x20DJVUINFO\x00\x00\x00\x0a" + bytes(10)
    s["BPG"] = b"BPG\xfb\x20\x00\x01\x01"
    s["ICNS"] = b"icns\x00\x00\x00\x08"
    s["HDR"] = b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 1\n"
    s["XCF"] = b"gimp xcf v011\x00\x00\x00\x00\x01\x00\x00\x00\x01"
    s["PAT"] = struct.pack(">IIIII", 29, 1, 1, 1, 1) + b"GPAT" + b"p\x00" + b"\x00"
    s["GBR"] = struct.pack(">IIIII", 29, 2, 1, 1, 1) + b"GIMP" + struct.pack(">I", 10) + b"b\x00" + b"\x00"
    s["JXR"] = b"II\xbc\x01\x08\x00\x00\x00" + bytes(8)

    # Audio and video
    s["OGG"] = ogg_page(b"\x00unknown stream header!" + bytes(8), None)
    s["OGG_AUDIO"] = ogg_page(b"\x01vorbis\x00\x00\x00\x00\x02\x44\xac\x00\x00" + bytes(12), None)
    s["OGG_VIDEO"] = ogg_page(b"\x80theora\x03\x02\x01\x00\x14\x00\x0f" + bytes(16), None)
    s["MP3"] = b"ID3\x04\x00\x00\x00\x00\x00\x00" + b"\xff\xfb\x90\x64" + bytes(8)
    s["FLAC"] = b"fLaC\x80\x00\x00\x22" + bytes(34)
    s["MIDI"] = b"MThd\x00\x00\x00\x06\x00\x01\x00\x01\x00\x60MTrk\x00\x00\x00\x04\x00\xff\x2f\x00"
    s["APE"] = b"MAC \x96\x0f\x00\x00\x34\x00\x00\x00\x18\x00\x00\x00\x90\xe3" + bytes(14)
    s["MUSEPACK"] = b"MPCKSH\x10" + bytes(8)
    s["AMR"] = b"#!AMR\n\x3c" + bytes(31)
    s["WAV"] = b"RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x44\xac\x00\x00\x88\x58\x01\x00\x02\x00\x10\x00data\x00\x00\x00\x00"
    s["AIFF"] = b"FORM\x00\x00\x00\x2eAIFFCOMM\x00\x00\x00\x12" + bytes(18)
    s["AU"] = b".snd\x00\x00\x00\x18\xff\xff\xff\xff\x00\x00\x00\x03\x00\x00\x1f\x40\x00\x00\x00\x01"
    s["MPEG"] = b"\x00\x00\x01\xba\x44\x00\x04\x00\x04\x01\x01\x89\xc3\xf8\x00\x00\x01\xbb"
    s["QUICKTIME"] = ftyp(b"qt  ", size=20)
    s["MQV"] = ftyp(b"mqt ", size=20)
    s["MP4_PRECISE"] = ftyp(b"isom")
    for name, brand in [("AVIF_FORMAT", b"avif"), ("THREE_GPP", b"3gp4"), ("THREE_GPP2", b"3g24"),
                        ("AMP4", b"M4A "), ("M4V", b"M4V "), ("HEIC", b"heic"), ("HEIC_SEQ", b"hevc"),
                        ("HEIF", b"mif1"), ("HEIF_SEQ", b"msf1"), ("MJ2", b"mjp2"), ("DVB", b"dvb1")]:
        s[name] = ftyp(brand)
    s["WEBM"] = ebml(b"webm")
    s["MKV"] = ebml(b"matroska")
    s["AVI"] = b"RIFF\x00\x01\x00\x00AVI LIST\x00\x01\x00\x00hdrlavih" + bytes(8)
    s["FLV"] = b"FLV\x01\x05\x00\x00\x00\x09\x00\x00\x00\x00"
    s["ASF"] = guid("75B22630-668E-11CF-A6D9-00AA0062CE6C") + b"\x1e\x00\x00\x00\x00\x00\x00\x00" + bytes(6)
    s["AAC"] = b"\xff\xf1\x50\x80\x02\x1f\xfc" + bytes(9)
    s["VOC"] = b"Creative Voice File\x1a\x1a\x00\x0a\x01\x29\x11"
    s["M3U"] = b"#EXTM3U\n#EXTINF:10,Track\ntrack.mp3\n"
    s["RMVB"] = b".RMF\x00\x00\x00\x12\x00\x01\x00\x00\x00\x00\x00\x00\x00\x05"
    s["QCP"] = b"RIFF\x00\x01\x00\x00QLCMfmt " + bytes(8)

    # Archives and compressed streams
    s["SEVEN_Z"] = b"7z\xbc\xaf\x27\x1c\x00\x04" + bytes(24)
    s["ZIP"] = b"PK\x05\x06" + bytes(18)
    s["DOCX"] = zip_of("[Content_Types].xml", "_rels/.rels", "word/document.xml")
    s["XLSX"] = zip_of("[Content_Types].xml", "xl/workbook.xml")
    s["PPTX"] = zip_of("[Content_Types].xml", "ppt/presentation.xml")
    s["VSDX"] = zip_of("[Content_Types].xml", "visio/document.xml")
    s["EPUB"] = mimetype_package("application/epub+zip")
    s["JAR"] = zip_of("META-INF/MANIFEST.MF", "Main.class")
    s["APK"] = zip_of("AndroidManifest.xml", "classes.dex", "resources.arsc")
    for name in ("ODT", "OTT", "ODS", "OTS", "ODP", "OTP", "ODG", "OTG", "ODF", "ODC", "SXC"):
        s[name] = mimetype_package(EXPECTED[name][0])
    s["KMZ"] = zip_of("doc.kml", "files/icon.png")
    s["AR"] = b"!<arch>\n" + b"hello.o/        0           0     0     644     4         `\n" + b"\x7fELF"
    s["DEB"] = b"!<arch>\n" + b"debian-binary   0           0     0     100644  4         `\n" + b"2.0\n"
    s["TAR"] = tar_header(b"hello.txt")
    s["XAR"] = b"xar!\x00\x1c\x00\x01" + bytes(20)
    s["BZ2"] = b"BZh91AY&SY\x00\x00\x00\x00"
    s["GZIP"] = b"\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    s["RAR"] = b"Rar!\x1a\x07\x01\x00\x33\x92\xb5\xe5\x0a\x01\x05\x06\x00\x05\x01\x01\x80\x80\x00"
    s["ZSTD"] = b"\x28\xb5\x2f\xfd\x00\x58\x01\x00\x00"
    s["CAB"] = b"MSCF\x00\x00\x00\x00\x40\x00\x00\x00" + bytes(24)
    s["RPM"] = b"\xed\xab\xee\xdb\x03\x00\x00\x00\x00\x01" + bytes(66)
    s["XZ"] = b"\xfd7zXZ\x00\x00\x04\xe6\xd6\xb4\x46"
    s["LZIP"] = b"LZIP\x01\x0c\x00"
    s["CPIO"] = b"070701" + b"0" * 104 + b"TRAILER!!!\x00"
    s["CRX"] = b"Cr24\x02\x00\x00\x00\x04\x00\x00\x00\x04\x00\x00\x00" + b"keys" + b"sign" + b"PK\x05\x06" + bytes(18)
    s["INSTALL_SHIELD_CAB"] = b"ISc(\x0c\x60\x00\x01" + bytes(24)

    # Documents and data
    s["PDF"] = b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n"
    s["FDF"] = b"%FDF-1.2\n%\xe2\xe3\xcf\xd3\n"
    s["PS"] = b"%!PS-Adobe-3.0\n%%Pages: 1\n"
    s["P7S"] = b"-----BEGIN PKCS7-----\nMIIB\n-----END PKCS7-----\n"
    s["OLE"] = compound_file()
    s["MSI"] = compound_file(guid("000C1084-0000-0000-C000-000000000046"))
    s["AAF"] = compound_file(guid("0000F0AA-0000-0000-C000-000000000046"))
    s["MSG"] = compound_file(guid("00020D0B-0000-0000-C000-000000000046"))
    s["XLS"] = compound_file(guid("00020820-0000-0000-C000-000000000046"))
    s["PUB"] = compound_file(guid("00021201-0000-0000-00C0-000000000046"))
    s["PPT"] = compound_file(guid("64818D10-4F9B-11CF-86EA-00AA00B929E8"))
    s["DOC"] = compound_file(guid("00020906-0000-0000-C000-000000000046"))
    s["ONENOTE"] = compound_file(guid("3643AD43-475E-4896-8B42-0440E787C930"))
    s["FITS"] = b"SIMPLE  =" + b" " * 20 + b"T" + b" " * 50
    s["LOTUS123"] = b"\x00\x00\x1a\x00\x00\x1a\x00\x00\x04\x04" + bytes(6)
    s["CHM"] = b"ITSF\x03\x00\x00\x00\x60\x00\x00\x00\x01\x00\x00\x00"
    s["LIT"] = b"ITOLITLS\x01\x00\x00\x00\x28\x00\x00\x00"
    s["SHX"] = b"\x00\x00\x27\x0a" + bytes(20) + struct.pack(">I", 50) + struct.pack("<II", 1000, 1) + bytes(18)
    s["SHP"] = b"\x00\x00\x27\x0a" + bytes(20) + struct.pack(">I", 50) + struct.pack("<II", 1000, 1) + bytes(68)
    s["DBF"] = b"\x03\x18\x01\x01\x01\x00\x00\x00\x81\x00\x0b\x00" + bytes(20) + b"\x0d"
    s["DCM"] = bytes(128) + b"DICM\x02\x00\x00\x00\x55\x4c\x04\x00"
    s["CBOR_FORMAT"] = b"\xd9\xd9\xf7\xa1\x61a\x01"
    s["SQLITE3"] = b"SQLite format 3\x00\x10\x00\x01\x01\x00\x40\x20\x20" + bytes(8)
    s["DWG"] = b"AC1018" + bytes(10)
    s["LNK"] = b"\x4c\x00\x00\x00\x01\x14\x02\x00\x00\x00\x00\x00\xc0\x00\x00\x00\x00\x00\x00\x46"
    s["HDF"] = b"\x89HDF\r\n\x1a\n\x00\x00\x00\x00"
    s["MRC"] = b"00714cam  2200205 a 4500001001300000"
    s["MDB"] = b"\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00" + bytes(12)
    s["ACCDB"] = b"\x00\x01\x00\x00Standard ACE DB\x00\x02\x00\x00\x00" + bytes(12)
    s["TORRENT"] = b"d8:announce30:http://tracker.example/announce4:infod4:name1:xee"
    s["TZIF"] = b"TZif2" + bytes(15) + bytes(24)
    s["GLB"] = b"glTF\x02\x00\x00\x00\x0c\x00\x00\x00"
    s["PARQUET"] = b"PAR1\x15\x04\x15\x00"

    # Executables
    s["EXE"] = b"MZ\x90\x00\x03\x00\x00\x00\x04\x00" + bytes(54)
    s["ELF"] = elf(2, big_endian=True)
    s["ELF_OBJ"] = elf(1)
    s["ELF_EXE"] = elf(2)
    s["ELF_LIB"] = elf(3)
    s["ELF_DUMP"] = elf(4)
    s["MACHO"] = b"\xcf\xfa\xed\xfe\x07\x00\x00\x01\x03\x00\x00\x00\x02\x00\x00\x00"
    s["CLASS"] = b"\xca\xfe\xba\xbe\x00\x00\x00\x34\x00\x0a"
    s["WASM"] = b"\x00asm\x01\x00\x00\x00"
    s["SWF"] = b"FWS\x0a\x20\x00\x00\x00\x78\x00"
    s["NES"] = b"NES\x1a\x02\x01\x01\x00" + bytes(8)

    # Fonts
    s["TTF"] = b"\x00\x01\x00\x00\x00\x0a\x00\x80\x00\x03\x00\x20cmap" + bytes(12)
    s["OTF"] = b"OTTO\x00\x0a\x00\x80\x00\x03\x00\x20CFF " + bytes(12)
    s["TTC"] = b"ttcf\x00\x01\x00\x00\x00\x00\x00\x01\x00\x00\x00\x10"
    s["WOFF"] = b"wOFF\x00\x01\x00\x00\x00\x00\x01\x00" + bytes(32)
    s["WOFF2"] = b"wOF2\x00\x01\x00\x00\x00\x00\x01\x00" + bytes(36)
    eot = bytearray(90)
    struct.pack_into("<III", eot, 0, len(eot), 16, 0x00020002)
    eot[34:36] = b"LP"
    s["EOT"] = bytes(eot)

    # Text with a byte-order mark
    s["UTF8_BOM"] = b"\xef\xbb\xbfhello, world\n"
    for order in ("be", "le"):
        s["UTF16_" + order.upper()] = utf16("hello world\n", order)
        for kind, text in UTF16_TEXTS.items():
            s[f"{kind}_UTF16_{order.upper()}"] = utf16(text, order)

    # UTF-8 text
    s["UTF8"] = b"The quick brown fox jumps over the lazy dog.\n"
    s["HTML"] = b"<!DOCTYPE html>\n<html><head><title>t</title></head><body><p>hi</p></body></html>\n"
    s["XML"] = xml_doc("<note><to>Ada</to></note>")
    for name, root in [
        ("RSS", '<rss version="2.0"><channel/></rss>'),
        ("ATOM", '<feed xmlns="http://www.w3.org/2005/Atom"></feed>'),
        ("X3D", '<X3D profile="Interchange"></X3D>'),
        ("KML", '<kml xmlns="http://www.opengis.net/kml/2.2"></kml>'),
        ("XLIFF", '<xliff version="1.2"></xliff>'),
        ("COLLADA", '<COLLADA version="1.4.1"></COLLADA>'),
        ("GML", '<gml:Point xmlns:gml="http://www.opengis.net/gml"></gml:Point>'),
        ("GPX", '<gpx version="1.1"></gpx>'),
        ("TCX", "<TrainingCenterDatabase></TrainingCenterDatabase>"),
        ("AMF", '<amf unit="millimeter"></amf>'),
        ("THREEMF", '<model unit="millimeter"></model>'),
        ("XFDF", '<xfdf xml:space="preserve"></xfdf>'),
        ("OWL2", '<Ontology><owl:Class/></Ontology>'),
        ("XHTML", '<html xmlns="http://www.w3.org/1999/xhtml"></html>'),
    ]:
        s[name] = xml_doc(root)
    s["SVG"] = UTF16_TEXTS["SVG"].encode()
    s["PHP"] = b"<?php echo 'hello'; ?>\n"
    s["JAVASCRIPT"] = b"const answer = 42;\nconsole.log(answer);\n"
    s["PYTHON"] = b"#!/usr/bin/env python3\nprint('hello')\n"
    s["PERL"] = b"#!/usr/bin/perl\nprint \"hello\\n\";\n"
    s["RUBY"] = b"#!/usr/bin/env ruby\nputs 'hello'\n"
    s["LUA"] = b"#!/usr/bin/env lua\nprint('hello')\n"
    s["SHELL"] = b"#!/bin/sh\necho hello\n"
    s["TCL"] = b"#!/usr/bin/env tclsh\nputs hello\n"
    # Pretty-printed: its first line alone is not JSON, so it is not NDJSON.
    s["JSON"] = b'{\n  "name": "taxon",\n  "sizes": [1, 2]\n}\n'
    s["GEOJSON"] = b'{"type": "FeatureCollection", "features": []}'
    s["NDJSON"] = b'{"id": 1}\n{"id": 2}\n'
    s["HAR"] = b'{"log": {"version": "1.2", "entries": []}}'
    s["GLTF"] = b'{"asset": {"version": "2.0"}, "scenes": [], "nodes": []}'
    s["CSV_FORMAT"] = b"name,size\nalpha,1\nbeta,2"
    s["TSV"] = b"name\tsize\nalpha\t1\nbeta\t2"
    s["RTF"] = b"{\\rtf1\\ansi Hello}\n"
    s["SRT"] = UTF16_TEXTS["SRT"].encode()
    s["VTT"] = UTF16_TEXTS["VTT"].encode()
    s["VCARD"] = UTF16_TEXTS["VCARD"].encode()
    s["ICALENDAR"] = UTF16_TEXTS["ICALENDAR"].encode()
    s["WARC"] = b"WARC/1.0\r\nWARC-Type: warcinfo\r\nContent-Length: 0\r\n\r\n"
    return s


SAMPLES = _samples()
