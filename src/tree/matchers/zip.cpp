// ZIP archives and the packages built on them.
#include "zip.hpp"

#include <cstring>
#include <initializer_list>

#include "../cpu.hpp"
#include "../memo.hpp"
#include "text.hpp"
#include "vector_twins.hpp"

namespace taxon {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view LOCAL_HEADER = "PK\x03\x04"sv;
constexpr std::size_t LOCAL_HEADER_SIZE = 30;  // fixed part, up to the name
constexpr std::size_t NAME_LENGTH_AT = 26;
constexpr std::size_t EXTRA_LENGTH_AT = 28;

// Matchers that look for one entry among many stop after this many entries,
// the first included.
constexpr std::size_t ENTRY_LIMIT = ZipEntryNames::LIMIT;

#if TAXON_HAS(X86_AVX2)
// Thirty-two starts at a time: a start is a candidate when "P" stands there;
// candidates (rare outside headers, about one byte in 256 of compressed
// data) are then compared whole. Returns the first whole signature, or the
// first start not yet examined when the blocks run out; the caller finishes
// the tail. Loads end at i + 31 <= last < size.
TAXON_AVX2_FN std::size_t find_local_header_avx2(const std::uint8_t* d, std::size_t i, std::size_t last) noexcept {
    const __m256i p = _mm256_set1_epi8('P');
    for (; i + 31 <= last; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        auto m = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, p)));
        while (m != 0) {
            const std::size_t at = i + cpu::first_set(m);
            if (d[at + 1] == 'K' && d[at + 2] == 0x03 && d[at + 3] == 0x04) return at;
            m &= m - 1;
        }
    }
    return i;
}
#endif

}  // namespace

// Offset of the first local header signature at or after `from`, or nothing.
std::optional<std::size_t> twins::zip_local_header(const View& v, std::size_t from, cpu::Path path) noexcept {
    if (from > v.size || v.size - from < LOCAL_HEADER.size()) return std::nullopt;
    const std::uint8_t* const d = v.data;
    const std::size_t last = v.size - LOCAL_HEADER.size();  // last possible start
    std::size_t i = from;
#if TAXON_HAS(X86_AVX2)
    if (path >= cpu::Path::avx2 && last - i >= 64) {
        i = find_local_header_avx2(d, i, last);
        if (i <= last && d[i] == 'P' && d[i + 1] == 'K' && d[i + 2] == 0x03 && d[i + 3] == 0x04) return i;
    }
#endif
    (void)path;
    for (; i <= last; ++i) {
        if (d[i] == 'P' && d[i + 1] == 'K' && d[i + 2] == 0x03 && d[i + 3] == 0x04) return i;
    }
    return std::nullopt;
}

namespace {

std::optional<std::size_t> find_local_header(const View& v, std::size_t from) noexcept {
    return twins::zip_local_header(v, from, cpu::best_path());
}

// Packages that put a stored, extra-field-free entry named "mimetype" first
// have its name at offset 30 and its content, their MIME type, right after.
constexpr std::string_view MIMETYPE_NAME = "mimetype";

// `slack` is how many bytes the view must hold beyond the compared ones.
bool mimetype_entry_is(const View& v, std::string_view mime, std::size_t slack) noexcept {
    const std::size_t name_at = LOCAL_HEADER_SIZE;
    const std::size_t content_at = name_at + MIMETYPE_NAME.size();
    if (v.size < content_at + mime.size() + slack) return false;
    return v.has_at(name_at, MIMETYPE_NAME) && v.has_at(content_at, mime);
}

// The OpenDocument and StarOffice matchers want the view to reach at least
// one byte past the compared text; EPUB does not.
bool opendocument(const View& v, const MimeType& record) noexcept { return mimetype_entry_is(v, record.mime, 1); }

bool name_is_any(std::string_view name, std::initializer_list<std::string_view> names) noexcept {
    for (std::string_view candidate : names)
        if (name == candidate) return true;
    return false;
}

}  // namespace

std::optional<std::string_view> ZipIterator::next() noexcept {
    const std::optional<std::size_t> found = find_local_header(view, position);
    if (!found) return std::nullopt;
    const std::size_t i = *found;
    if (view.size - i < LOCAL_HEADER_SIZE) return std::nullopt;
    const std::size_t name_length = view.le16(i + NAME_LENGTH_AT);
    const std::size_t extra_length = view.le16(i + EXTRA_LENGTH_AT);
    const std::size_t name_at = i + LOCAL_HEADER_SIZE;
    if (view.size - name_at < name_length) return std::nullopt;
    // May land past the end of the view; the next call then yields nothing.
    position = name_at + name_length + extra_length;
    return std::string_view(reinterpret_cast<const char*>(view.data + name_at), name_length);
}

const ZipEntryNames& zip_entry_names(const View& v, ZipEntryNames& scratch) noexcept {
    Memo* memo = v.memo;
    if (memo != nullptr && memo->zip_names.holds(v)) return memo->zip_names.value;
    ZipEntryNames& names = memo != nullptr ? memo->zip_names.value : scratch;
    ZipIterator entries{v};
    names.count = 0;
    while (names.count < ZipEntryNames::LIMIT) {
        const std::optional<std::string_view> name = entries.next();
        if (!name) break;
        names.at[names.count] = static_cast<std::uint32_t>(reinterpret_cast<const std::uint8_t*>(name->data()) - v.data);
        names.size[names.count] = static_cast<std::uint32_t>(name->size());
        ++names.count;
    }
    if (memo != nullptr) memo->zip_names.tie(v);
    return names;
}

bool msoxml(const View& v, std::string_view prefix) noexcept {
    ZipEntryNames scratch;
    const ZipEntryNames& entries = zip_entry_names(v, scratch);
    if (entries.count == 0) return false;
    const std::string_view first = entries.name(v, 0);
    if (first.starts_with(prefix)) return true;
    // Otherwise the package must open with one of its own bookkeeping
    // entries; anything else (docProps/app.xml included) is not a package.
    if (!name_is_any(first, {"[Content_Types].xml", "_rels/.rels", "docProps", "customXml", "[trash]"})) return false;
    // The first ENTRY_LIMIT entries, the first included.
    for (std::size_t i = 1; i < entries.count && i < ENTRY_LIMIT; ++i) {
        if (entries.name(v, i).starts_with(prefix)) return true;
    }
    return false;
}

bool zip(const View& v) noexcept {
    return v.starts_with(LOCAL_HEADER) || v.starts_with("PK\x05\x06"sv) || v.starts_with("PK\x07\x08"sv);
}

bool docx(const View& v) noexcept { return msoxml(v, "word/"); }
bool xlsx(const View& v) noexcept { return msoxml(v, "xl/"); }
bool pptx(const View& v) noexcept { return msoxml(v, "ppt/"); }
bool vsdx(const View& v) noexcept { return msoxml(v, "visio/"); }

bool epub(const View& v) noexcept { return mimetype_entry_is(v, EPUB.mime, 0); }

bool jar(const View& v) noexcept {
    // The jar tool marks its archives with an extra field of ID 0xCAFE on
    // the first entry, taken to start at offset 0.
    if (v.size >= LOCAL_HEADER_SIZE) {
        const std::size_t extra_at = LOCAL_HEADER_SIZE + v.le16(NAME_LENGTH_AT);
        if (extra_at + 2 <= v.size && v.le16(extra_at) == 0xCAFE) return true;
    }
    ZipIterator entries{v};
    const std::optional<std::string_view> first = entries.next();
    return first && first->starts_with("META-INF/");
}

bool apk(const View& v) noexcept {
    ZipEntryNames scratch;
    const ZipEntryNames& entries = zip_entry_names(v, scratch);
    for (std::size_t i = 0; i < entries.count && i < ENTRY_LIMIT; ++i) {
        const std::string_view name = entries.name(v, i);
        if (name_is_any(name, {"classes.dex", "resources.arsc", "AndroidManifest.xml",
                               "META-INF/com/android/build/gradle/app-metadata.properties"}) ||
            name.starts_with("res/drawable"))
            return true;
    }
    return false;
}

bool odt(const View& v) noexcept { return opendocument(v, ODT); }
bool ott(const View& v) noexcept { return opendocument(v, OTT); }
bool ods(const View& v) noexcept { return opendocument(v, ODS); }
bool ots(const View& v) noexcept { return opendocument(v, OTS); }
bool odp(const View& v) noexcept { return opendocument(v, ODP); }
bool otp(const View& v) noexcept { return opendocument(v, OTP); }
bool odg(const View& v) noexcept { return opendocument(v, ODG); }
bool otg(const View& v) noexcept { return opendocument(v, OTG); }
bool odf_format(const View& v) noexcept { return opendocument(v, ODF); }
bool odc(const View& v) noexcept { return opendocument(v, ODC); }
bool sxc(const View& v) noexcept { return opendocument(v, SXC); }

bool kmz(const View& v) noexcept {
    ZipEntryNames scratch;
    const ZipEntryNames& entries = zip_entry_names(v, scratch);
    for (std::size_t i = 0; i < entries.count && i < ENTRY_LIMIT; ++i) {
        if (entries.name(v, i) == "doc.kml") return true;
    }
    return false;
}

// Records

namespace {
constexpr std::string_view ZIP_MIME_ALIASES[] = {"application/x-zip", "application/x-zip-compressed"};
constexpr std::string_view ZIP_EXT_ALIASES[] = {".xlsx", ".docx", ".pptx", ".vsdx", ".epub", ".jar", ".odt", ".ods", ".odp", ".odg", ".odf", ".sxc", ".kmz"};
constexpr const MimeType* ZIP_CHILDREN[] = {&DOCX, &XLSX, &PPTX, &VSDX, &EPUB, &JAR, &APK, &ODT, &ODS, &ODP, &ODG, &ODF, &ODC, &SXC, &KMZ};
constexpr std::string_view JAR_MIME_ALIASES[] = {"application/jar", "application/jar-archive", "application/x-java-archive"};
constexpr std::string_view ODT_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.text"};
constexpr const MimeType* ODT_CHILDREN[] = {&OTT};
constexpr std::string_view OTT_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.text-template"};
constexpr std::string_view ODS_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.spreadsheet"};
constexpr const MimeType* ODS_CHILDREN[] = {&OTS};
constexpr std::string_view OTS_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.spreadsheet-template"};
constexpr std::string_view ODP_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.presentation"};
constexpr const MimeType* ODP_CHILDREN[] = {&OTP};
constexpr std::string_view OTP_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.presentation-template"};
constexpr std::string_view ODG_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.graphics"};
constexpr const MimeType* ODG_CHILDREN[] = {&OTG};
constexpr std::string_view OTG_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.graphics-template"};
constexpr std::string_view ODF_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.formula"};
constexpr std::string_view ODC_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.chart"};
}  // namespace

constinit const MimeType ZIP{"application/zip", ZIP_MIME_ALIASES, ".zip", ZIP_EXT_ALIASES, zip, ZIP_CHILDREN};
constinit const MimeType DOCX{"application/vnd.openxmlformats-officedocument.wordprocessingml.document", {}, ".docx", {}, docx, {}};
constinit const MimeType XLSX{"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", {}, ".xlsx", {}, xlsx, {}};
constinit const MimeType PPTX{"application/vnd.openxmlformats-officedocument.presentationml.presentation", {}, ".pptx", {}, pptx, {}};
constinit const MimeType VSDX{"application/vnd.ms-visio.drawing.main+xml", {}, ".vsdx", {}, vsdx, {}};
constinit const MimeType EPUB{"application/epub+zip", {}, ".epub", {}, epub, {}};
constinit const MimeType JAR{"application/java-archive", JAR_MIME_ALIASES, ".jar", {}, jar, {}};
constinit const MimeType APK{"application/vnd.android.package-archive", {}, ".apk", {}, apk, {}};
constinit const MimeType ODT{"application/vnd.oasis.opendocument.text", ODT_MIME_ALIASES, ".odt", {}, odt, ODT_CHILDREN};
constinit const MimeType OTT{"application/vnd.oasis.opendocument.text-template", OTT_MIME_ALIASES, ".ott", {}, ott, {}};
constinit const MimeType ODS{"application/vnd.oasis.opendocument.spreadsheet", ODS_MIME_ALIASES, ".ods", {}, ods, ODS_CHILDREN};
constinit const MimeType OTS{"application/vnd.oasis.opendocument.spreadsheet-template", OTS_MIME_ALIASES, ".ots", {}, ots, {}};
constinit const MimeType ODP{"application/vnd.oasis.opendocument.presentation", ODP_MIME_ALIASES, ".odp", {}, odp, ODP_CHILDREN};
constinit const MimeType OTP{"application/vnd.oasis.opendocument.presentation-template", OTP_MIME_ALIASES, ".otp", {}, otp, {}};
constinit const MimeType ODG{"application/vnd.oasis.opendocument.graphics", ODG_MIME_ALIASES, ".odg", {}, odg, ODG_CHILDREN};
constinit const MimeType OTG{"application/vnd.oasis.opendocument.graphics-template", OTG_MIME_ALIASES, ".otg", {}, otg, {}};
constinit const MimeType ODF{"application/vnd.oasis.opendocument.formula", ODF_MIME_ALIASES, ".odf", {}, odf_format, {}};
constinit const MimeType ODC{"application/vnd.oasis.opendocument.chart", ODC_MIME_ALIASES, ".odc", {}, odc, {}};
constinit const MimeType SXC{"application/vnd.sun.xml.calc", {}, ".sxc", {}, sxc, {}};
constinit const MimeType KMZ{"application/vnd.google-earth.kmz", {}, ".kmz", {}, kmz, {}};

}  // namespace taxon
