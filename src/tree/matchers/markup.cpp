// HTML, XML and its vocabularies, SVG.
#include "markup.hpp"

#include <array>
#include <iterator>

#include "../cpu.hpp"
#include "../memo.hpp"
#include "text.hpp"
#include "vector_twins.hpp"

namespace taxon {

namespace {

using namespace std::string_view_literals;

// Opening tags of an HTML document, lower case, in the order they are tried.
constexpr std::string_view HTML_TAGS[] = {
    "<!doctype html"sv, "<html"sv, "<head"sv, "<script"sv, "<iframe"sv, "<h1"sv, "<div"sv, "<font"sv,
    "<table"sv,         "<a"sv,    "<style"sv, "<title"sv, "<b"sv,       "<body"sv, "<br"sv, "<p"sv,
};

constexpr std::string_view SVG_NAMESPACE = "http://www.w3.org/2000/svg";
// The XHTML namespace name without its last two letters.
constexpr std::string_view XHTML_NAMESPACE_START = "http://www.w3.org/1999/xht";

// An XML declaration after any leading white space.
bool xml_declaration(const View& v) noexcept { return text::skip_space(v).starts_with("<?xml"); }

// The needles of the XML vocabularies, one per child of XML and in the
// same order.
constexpr std::string_view XML_NEEDLES[] = {
    "<rss"sv, "<feed"sv, "<X3D"sv, "<kml"sv, "<xliff"sv, "<COLLADA"sv, "<gml"sv,
    "<gpx"sv,
    "TrainingCenterDataba"sv,  // the root element name of the TCX schema, cut to twenty letters
    "<amf"sv, "<model"sv, "<xfdf"sv, "<owl"sv, XHTML_NAMESPACE_START,
};
constexpr std::size_t XML_NEEDLE_COUNT = std::size(XML_NEEDLES);
static_assert(XML_NEEDLE_COUNT <= 16);
constexpr std::size_t TCX_NEEDLE = 8;
constexpr std::size_t XHTML_NEEDLE = 13;

// Bytes [p, p + s.size()) equal `s`; the caller has checked they exist.
inline bool same_bytes(const std::uint8_t* p, std::string_view s) noexcept {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (p[i] != static_cast<std::uint8_t>(s[i])) return false;
    return true;
}

// For the byte after a '<': the needles (bit i for needle i) that begin
// with '<' and that byte.
constexpr auto AFTER_LT = [] {
    std::array<std::uint16_t, 256> t{};
    for (std::size_t i = 0; i < XML_NEEDLE_COUNT; ++i)
        if (XML_NEEDLES[i][0] == '<') t[static_cast<std::uint8_t>(XML_NEEDLES[i][1])] |= static_cast<std::uint16_t>(1u << i);
    return t;
}();
static_assert(XML_NEEDLES[TCX_NEEDLE][0] == 'T' && XML_NEEDLES[XHTML_NEEDLE][0] == 'h');

// The bytes that follow '<' in a needle, as two 16-entry tables over the
// low and the high nibble of a byte: the AND of both entries is non-zero
// exactly for those bytes. Each high nibble in use has its own bit.
struct NibbleSet {
    std::array<std::int8_t, 16> low{}, high{};
    int bits = 0;
};
constexpr NibbleSet AFTER_LT_SET = [] {
    NibbleSet set;
    for (unsigned b = 0; b < 256; ++b) {
        if (AFTER_LT[b] == 0) continue;
        if (set.high[b >> 4] == 0) set.high[b >> 4] = static_cast<std::int8_t>(1 << set.bits++);
        set.low[b & 15] = static_cast<std::int8_t>(set.low[b & 15] | set.high[b >> 4]);
    }
    return set;
}();
static_assert(AFTER_LT_SET.bits <= 7, "one bit per high nibble, and bit 7 would read as a zeroing index");

// The needles that begin at `i`, whatever byte is there.
inline std::uint16_t xml_needles_at(const View& v, std::size_t i) noexcept {
    std::uint16_t candidates = 0;
    switch (v[i]) {
        case '<': candidates = i + 1 < v.size ? AFTER_LT[v[i + 1]] : 0; break;
        case 'T': candidates = 1u << TCX_NEEDLE; break;
        case 'h': candidates = 1u << XHTML_NEEDLE; break;
        default: break;
    }
    std::uint16_t found = 0;
    for (; candidates != 0; candidates &= static_cast<std::uint16_t>(candidates - 1)) {
        const unsigned k = cpu::first_set(static_cast<std::uint32_t>(candidates));
        const std::string_view needle = XML_NEEDLES[k];
        if (needle.size() <= v.size - i && same_bytes(v.data + i, needle)) found |= static_cast<std::uint16_t>(1u << k);
    }
    return found;
}

// Every needle in one pass over the view, eight starts at a time: a start
// is a candidate when it holds '<', or the first two bytes of one of the two
// needles that do not begin with '<'. Candidates are then compared whole.
std::uint16_t xml_needles_portable(const View& v) noexcept {
    namespace swar = cpu::swar;
    constexpr std::string_view tcx = XML_NEEDLES[TCX_NEEDLE];
    constexpr std::string_view xh = XML_NEEDLES[XHTML_NEEDLE];
    const std::uint8_t* const d = v.data;
    std::uint16_t found = 0;
    std::size_t i = 0;
    // Loads end at i + 8 < size.
    for (; i + 9 <= v.size; i += 8) {
        const std::uint64_t a0 = swar::load(d + i);
        const std::uint64_t a1 = swar::load(d + i + 1);
        std::uint64_t m = swar::equal_bytes(a0, '<') |
                          (swar::equal_bytes(a0, static_cast<std::uint8_t>(tcx[0])) &
                           swar::equal_bytes(a1, static_cast<std::uint8_t>(tcx[1]))) |
                          (swar::equal_bytes(a0, static_cast<std::uint8_t>(xh[0])) &
                           swar::equal_bytes(a1, static_cast<std::uint8_t>(xh[1])));
        for (; m != 0; m &= m - 1) found |= xml_needles_at(v, i + swar::first_byte(m));
    }
    for (; i < v.size; ++i) found |= xml_needles_at(v, i);
    return found;
}

#if TAXON_HAS(X86_AVX2)

TAXON_AVX2_FN inline __m256i splat(std::uint8_t c) noexcept { return _mm256_set1_epi8(static_cast<char>(c)); }
TAXON_AVX2_FN inline __m256i load(const std::uint8_t* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
TAXON_AVX2_FN inline __m256i table16(const std::array<std::int8_t, 16>& t) noexcept {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data())));
}

// Every needle in one pass over the view, 32 starts at a time: a start is
// a candidate when it holds '<' and a byte that follows '<' in a needle, or
// the first, second and last bytes of one of the two needles that do not
// begin with '<'. Candidates are then compared whole.
TAXON_AVX2_FN std::uint16_t xml_needles_avx2(const View& v) noexcept {
    constexpr std::size_t TCX_LAST = XML_NEEDLES[TCX_NEEDLE].size() - 1;
    constexpr std::size_t XHTML_LAST = XML_NEEDLES[XHTML_NEEDLE].size() - 1;
    constexpr std::size_t REACH = TCX_LAST > XHTML_LAST ? TCX_LAST : XHTML_LAST;
    constexpr std::string_view tcx = XML_NEEDLES[TCX_NEEDLE];
    constexpr std::string_view xh = XML_NEEDLES[XHTML_NEEDLE];
    const std::uint8_t* const d = v.data;
    const __m256i low_set = table16(AFTER_LT_SET.low);
    const __m256i high_set = table16(AFTER_LT_SET.high);
    const __m256i nibble = splat(0x0F);
    const __m256i lt_byte = splat('<');
    const __m256i tcx_first = splat(tcx[0]), tcx_second = splat(tcx[1]), tcx_last = splat(tcx[TCX_LAST]);
    const __m256i xh_first = splat(xh[0]), xh_second = splat(xh[1]), xh_last = splat(xh[XHTML_LAST]);
    std::uint16_t found = 0;
    std::size_t i = 0;
    // Every load lies inside the view: the farthest reaches i + REACH + 31.
    for (; i + REACH + 32 <= v.size; i += 32) {
        const __m256i a0 = load(d + i);
        const __m256i a1 = load(d + i + 1);
        const __m256i after_lt = _mm256_and_si256(
            _mm256_shuffle_epi8(low_set, _mm256_and_si256(a1, nibble)),
            _mm256_shuffle_epi8(high_set, _mm256_and_si256(_mm256_srli_epi16(a1, 4), nibble)));
        const __m256i lt = _mm256_andnot_si256(_mm256_cmpeq_epi8(after_lt, _mm256_setzero_si256()),
                                               _mm256_cmpeq_epi8(a0, lt_byte));
        const __m256i t = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(a0, tcx_first), _mm256_cmpeq_epi8(a1, tcx_second)),
            _mm256_cmpeq_epi8(load(d + i + TCX_LAST), tcx_last));
        const __m256i h = _mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(a0, xh_first), _mm256_cmpeq_epi8(a1, xh_second)),
            _mm256_cmpeq_epi8(load(d + i + XHTML_LAST), xh_last));
        auto m = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(lt, _mm256_or_si256(t, h))));
        for (; m != 0; m &= m - 1) found |= xml_needles_at(v, i + cpu::first_set(m));
    }
    for (; i < v.size; ++i) found |= xml_needles_at(v, i);
    return found;
}

#endif

}  // namespace

std::uint16_t twins::xml_needles(const View& v, cpu::Path path) noexcept {
#if TAXON_HAS(X86_AVX2)
    if (path >= cpu::Path::avx2) return xml_needles_avx2(v);
#endif
    (void)path;
    return xml_needles_portable(v);
}

namespace {

// Whether needle `k` occurs in the view. Within a walk every child of XML
// asks about the same view, so all needles are found in one pass and kept
// in the walk's memo.
bool has_xml_needle(const View& v, std::size_t k) noexcept {
    Memo* memo = v.memo;
    if (memo != nullptr) {
        if (!memo->xml_needles.holds(v)) {
            memo->xml_needles.value = twins::xml_needles(v, cpu::best_path());
            memo->xml_needles.tie(v);
        }
        return (memo->xml_needles.value >> k) & 1u;
    }
    return text::contains(v, XML_NEEDLES[k]);
}

// An XML document that holds needle `k` anywhere.
bool xml_with(const View& v, std::size_t k) noexcept { return xml_declaration(v) && has_xml_needle(v, k); }

}  // namespace

bool html(const View& v) noexcept {
    const View body = text::skip_space(v);
    if (body.size < 3 || body[0] != '<') return false;  // the shortest tag and its closing byte
    for (const std::string_view tag : HTML_TAGS) {
        // The tag must be followed by a space or '>', so "<br/" or "<html"
        // at the very end are not HTML.
        if (body.size > tag.size() && text::starts_with_folded(body, tag)) {
            const std::uint8_t after = body[tag.size()];
            if (after == ' ' || after == '>') return true;
        }
    }
    return false;
}

bool xml(const View& v) noexcept { return xml_declaration(v); }

bool svg(const View& v) noexcept {
    const View body = text::skip_space(v);
    if (body.starts_with("<?xml")) return text::contains(body, "<svg") || text::contains(body, SVG_NAMESPACE);
    return body.starts_with("<svg");
}

// Each child of XML tests the needle at its own place in XML_NEEDLES.
bool rss(const View& v) noexcept { return xml_with(v, 0); }
bool atom(const View& v) noexcept { return xml_with(v, 1); }
bool x3d(const View& v) noexcept { return xml_with(v, 2); }
bool kml(const View& v) noexcept { return xml_with(v, 3); }
bool xliff(const View& v) noexcept { return xml_with(v, 4); }
bool collada(const View& v) noexcept { return xml_with(v, 5); }
bool gml(const View& v) noexcept { return xml_with(v, 6); }
bool gpx(const View& v) noexcept { return xml_with(v, 7); }
bool tcx(const View& v) noexcept { return xml_with(v, 8); }
bool amf(const View& v) noexcept { return xml_with(v, 9); }
bool threemf(const View& v) noexcept { return xml_with(v, 10); }
bool xfdf(const View& v) noexcept { return xml_with(v, 11); }
bool owl2(const View& v) noexcept { return xml_with(v, 12); }
bool xhtml(const View& v) noexcept { return xml_with(v, 13); }

// HTML over decoded UTF-16 text -------------------------------------------
}  // namespace taxon

#include "../unicode/unicode.hpp"

namespace taxon {

namespace {
// The opening tags of the HTML test, in the order tried, upper case.
constexpr std::string_view HTML_TAGS_UPPER[] = {
    "<!DOCTYPE HTML", "<HTML", "<HEAD", "<SCRIPT", "<IFRAME", "<H1", "<DIV", "<FONT",
    "<TABLE", "<A", "<STYLE", "<TITLE", "<B", "<BODY", "<BR", "<P",
};

// The character at character position `n` of the text, if it has one.
bool nth_char(std::string_view text, std::size_t n, char32_t& cp) noexcept {
    std::size_t i = 0;
    for (;;) {
        if (i >= text.size()) return false;
        i += unicode::read_char(text, i, cp);
        if (n-- == 0) return true;
    }
}
}  // namespace

// Unlike `html`, nothing is skipped before the tag, letters compare after
// full Unicode upper-casing, and a tab or line feed may follow the tag too.
// The character after the tag is looked up by its position in the text
// itself, so a character whose upper case is longer (U+FB05 to "ST") shifts
// what is found there.
bool detect_html_content(std::string_view text) noexcept {
    if (text.empty() || text[0] != '<') return false;  // nothing else upper-cases to '<'
    for (const std::string_view tag : HTML_TAGS_UPPER) {
        if (text.size() <= tag.size() || !unicode::upper_starts_with(text, tag)) continue;
        char32_t next;
        if (!nth_char(text, tag.size(), next) || next == '\t' || next == '\n' || next == ' ' || next == '>')
            return true;
    }
    return false;
}

// Records

namespace {
constexpr std::string_view HTML_EXT_ALIASES[] = {".htm"};
constexpr std::string_view XML_MIME_ALIASES[] = {"application/xml"};
constexpr const MimeType* XML_CHILDREN[] = {&RSS, &ATOM, &X3D, &KML, &XLIFF, &COLLADA, &GML, &GPX, &TCX, &AMF, &THREEMF, &XFDF, &OWL2, &XHTML};
constexpr std::string_view RSS_MIME_ALIASES[] = {"text/rss"};
}  // namespace

constinit const MimeType HTML{"text/html; charset=utf-8", {}, ".html", HTML_EXT_ALIASES, html, {}};
constinit const MimeType XML{"text/xml; charset=utf-8", XML_MIME_ALIASES, ".xml", {}, xml, XML_CHILDREN};
constinit const MimeType SVG{"image/svg+xml", {}, ".svg", {}, svg, {}};
constinit const MimeType RSS{"application/rss+xml", RSS_MIME_ALIASES, ".rss", {}, rss, {}};
constinit const MimeType ATOM{"application/atom+xml", {}, ".atom", {}, atom, {}};
constinit const MimeType X3D{"model/x3d+xml", {}, ".x3d", {}, x3d, {}};
constinit const MimeType KML{"application/vnd.google-earth.kml+xml", {}, ".kml", {}, kml, {}};
constinit const MimeType XLIFF{"application/x-xliff+xml", {}, ".xlf", {}, xliff, {}};
constinit const MimeType COLLADA{"model/vnd.collada+xml", {}, ".dae", {}, collada, {}};
constinit const MimeType GML{"application/gml+xml", {}, ".gml", {}, gml, {}};
constinit const MimeType GPX{"application/gpx+xml", {}, ".gpx", {}, gpx, {}};
constinit const MimeType TCX{"application/vnd.garmin.tcx+xml", {}, ".tcx", {}, tcx, {}};
constinit const MimeType AMF{"application/x-amf", {}, ".amf", {}, amf, {}};
constinit const MimeType THREEMF{"application/vnd.ms-package.3dmanufacturing-3dmodel+xml", {}, ".3mf", {}, threemf, {}};
constinit const MimeType XFDF{"application/vnd.adobe.xfdf", {}, ".xfdf", {}, xfdf, {}};
constinit const MimeType OWL2{"application/owl+xml", {}, ".owl", {}, owl2, {}};
constinit const MimeType XHTML{"application/xhtml+xml", {}, ".html", {}, xhtml, {}};

}  // namespace taxon
