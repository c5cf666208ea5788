// Text encodings: UTF-8, and the byte-order marks of UTF-8 and UTF-16.
#include "encodings.hpp"
#include "json.hpp"
#include "lines.hpp"
#include "markup.hpp"
#include "scripts.hpp"
#include "utf16.hpp"

namespace taxon {

bool utf8(View) noexcept { return false; }  // not yet written
bool utf8_bom(View) noexcept { return false; }  // not yet written
bool utf16_be(View v) noexcept { return v.starts_with("\xFE\xFF"); }
bool utf16_le(View v) noexcept { return v.starts_with("\xFF\xFE"); }

// UTF-16 decoding

std::optional<std::string_view> utf16_to_text(View v, bool big_endian,
                                              std::span<char, UTF16_TEXT_CAPACITY> out) noexcept {
    if (v.size < 2 || v.size > READ_LIMIT) return std::nullopt;
    const bool cut = v.size == READ_LIMIT;
    if (v.starts_with(big_endian ? "\xFE\xFF" : "\xFF\xFE")) v = v.from(2);
    if (v.size < 2 || v.size % 2 != 0) return std::nullopt;

    const std::size_t units = v.size / 2;
    const std::uint8_t* p = v.data;
    const int hi = big_endian ? 0 : 1;  // index of the high byte in a unit
    auto unit = [&](std::size_t i) noexcept -> char32_t {
        return static_cast<char32_t>((p[2 * i + hi] << 8) | p[2 * i + (1 - hi)]);
    };
    char* o = out.data();
    auto put = [&o](unsigned v8) noexcept { *o++ = static_cast<char>(v8); };

    for (std::size_t i = 0; i < units; ++i) {
        char32_t cp = unit(i);
        if (cp < 0x80) {
            put(cp);
            continue;
        }
        if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
            put(0x80 | (cp & 0x3F));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp >= 0xDC00) return std::nullopt;  // low surrogate without a high one
            if (i + 1 == units) {
                if (cut) break;  // the walk's cut split this pair
                return std::nullopt;
            }
            const char32_t low = unit(++i);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
            put(0x80 | (cp & 0x3F));
            continue;
        }
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
    return std::string_view(out.data(), static_cast<std::size_t>(o - out.data()));
}

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
