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

namespace {

// Writes the UTF-8 form of `units` UTF-16 code units at `p` to `o`; returns
// the end of the text, or null at an unpaired surrogate. A high surrogate in
// the last unit is dropped when `cut` (the pair was split by the walk's cut).
template <bool BigEndian>
char* utf16_units_to_utf8(const std::uint8_t* p, std::size_t units, bool cut, char* o) noexcept {
    constexpr std::size_t HI = BigEndian ? 0 : 1;  // place of the high byte in a unit
    constexpr std::size_t LO = 1 - HI;
    auto unit = [p](std::size_t i) noexcept {
        return static_cast<char32_t>((p[2 * i + HI] << 8) | p[2 * i + LO]);
    };
    // Four units at a time while they are all ASCII: high bytes 0, low bytes
    // below 0x80. The mask is laid out in memory like the units it tests.
    static constexpr std::uint8_t ASCII_MASK[8] = {
        HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80, HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80,
        HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80, HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80,
    };
    std::uint64_t ascii_mask;
    std::memcpy(&ascii_mask, ASCII_MASK, 8);

    std::size_t i = 0;
    while (i < units) {
        if (units - i >= 4) {
            std::uint64_t word;
            std::memcpy(&word, p + 2 * i, 8);
            if ((word & ascii_mask) == 0) {
                const std::uint8_t* q = p + 2 * i + LO;
                o[0] = static_cast<char>(q[0]);
                o[1] = static_cast<char>(q[2]);
                o[2] = static_cast<char>(q[4]);
                o[3] = static_cast<char>(q[6]);
                o += 4;
                i += 4;
                continue;
            }
        }
        char32_t cp = unit(i++);
        if (cp < 0x80) {
            *o++ = static_cast<char>(cp);
        } else if (cp < 0x800) {
            o[0] = static_cast<char>(0xC0 | (cp >> 6));
            o[1] = static_cast<char>(0x80 | (cp & 0x3F));
            o += 2;
        } else if (cp < 0xD800 || cp > 0xDFFF) {
            o[0] = static_cast<char>(0xE0 | (cp >> 12));
            o[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            o[2] = static_cast<char>(0x80 | (cp & 0x3F));
            o += 3;
        } else {
            if (cp >= 0xDC00) return nullptr;  // low surrogate without a high one
            if (i == units) return cut ? o : nullptr;
            const char32_t low = unit(i++);
            if (low < 0xDC00 || low > 0xDFFF) return nullptr;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            o[0] = static_cast<char>(0xF0 | (cp >> 18));
            o[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            o[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            o[3] = static_cast<char>(0x80 | (cp & 0x3F));
            o += 4;
        }
    }
    return o;
}

}  // namespace

std::optional<std::string_view> utf16_to_text(View v, bool big_endian,
                                              std::span<char, UTF16_TEXT_CAPACITY> out) noexcept {
    // Longer views never come from the walk, and their text might not fit.
    if (v.size < 2 || v.size > READ_LIMIT) return std::nullopt;
    const bool cut = v.size == READ_LIMIT;
    if (v.starts_with(big_endian ? "\xFE\xFF" : "\xFF\xFE")) v = v.from(2);
    if (v.size < 2 || v.size % 2 != 0) return std::nullopt;
    char* const end = big_endian ? utf16_units_to_utf8<true>(v.data, v.size / 2, cut, out.data())
                                 : utf16_units_to_utf8<false>(v.data, v.size / 2, cut, out.data());
    if (end == nullptr) return std::nullopt;
    return std::string_view(out.data(), static_cast<std::size_t>(end - out.data()));
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
