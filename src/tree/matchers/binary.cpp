// Binary formats recognised by a header structure or a signature further in.
#include "binary.hpp"

namespace taxon {

using namespace std::literals;

namespace {

constexpr std::size_t TAR_BLOCK = 512;
constexpr std::size_t TAR_CHKSUM = 148;  // checksum field, 8 bytes of octal text
constexpr std::size_t TAR_CHKSUM_LEN = 8;
constexpr std::size_t TAR_NAME_LEN = 100;

constexpr auto GPKG_MARK = "/gpkg-1\0"sv;  // name of a binary package's inner tar
constexpr auto ELF_MAGIC = "\x7F" "ELF"sv;
constexpr auto JXL_BOX = "\0\0\0\x0C" "JXL \r\n\x87\n"sv;
constexpr auto HDF5_SIG = "\x89" "HDF\r\n\x1A\n"sv;
constexpr auto LNK_SIG = "L\0\0\0\x01\x14\x02\0"sv;
static_assert(GPKG_MARK.size() == 8 && ELF_MAGIC.size() == 4 && JXL_BOX.size() == 12);
static_assert(HDF5_SIG.size() == 8 && LNK_SIG.size() == 8);

// The checksum field: optional leading NULs or spaces, then octal digits up
// to a NUL, a space or the end of the field. A missing or non-octal run
// yields nothing. Eight digits at most, so the value fits easily.
bool parse_octal(View field, std::uint32_t& value) noexcept {
    std::size_t i = 0;
    while (i < field.size && (field[i] == 0 || field[i] == ' ')) ++i;
    const std::size_t first = i;
    std::uint32_t v = 0;
    for (; i < field.size && field[i] != 0 && field[i] != ' '; ++i) {
        const std::uint8_t c = field[i];
        if (c < '0' || c > '7') return false;
        v = (v << 3) | static_cast<std::uint32_t>(c - '0');
    }
    if (i == first) return false;
    value = v;
    return true;
}

// An ELF header of the given object-file type (little-endian e_type).
bool elf_type(const View& v, std::uint8_t type) noexcept {
    return v.size >= 18 && v.starts_with(ELF_MAGIC) && v[16] == type && v[17] == 0;
}

// JPEG 2000 family: a signature box ("jP  ", or "jP2 " in some old writers)
// then a file-type box whose brand at offset 20 names the variant.
bool jpeg2000(const View& v, std::string_view brand) noexcept {
    return v.size >= 24 && (v.has_at(4, "jP  ") || v.has_at(4, "jP2 ")) && v.has_at(20, brand);
}

}  // namespace

// Archives

bool tar(const View& v) noexcept {
    if (v.size < TAR_BLOCK) return false;
    // The checksum field is the cheap test that nearly every non-tar fails.
    std::uint32_t stored = 0;
    if (!parse_octal(v.from(TAR_CHKSUM).first(TAR_CHKSUM_LEN), stored)) return false;
    // A Gentoo binary package (gpkg) is a tar whose first member is named
    // ".../gpkg-1"; it is a package, not a plain archive, so refuse it.
    for (std::size_t i = 0; i + GPKG_MARK.size() <= TAR_NAME_LEN; ++i) {
        if (v.has_at(i, GPKG_MARK)) return false;
    }
    // The checksum is the sum of the header with its own field taken as
    // spaces. Some old writers summed signed chars, so accept either sum.
    std::uint64_t unsigned_sum = 0;
    std::int64_t signed_sum = 0;
    for (std::size_t i = 0; i < TAR_BLOCK; ++i) {
        const std::uint8_t b = (i >= TAR_CHKSUM && i < TAR_CHKSUM + TAR_CHKSUM_LEN) ? std::uint8_t{' '} : v[i];
        unsigned_sum += b;
        signed_sum += static_cast<std::int8_t>(b);
    }
    return stored == unsigned_sum || static_cast<std::int64_t>(stored) == signed_sum;
}

// New ASCII, new ASCII with CRC, and old portable ASCII headers.
bool cpio(const View& v) noexcept {
    return v.size >= 6 && v.starts_with("07070") && (v[5] == '1' || v[5] == '2' || v[5] == '7');
}

bool ar(const View& v) noexcept { return v.starts_with("!<arch>"); }

// A Debian package is an ar archive whose first member is "debian-binary".
bool deb(const View& v) noexcept { return v.size >= 22 && v.has_at(8, "debian-binary"); }

// Databases and tables

// dBASE and FoxPro: a known version byte, then a binary header (date,
// record count, header and record lengths) with no printable byte in it.
bool dbf(const View& v) noexcept {
    if (v.size < 32) return false;
    switch (v[0]) {
        case 0x02: case 0x03: case 0x04: case 0x05: case 0x30: case 0x31:
        case 0x32: case 0x83: case 0x8B: case 0x8E: case 0xF5:
            break;
        default:
            return false;
    }
    for (std::size_t i = 1; i < 16; ++i) {
        if (v[i] >= 0x20 && v[i] < 0x7F) return false;
    }
    return true;
}

bool sqlite(const View& v) noexcept { return v.starts_with("SQLite format 3\0"sv); }

// Access: Jet (MDB) and ACE (ACCDB) engines name themselves at offset 4.
bool accdb(const View& v) noexcept { return v.size >= 32 && v.has_at(4, "Standard ACE DB"); }
bool mdb(const View& v) noexcept { return v.size >= 32 && v.has_at(4, "Standard Jet DB"); }

// MARC 21 leader: indicator and subfield-code counts "22", and the entry map
// "4500" at its end.
bool marc(const View& v) noexcept { return v.size >= 24 && v[10] == '2' && v[11] == '2' && v.has_at(20, "4500"); }

// Drawings and images

// AutoCAD release codes from R1.40 to 2018.
bool dwg(const View& v) noexcept {
    static constexpr std::string_view VERSIONS[] = {"1.40", "1.50", "2.10", "1002", "1003",
                                                    "1004", "1006", "1009", "1012", "1014",
                                                    "1015", "1018", "1021", "1024", "1032"};
    if (v.size < 6 || !v.starts_with("AC")) return false;
    for (const std::string_view version : VERSIONS) {
        if (v.has_at(2, version)) return true;
    }
    return false;
}

bool djvu(const View& v) noexcept { return v.size >= 16 && v.starts_with("AT&TFORM") && v.has_at(12, "DJVU"); }

// A bare JPEG XL codestream, or the container's signature box.
bool jxl(const View& v) noexcept { return v.starts_with("\xFF\x0A") || v.starts_with(JXL_BOX); }

bool jp2(const View& v) noexcept { return jpeg2000(v, "jp2 "); }
bool jpm(const View& v) noexcept { return jpeg2000(v, "jpm "); }
bool jpx(const View& v) noexcept { return jpeg2000(v, "jpx "); }

bool tiff(const View& v) noexcept { return v.starts_with("II\x2A\0"sv) || v.starts_with("MM\0\x2A"sv); }

bool glb(const View& v) noexcept { return v.starts_with("glTF\x02\0\0\0"sv) || v.starts_with("glTF\x01\0\0\0"sv); }

// Fonts

// TrueType outlines (00 01 00 00, or Apple's "true"), or a PostScript Type 1
// wrapped in sfnt. An Access database opens with 00 01 00 00 as well and
// names its engine right after; leave those to the Access records.
bool ttf(const View& v) noexcept {
    if (!(v.starts_with("\0\x01\0\0"sv) || v.starts_with("true") || v.starts_with("typ1"))) return false;
    return !(v.has_at(4, "Standard Jet DB") || v.has_at(4, "Standard ACE DB"));
}

// Embedded OpenType: the sizes come first, then the version at offset 8
// (1.0, 2.1 or 2.2, little-endian) and the "LP" magic at offset 34.
bool eot(const View& v) noexcept {
    if (v.size < 36 || !v.has_at(34, "LP")) return false;
    const std::uint32_t version = v.le32(8);
    return version == 0x00010000 || version == 0x00020001 || version == 0x00020002;
}

// Executables

bool elf(const View& v) noexcept { return v.starts_with(ELF_MAGIC); }
bool elf_obj(const View& v) noexcept { return elf_type(v, 1); }
bool elf_exe(const View& v) noexcept { return elf_type(v, 2); }
bool elf_lib(const View& v) noexcept { return elf_type(v, 3); }
bool elf_dump(const View& v) noexcept { return elf_type(v, 4); }

// 32- and 64-bit Mach-O in either byte order, and the little-endian form of
// the fat header (the big-endian one is shared with Java class files).
bool macho(const View& v) noexcept {
    if (v.size < 4) return false;
    const std::uint32_t magic = v.be32(0);
    return magic == 0xCEFAEDFE || magic == 0xCFFAEDFE || magic == 0xFEEDFACE || magic == 0xFEEDFACF ||
           magic == 0xBEBAFECA;
}

// A Chrome extension: a header with the key and signature lengths, then a
// ZIP. The lengths are attacker-chosen 32-bit values, so the offset of the
// ZIP is summed in 64 bits and checked against the view before reading.
bool crx(const View& v) noexcept {
    if (v.size < 16 || !v.starts_with("Cr24")) return false;
    const std::uint64_t zip_at = 16 + std::uint64_t{v.le32(8)} + std::uint64_t{v.le32(12)};
    if (zip_at + 4 > v.size) return false;
    const View zip = v.from(static_cast<std::size_t>(zip_at));
    return zip.starts_with("PK\x03\x04") || zip.starts_with("PK\x05\x06") || zip.starts_with("PK\x07\x08");
}

// InstallShield cabinet: "ISc(", then a version whose byte 7 is 1, 2 or 4.
bool install_shield_cab(const View& v) noexcept {
    return v.size >= 8 && v.starts_with("ISc(") && v[6] == 0 && (v[7] == 1 || v[7] == 2 || v[7] == 4);
}

bool lnk(const View& v) noexcept { return v.starts_with(LNK_SIG); }

// Signatures and metadata

bool p7s(const View& v) noexcept { return v.starts_with("-----BEGIN PKCS7-----"); }

// A bencoded dictionary whose first key is one a torrent starts with.
bool torrent(const View& v) noexcept {
    return v.starts_with("d8:announce") || v.starts_with("d7:comment") || v.starts_with("d4:info");
}

bool cbor_format(const View& v) noexcept { return v.starts_with("\xD9\xD9\xF7"); }

// Scientific and medical

bool fits(const View& v) noexcept { return v.starts_with("SIMPLE  =                    T"); }

// HDF5, or the older HDF4.
bool hdf(const View& v) noexcept { return v.starts_with(HDF5_SIG) || v.starts_with("\x0E\x03\x13\x01"); }

// DICOM: a 128-byte preamble, then "DICM".
bool dcm(const View& v) noexcept { return v.size >= 132 && v.has_at(128, "DICM"); }

// Records

namespace {
constexpr std::string_view AR_MIME_ALIASES[] = {"application/x-unix-archive"};
constexpr std::string_view AR_EXT_ALIASES[] = {".deb"};
constexpr const MimeType* AR_CHILDREN[] = {&DEB};
constexpr std::string_view DWG_MIME_ALIASES[] = {"image/x-dwg", "application/acad", "application/x-acad", "application/autocad_dwg", "application/dwg", "application/x-dwg", "application/x-autocad", "drawing/dwg"};
constexpr std::string_view FITS_MIME_ALIASES[] = {"image/fits"};
constexpr std::string_view ELF_EXT_ALIASES[] = {".so"};
constexpr const MimeType* ELF_CHILDREN[] = {&ELF_OBJ, &ELF_EXE, &ELF_LIB, &ELF_DUMP};
constexpr std::string_view TTF_MIME_ALIASES[] = {"font/sfnt", "application/x-font-ttf", "application/font-sfnt"};
constexpr std::string_view SQLITE3_MIME_ALIASES[] = {"application/x-sqlite3"};
constexpr std::string_view JPM_MIME_ALIASES[] = {"video/jpm"};
constexpr std::string_view TIFF_EXT_ALIASES[] = {".tif"};
}  // namespace

constinit const MimeType TAR{"application/x-tar", {}, ".tar", {}, tar, {}};
constinit const MimeType CPIO{"application/x-cpio", {}, ".cpio", {}, cpio, {}};
constinit const MimeType AR{"application/x-archive", AR_MIME_ALIASES, ".a", AR_EXT_ALIASES, ar, AR_CHILDREN};
constinit const MimeType DEB{"application/vnd.debian.binary-package", {}, ".deb", {}, deb, {}};
constinit const MimeType DBF{"application/x-dbf", {}, ".dbf", {}, dbf, {}};
constinit const MimeType DWG{"image/vnd.dwg", DWG_MIME_ALIASES, ".dwg", {}, dwg, {}};
constinit const MimeType EOT{"application/vnd.ms-fontobject", {}, ".eot", {}, eot, {}};
constinit const MimeType FITS{"application/fits", FITS_MIME_ALIASES, ".fits", {}, fits, {}};
constinit const MimeType TORRENT{"application/x-bittorrent", {}, ".torrent", {}, torrent, {}};
constinit const MimeType ELF{"application/x-elf", {}, "", ELF_EXT_ALIASES, elf, ELF_CHILDREN};
constinit const MimeType ELF_OBJ{"application/x-object", {}, "", {}, elf_obj, {}};
constinit const MimeType ELF_EXE{"application/x-executable", {}, "", {}, elf_exe, {}};
constinit const MimeType ELF_LIB{"application/x-sharedlib", {}, ".so", {}, elf_lib, {}};
constinit const MimeType ELF_DUMP{"application/x-coredump", {}, "", {}, elf_dump, {}};
constinit const MimeType MACHO{"application/x-mach-binary", {}, ".macho", {}, macho, {}};
constinit const MimeType CRX{"application/x-chrome-extension", {}, ".crx", {}, crx, {}};
constinit const MimeType P7S{"application/pkcs7-signature", {}, ".p7s", {}, p7s, {}};
constinit const MimeType TTF{"font/ttf", TTF_MIME_ALIASES, ".ttf", {}, ttf, {}};
constinit const MimeType ACCDB{"application/x-msaccess", {}, ".accdb", {}, accdb, {}};
constinit const MimeType MDB{"application/x-msaccess", {}, ".mdb", {}, mdb, {}};
constinit const MimeType SQLITE3{"application/vnd.sqlite3", SQLITE3_MIME_ALIASES, ".sqlite", {}, sqlite, {}};
constinit const MimeType DJVU{"image/vnd.djvu", {}, ".djvu", {}, djvu, {}};
constinit const MimeType JXL{"image/jxl", {}, ".jxl", {}, jxl, {}};
constinit const MimeType JP2{"image/jp2", {}, ".jp2", {}, jp2, {}};
constinit const MimeType JPM{"image/jpm", JPM_MIME_ALIASES, ".jpm", {}, jpm, {}};
constinit const MimeType JPX{"image/jpx", {}, ".jpx", {}, jpx, {}};
constinit const MimeType INSTALL_SHIELD_CAB{"application/x-installshield", {}, ".cab", {}, install_shield_cab, {}};
constinit const MimeType LNK{"application/x-ms-shortcut", {}, ".lnk", {}, lnk, {}};
constinit const MimeType MRC{"application/marc", {}, ".mrc", {}, marc, {}};
constinit const MimeType GLB{"model/gltf-binary", {}, ".glb", {}, glb, {}};
constinit const MimeType HDF{"application/x-hdf", {}, ".hdf", {}, hdf, {}};
constinit const MimeType DCM{"application/dicom", {}, ".dcm", {}, dcm, {}};
constinit const MimeType TIFF{"image/tiff", {}, ".tiff", TIFF_EXT_ALIASES, tiff, {}};
constinit const MimeType CBOR_FORMAT{"application/cbor", {}, ".cbor", {}, cbor_format, {}};

}  // namespace taxon
