// OLE compound files and the formats stored in them.
#include "ole.hpp"
#include "ole_header.hpp"

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace taxon {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view SIGNATURE = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv;
constexpr std::size_t HEADER_MINIMUM = 28;  // through the major version
constexpr std::size_t MAJOR_VERSION_AT = 26;
constexpr std::size_t DIRECTORY_SECTOR_AT = 48;
constexpr std::size_t CLSID_IN_ENTRY = 80;  // the class ID within a directory entry

// Class IDs as stored: first three groups little-endian, last eight bytes as written.
constexpr std::string_view MSI_CLSID = "\x84\x10\x0C\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr std::string_view AAF_CLSID = "\xAA\xF0\x00\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr std::string_view MSG_CLSID = "\x0B\x0D\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
// Excel's class IDs are told apart by their first eight bytes only.
constexpr std::string_view XLS_CLSID_5 = "\x10\x08\x02\x00\x00\x00\x00\x00"sv;
constexpr std::string_view XLS_CLSID_8 = "\x20\x08\x02\x00\x00\x00\x00\x00"sv;
// Publisher's fourth group is 00C0, unlike its neighbours' C000.
constexpr std::string_view PUB_CLSID = "\x01\x12\x02\x00\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x46"sv;
constexpr std::string_view PPT_CLSID_A = "\x10\x8D\x81\x64\x9B\x4F\xCF\x11\x86\xEA\x00\xAA\x00\xB9\x29\xE8"sv;
constexpr std::string_view PPT_CLSID_B = "\x70\xAE\x7B\xEA\x3B\xFB\xCD\x11\xA9\x03\x00\xAA\x00\x51\x0E\xA3"sv;
constexpr std::string_view DOC_CLSID_97 = "\x06\x09\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr std::string_view DOC_CLSID_6 = "\x00\x09\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr std::string_view DOC_CLSID_PICTURE = "\x07\x09\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46"sv;
constexpr std::string_view ONENOTE_CLSID = "\x43\xAD\x43\x36\x5E\x47\x96\x48\x8B\x42\x04\x40\xE7\x87\xC9\x30"sv;

// True when the root entry's class ID begins with `clsid` (all 16 bytes for
// most formats, 8 for Excel) and those bytes lie inside the view.
bool root_clsid_is(const View& v, std::optional<std::size_t> root, std::string_view clsid) noexcept {
    return root && v.has_at(*root + CLSID_IN_ENTRY, clsid);
}

bool root_clsid_is_any(const View& v, std::initializer_list<std::string_view> clsids) noexcept {
    if (!ole_header(v)) return false;
    const std::optional<std::size_t> root = ole_root_entry(v);
    for (std::string_view clsid : clsids)
        if (root_clsid_is(v, root, clsid)) return true;
    return false;
}

// The fallbacks look at the start of sector 0, the sector after the header.
// When sector 0 holds the allocation table its first entry marks itself as
// an allocation-table sector (FDFFFFFF); the entries after it then reflect
// how the writing application laid out its streams.
constexpr std::size_t SECTOR_0 = 512;
constexpr std::size_t SECTOR_0_MINIMUM = SECTOR_0 + 8;
constexpr std::string_view FAT_SECTOR_MARK = "\xFD\xFF\xFF\xFF"sv;

// The PowerPoint stream name, UTF-16LE, looked for from this offset on.
constexpr std::size_t PPT_NAME_FROM = 1152;
constexpr std::size_t PPT_NAME_UNTIL = 4096;
constexpr std::string_view PPT_STREAM_NAME =
    "P\0o\0w\0e\0r\0P\0o\0i\0n\0t\0 \0D\0o\0c\0u\0m\0e\0n\0t\0"sv;
static_assert(PPT_STREAM_NAME.size() == 38);

}  // namespace

bool ole_header(const View& v) noexcept { return v.size >= HEADER_MINIMUM && v.starts_with(SIGNATURE); }

std::optional<std::size_t> ole_root_entry(const View& v) noexcept {
    if (!ole_header(v)) return std::nullopt;
    const std::uint64_t sector_size = v.le16(MAJOR_VERSION_AT) == 4 ? 4096 : 512;
    if (v.size < sector_size) return std::nullopt;  // which also holds the directory field
    static_assert(DIRECTORY_SECTOR_AT + 4 <= 512);
    // The header fills sector "-1": sector k starts at (k + 1) * sector size.
    // At most 2^32 * 2^12, so no overflow in 64 bits.
    const std::uint64_t root = (std::uint64_t{v.le32(DIRECTORY_SECTOR_AT)} + 1) * sector_size;
    if (root > v.size) return std::nullopt;
    return static_cast<std::size_t>(root);
}

namespace {

bool ole(const View& v) noexcept { return v.starts_with(SIGNATURE); }

bool msi(const View& v) noexcept { return root_clsid_is_any(v, {MSI_CLSID}); }
bool aaf(const View& v) noexcept { return root_clsid_is_any(v, {AAF_CLSID}); }
bool msg(const View& v) noexcept { return root_clsid_is_any(v, {MSG_CLSID}); }
bool pub(const View& v) noexcept { return root_clsid_is_any(v, {PUB_CLSID}); }
bool doc(const View& v) noexcept { return root_clsid_is_any(v, {DOC_CLSID_97, DOC_CLSID_6, DOC_CLSID_PICTURE}); }
bool onenote(const View& v) noexcept { return root_clsid_is_any(v, {ONENOTE_CLSID}); }

bool xls(const View& v) noexcept {
    if (root_clsid_is_any(v, {XLS_CLSID_5, XLS_CLSID_8})) return true;
    if (!ole_header(v) || v.size < SECTOR_0_MINIMUM) return false;
    // A workbook stream (BOF record) at the start of sector 0.
    if (v.size > SECTOR_0_MINIMUM && v.has_at(SECTOR_0, "\x09\x08\x10\x00\x00\x06\x05\x00"sv)) return true;
    if (!v.has_at(SECTOR_0, FAT_SECTOR_MARK)) return false;
    switch (v[SECTOR_0 + 4]) {
        case 0x10: case 0x1F: case 0x22: case 0x23: case 0x28: case 0x29: return true;
        default: return false;
    }
}

bool ppt(const View& v) noexcept {
    if (root_clsid_is_any(v, {PPT_CLSID_A, PPT_CLSID_B})) return true;
    if (!ole_header(v) || v.size < SECTOR_0_MINIMUM) return false;
    // Sector 0 opening with a PowerPoint record header.
    switch (v.le32(SECTOR_0)) {
        case 0xF01D46A0: case 0xF01E6E00: case 0x03E8000F: return true;
        default: break;
    }
    if (v.has_at(SECTOR_0, FAT_SECTOR_MARK) && v[SECTOR_0 + 6] == 0 && v[SECTOR_0 + 7] == 0) return true;
    if (v.size <= PPT_NAME_FROM) return false;
    // Every start offset from PPT_NAME_FROM on whose name ends inside both the
    // view and the first PPT_NAME_UNTIL bytes.
    const std::size_t end = v.size < PPT_NAME_UNTIL ? v.size : PPT_NAME_UNTIL;
    const std::string_view area(reinterpret_cast<const char*>(v.data + PPT_NAME_FROM), end - PPT_NAME_FROM);
    return area.find(PPT_STREAM_NAME) != std::string_view::npos;
}

}  // namespace

// Records

namespace {
constexpr std::string_view OLE_EXT_ALIASES[] = {".xls", ".pub", ".ppt", ".doc", ".chm", ".one"};
constexpr const MimeType* OLE_CHILDREN[] = {&MSI, &AAF, &MSG, &XLS, &PUB, &PPT, &DOC, &ONENOTE};
}  // namespace

constinit const MimeType OLE{"application/x-ole-storage", {}, "", OLE_EXT_ALIASES, ole, OLE_CHILDREN};
constinit const MimeType MSI{"application/x-ms-installer", {}, ".msi", {}, msi, {}};
constinit const MimeType AAF{"application/octet-stream", {}, ".aaf", {}, aaf, {}};
constinit const MimeType MSG{"application/vnd.ms-outlook", {}, ".msg", {}, msg, {}};
constinit const MimeType XLS{"application/vnd.ms-excel", {}, ".xls", {}, xls, {}};
constinit const MimeType PUB{"application/vnd.ms-publisher", {}, ".pub", {}, pub, {}};
constinit const MimeType PPT{"application/vnd.ms-powerpoint", {}, ".ppt", {}, ppt, {}};
constinit const MimeType DOC{"application/msword", {}, ".doc", {}, doc, {}};
constinit const MimeType ONENOTE{"application/onenote", {}, ".one", {}, onenote, {}};

}  // namespace taxon
