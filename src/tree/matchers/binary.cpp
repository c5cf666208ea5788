// Types told by parsing their header.
//
// A matcher belongs here when its test reads the header as structure: a
// checksum summed over the header, a field read as a length that locates the
// next part, a run of bytes scanned for what may not be in it, or a value
// looked up in a table. A test that only compares bytes at fixed offsets with
// constants is a signature: it belongs in signatures.cpp.
#include "binary.hpp"

namespace taxon {

using namespace std::literals;

namespace {

constexpr std::size_t TAR_BLOCK = 512;
constexpr std::size_t TAR_CHKSUM = 148;  // checksum field, 8 bytes of octal text
constexpr std::size_t TAR_CHKSUM_LEN = 8;
constexpr std::size_t TAR_NAME_LEN = 100;

constexpr auto GPKG_MARK = "/gpkg-1\0"sv;  // name of a binary package's inner tar
static_assert(GPKG_MARK.size() == 8);

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

// Drawings

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

}  // namespace

// Records

namespace {
constexpr std::string_view DWG_MIME_ALIASES[] = {"image/x-dwg", "application/acad", "application/x-acad", "application/autocad_dwg", "application/dwg", "application/x-dwg", "application/x-autocad", "drawing/dwg"};
}  // namespace

constinit const MimeType TAR{"application/x-tar", {}, ".tar", {}, tar, {}};
constinit const MimeType DBF{"application/x-dbf", {}, ".dbf", {}, dbf, {}};
constinit const MimeType DWG{"image/vnd.dwg", DWG_MIME_ALIASES, ".dwg", {}, dwg, {}};
constinit const MimeType CRX{"application/x-chrome-extension", {}, ".crx", {}, crx, {}};

}  // namespace taxon
