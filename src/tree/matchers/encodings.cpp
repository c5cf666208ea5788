// Text encodings: UTF-8, and the byte-order marks of UTF-8 and UTF-16.
#include "encodings.hpp"
#include "json.hpp"
#include "lines.hpp"
#include "markup.hpp"
#include "scripts.hpp"
#include "utf16.hpp"

#include <cstdint>
#include <cstring>

namespace taxon {

namespace {

// Control bytes that never occur in text: 00-08, 0B, 0E-1A and 1C-1F. Tab,
// line feed, form feed, carriage return and escape are allowed; bit b is set
// when byte b is refused.
constexpr std::uint32_t REFUSED_CONTROLS = 0xF7FFC9FFu;

constexpr bool refused_control(std::uint8_t b) noexcept { return b < 0x20 && ((REFUSED_CONTROLS >> b) & 1u) != 0; }

constexpr std::uint64_t ONES = 0x0101010101010101ull;
constexpr std::uint64_t HIGHS = 0x8080808080808080ull;

inline std::uint64_t load64(const std::uint8_t* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Outcome of reading one multi-byte sequence.
enum class Seq { bad, cut };

// Reads the sequence whose lead byte (80 or above) is at p[0], with `avail`
// bytes left in the view. Returns its length when it is well formed, or sets
// `why`: `cut` when the bytes present are a valid start that the end of the
// view cuts short, `bad` otherwise. Overlong forms, surrogates and code
// points above U+10FFFF are bad.
inline std::size_t sequence(const std::uint8_t* p, std::size_t avail, Seq& why) noexcept {
    const std::uint8_t lead = p[0];
    std::size_t len;
    std::uint8_t lo = 0x80, hi = 0xBF;  // range of the second byte
    if (lead < 0xC2) {
        why = Seq::bad;  // stray continuation byte, or overlong two-byte form
        return 0;
    } else if (lead < 0xE0) {
        len = 2;
    } else if (lead < 0xF0) {
        len = 3;
        if (lead == 0xE0) lo = 0xA0;       // overlong below U+0800
        else if (lead == 0xED) hi = 0x9F;  // surrogates U+D800-U+DFFF
    } else if (lead < 0xF5) {
        len = 4;
        if (lead == 0xF0) lo = 0x90;       // overlong below U+10000
        else if (lead == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        why = Seq::bad;
        return 0;
    }
    const std::size_t have = avail < len ? avail : len;
    if (have >= 2 && (p[1] < lo || p[1] > hi)) {
        why = Seq::bad;
        return 0;
    }
    for (std::size_t i = 2; i < have; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            why = Seq::bad;
            return 0;
        }
    }
    if (have < len) {
        why = Seq::cut;
        return 0;
    }
    return len;
}

}  // namespace

bool utf8(View v) noexcept {
    if (v.empty()) return false;
    const std::uint8_t* p = v.data;
    const std::uint8_t* const end = v.data + v.size;
    while (p < end) {
        // Eight ASCII bytes at a time; a word that holds a control byte is
        // looked at byte by byte, as text has a line feed every few words.
        if (end - p >= 8) {
            const std::uint64_t w = load64(p);
            if ((w & HIGHS) == 0) {
                if (((w - 0x20 * ONES) & ~w & HIGHS) != 0) {
                    for (int i = 0; i < 8; ++i)
                        if (refused_control(p[i])) return false;
                }
                p += 8;
                continue;
            }
        }
        const std::uint8_t b = *p;
        if (b < 0x80) {
            if (refused_control(b)) return false;
            ++p;
            continue;
        }
        Seq why = Seq::bad;
        const std::size_t len = sequence(p, static_cast<std::size_t>(end - p), why);
        if (len == 0) {
            // A character cut by the walk's read limit: the text goes on
            // beyond the view, so the cut is not held against it.
            return why == Seq::cut && v.size == READ_LIMIT;
        }
        p += len;
    }
    return true;
}

bool utf8_bom(View v) noexcept { return v.starts_with("\xEF\xBB\xBF"); }

bool utf16_be(View) noexcept { return false; }  // not yet written
bool utf16_le(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view UTF8_MIME_ALIASES[] = {"text/plain"};
constexpr std::string_view UTF8_EXT_ALIASES[] = {"", ".pub", ".html", ".htm", ".shtml", ".svg", ".xml", ".rss", ".atom", ".x3d", ".kml", ".xlf", ".dae", ".gml", ".gpx", ".tcx", ".amf", "3mf", ".php", ".js", ".lua", ".pl", ".py", ".json", ".geojson", ".ndjson", ".rtf", ".tcl", ".csv", ".tsv", ".vcf", ".vcard", ".ics", ".ical", ".icalendar", ".warc"};
constexpr const MimeType* UTF8_CHILDREN[] = {&HTML, &XML, &PHP, &JAVASCRIPT, &PYTHON, &PERL, &RUBY, &LUA, &SHELL, &TCL, &JSON, &CSV_FORMAT, &TSV, &RTF, &SRT, &VTT, &VCARD, &ICALENDAR, &SVG, &WARC};
constexpr const MimeType* UTF16_BE_CHILDREN[] = {&HTML_UTF16_BE, &XML_UTF16_BE, &SVG_UTF16_BE, &JSON_UTF16_BE, &CSV_UTF16_BE, &TSV_UTF16_BE, &SRT_UTF16_BE, &VTT_UTF16_BE, &VCARD_UTF16_BE, &ICALENDAR_UTF16_BE, &RTF_UTF16_BE};
constexpr const MimeType* UTF16_LE_CHILDREN[] = {&HTML_UTF16_LE, &XML_UTF16_LE, &SVG_UTF16_LE, &JSON_UTF16_LE, &CSV_UTF16_LE, &TSV_UTF16_LE, &SRT_UTF16_LE, &VTT_UTF16_LE, &VCARD_UTF16_LE, &ICALENDAR_UTF16_LE, &RTF_UTF16_LE};
}  // namespace

constinit const MimeType UTF8{"text/plain; charset=utf-8", UTF8_MIME_ALIASES, ".txt", UTF8_EXT_ALIASES, utf8, UTF8_CHILDREN};
constinit const MimeType UTF8_BOM{"text/plain; charset=utf-8", {}, ".txt", {}, utf8_bom, {}};
constinit const MimeType UTF16_BE{"text/plain; charset=utf-16be", {}, ".txt", {}, utf16_be, UTF16_BE_CHILDREN};
constinit const MimeType UTF16_LE{"text/plain; charset=utf-16le", {}, ".txt", {}, utf16_le, UTF16_LE_CHILDREN};

}  // namespace taxon
