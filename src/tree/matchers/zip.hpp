// ZIP archives and the packages built on them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType ZIP;
extern const MimeType DOCX;
extern const MimeType XLSX;
extern const MimeType PPTX;
extern const MimeType VSDX;
extern const MimeType EPUB;
extern const MimeType JAR;
extern const MimeType APK;
extern const MimeType ODT;
extern const MimeType OTT;
extern const MimeType ODS;
extern const MimeType OTS;
extern const MimeType ODP;
extern const MimeType OTP;
extern const MimeType ODG;
extern const MimeType OTG;
extern const MimeType ODF;
extern const MimeType ODC;
extern const MimeType SXC;
extern const MimeType KMZ;

// Walks the local file headers of a ZIP archive held in a view and yields
// the entry names, as views into the same bytes (never copies, never
// decoded). Nothing is decompressed and the central directory is not read:
// each search for the next header starts right after the previous header's
// extra field, so a header signature inside an entry's data counts as a
// header. The position only grows, so one walk scans the view at most once.
struct ZipIterator {
    View view;
    std::size_t position = 0;

    // The next entry name, or nothing once the walk has ended: no further
    // header, a header cut short by the end of the view, or a name that runs
    // past it. A call that yields nothing leaves the position alone.
    std::optional<std::string_view> next() noexcept;
};

// The names of the first entries of a view, as a fresh ZipIterator yields
// them, kept as offsets and lengths into the view. The ZIP children that
// look at entry names (the Office Open XML probe, apk, kmz) never look past
// the first LIMIT entries, so one walk serves them all.
struct ZipEntryNames {
    static constexpr std::size_t LIMIT = 100;
    std::size_t count;
    std::uint32_t at[LIMIT];
    std::uint32_t size[LIMIT];

    std::string_view name(const View& v, std::size_t i) const noexcept {
        return {reinterpret_cast<const char*>(v.data + at[i]), size[i]};
    }
};

// The entry names of `v`: from the walk's memo when another matcher has
// already walked this view, otherwise walked now (into the memo when there
// is one, else into `scratch`).
const ZipEntryNames& zip_entry_names(const View& v, ZipEntryNames& scratch) noexcept;

// The Office Open XML probe shared by docx, xlsx, pptx and vsdx: the first
// entry lies under `prefix`, or is one of the package's own bookkeeping
// names and an entry under `prefix` follows within the first 100 entries.
bool msoxml(const View& v, std::string_view prefix) noexcept;

bool zip(const View& v) noexcept;
bool docx(const View& v) noexcept;
bool xlsx(const View& v) noexcept;
bool pptx(const View& v) noexcept;
bool vsdx(const View& v) noexcept;
bool epub(const View& v) noexcept;
bool jar(const View& v) noexcept;
bool apk(const View& v) noexcept;
bool odt(const View& v) noexcept;
bool ott(const View& v) noexcept;
bool ods(const View& v) noexcept;
bool ots(const View& v) noexcept;
bool odp(const View& v) noexcept;
bool otp(const View& v) noexcept;
bool odg(const View& v) noexcept;
bool otg(const View& v) noexcept;
bool odf_format(const View& v) noexcept;
bool odc(const View& v) noexcept;
bool sxc(const View& v) noexcept;
bool kmz(const View& v) noexcept;

}  // namespace taxon
