// Text formats recognised inside UTF-16 text.
//
// Each record here decodes the view from UTF-16 and tests the text: well-
// formed UTF-8 read character by character, with Unicode white space and
// upper-casing where the tests of the UTF-8 records read ASCII bytes. Within
// a walk the view is decoded once and the text kept in the walk's memo.
#include "utf16.hpp"

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>

#include "../unicode/unicode.hpp"
#include "encodings.hpp"
#include "utf16_text.hpp"
#include "walk_memo.hpp"

namespace taxon {

// The tests over decoded text. Lengths are in bytes of the UTF-8 text.
namespace utf16_text {

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

// Unlike the byte-level HTML test, nothing is skipped before the tag,
// letters compare after full Unicode upper-casing, and a tab or line feed
// may follow the tag too.
// The character after the tag is looked up by its position in the text
// itself, so a character whose upper case is longer (U+FB05 to "ST") shifts
// what is found there.
bool html(std::string_view text) noexcept {
    if (text.empty() || text[0] != '<') return false;  // nothing else upper-cases to '<'
    for (const std::string_view tag : HTML_TAGS_UPPER) {
        if (text.size() <= tag.size() || !unicode::upper_starts_with(text, tag)) continue;
        char32_t next;
        if (!nth_char(text, tag.size(), next) || next == '\t' || next == '\n' || next == ' ' || next == '>')
            return true;
    }
    return false;
}

bool xml(std::string_view text) noexcept {
    return unicode::skip_white_space(text).starts_with("<?xml");
}

bool svg(std::string_view text) noexcept {
    const std::string_view rest = unicode::skip_white_space(text);
    if (rest.starts_with("<?xml"))
        return rest.find("<svg") != std::string_view::npos ||
               rest.find("http://www.w3.org/2000/svg") != std::string_view::npos;
    return rest.starts_with("<svg");
}

// The bracket balance of the byte-level JSON test, counted in characters:
// the window is the first 512 characters from the opening bracket or brace,
// and characters outside ASCII have no effect. As there, a backslash
// outside a string ends the scan with no match, and a window that fills up
// before the text ends matches unless a count went negative.
bool json(std::string_view text) noexcept {
    text = unicode::skip_white_space(text);
    if (text.empty() || (text[0] != '[' && text[0] != '{')) return false;
    bool in_string = false, escaped = false;
    std::int32_t brackets = 0, braces = 0;
    std::size_t budget = 512;
    std::size_t i = 0;
    while (i < text.size()) {
        if (budget == 0) return true;  // no count went negative within the window
        char32_t cp;
        i += unicode::read_char(text, i, cp);
        --budget;
        if (escaped) {
            escaped = false;
            continue;
        }
        switch (cp) {
            case '"': in_string = !in_string; break;
            case '\\':
                if (!in_string) return false;
                escaped = true;
                break;
            case '[': brackets += !in_string; break;
            case ']': brackets -= !in_string; break;
            case '{': braces += !in_string; break;
            case '}': braces -= !in_string; break;
            default: break;
        }
        if (brackets < 0 || braces < 0) return false;
    }
    return brackets == 0 && braces == 0;
}

namespace {
// Text lines: cut at each "\n", with a "\r" right before it removed too. A
// final "\n" opens no further line, and a last line without "\n" keeps its
// trailing "\r". The delimiters and line ends are ASCII, so counting bytes
// counts characters.
class TextLines {
public:
    explicit TextLines(std::string_view text) noexcept : rest_(text) {}

    bool next(std::string_view& line) noexcept {
        if (done_ || rest_.empty()) return false;
        const std::size_t nl = rest_.find('\n');
        if (nl == std::string_view::npos) {
            line = rest_;
            done_ = true;
            return true;
        }
        line = rest_.substr(0, nl > 0 && rest_[nl - 1] == '\r' ? nl - 1 : nl);
        rest_.remove_prefix(nl + 1);
        return true;
    }

private:
    std::string_view rest_;
    bool done_ = false;
};

// The same number of delimiters, at least one, on each of the first five
// text lines (two at least), none of them empty.
bool delimited_text(std::string_view text, char delimiter) noexcept {
    TextLines lines(text);
    std::string_view first, line;
    // A second line must exist before anything is counted.
    if (!lines.next(first) || first.empty() || !lines.next(line)) return false;
    const auto count = std::count(first.begin(), first.end(), delimiter);
    if (count == 0) return false;
    int kept = 2;
    for (;;) {
        if (line.empty() || std::count(line.begin(), line.end(), delimiter) != count) return false;
        if (kept == 5 || !lines.next(line)) return true;
        ++kept;
    }
}
}  // namespace

bool csv(std::string_view text) noexcept { return delimited_text(text, ','); }
bool tsv(std::string_view text) noexcept { return delimited_text(text, '\t'); }

// Cue "1" on the first line after any Unicode white space, and a timing
// line holding " --> " right after it.
bool srt(std::string_view text) noexcept {
    text = unicode::skip_white_space(text);
    if (!text.starts_with("1\n") && !text.starts_with("1\r\n")) return false;
    TextLines lines(text);
    std::string_view line;
    lines.next(line);  // the cue number
    return lines.next(line) && line.find(" --> ") != std::string_view::npos;
}

// Unlike the byte-level WebVTT test, white space may come first and a form
// feed may follow.
bool vtt(std::string_view text) noexcept {
    const std::string_view rest = unicode::skip_white_space(text);
    if (!rest.starts_with("WEBVTT")) return false;
    if (rest.size() == 6) return true;
    const char next = rest[6];
    return next == '\t' || next == '\n' || next == '\f' || next == '\r' || next == ' ';
}

// Letters compare after full Unicode upper-casing, so "ı" (U+0131) stands
// for "I" and "ſ" (U+017F) for "S".
bool vcard(std::string_view text) noexcept {
    return unicode::upper_starts_with(unicode::skip_white_space(text), "BEGIN:VCARD");
}

bool icalendar(std::string_view text) noexcept {
    return unicode::upper_starts_with(unicode::skip_white_space(text), "BEGIN:VCALENDAR");
}

// No white space is skipped.
bool rtf(std::string_view text) noexcept { return text.starts_with("{\\rtf"); }

}  // namespace utf16_text

namespace {

using Text = std::optional<std::string_view>;
using Buffer = std::span<char, UTF16_TEXT_CAPACITY>;

// The view decoded as UTF-16. Within a walk every variant asks for the same
// view in the same byte order, so the text is kept in the walk's memo and
// decoded only once; outside a walk it is decoded into `local`.
Text decoded(const View& v, bool big_endian, Buffer local) noexcept {
    if (v.memo == nullptr) return utf16_to_text(v, big_endian, local);
    const auto decode = [&v, big_endian](Utf16Text& out) noexcept {
        const Text text = utf16_to_text(v, big_endian, out.text);
        out.size = text ? text->size() : Utf16Text::NOT_TEXT;
    };
    const Utf16Text& kept = once(v.memo->utf16, v, decode, big_endian ? 1 : 0);
    if (kept.size == Utf16Text::NOT_TEXT) return std::nullopt;
    return std::string_view(kept.text, kept.size);
}

template <bool (*Test)(std::string_view) noexcept>
bool variant(const View& v, bool big_endian) noexcept {
    char local[UTF16_TEXT_CAPACITY];
    const Text text = decoded(v, big_endian, local);
    return text && Test(*text);
}

bool html_utf16_be(const View& v) noexcept { return variant<utf16_text::html>(v, true); }
bool html_utf16_le(const View& v) noexcept { return variant<utf16_text::html>(v, false); }
bool xml_utf16_be(const View& v) noexcept { return variant<utf16_text::xml>(v, true); }
bool xml_utf16_le(const View& v) noexcept { return variant<utf16_text::xml>(v, false); }
bool svg_utf16_be(const View& v) noexcept { return variant<utf16_text::svg>(v, true); }
bool svg_utf16_le(const View& v) noexcept { return variant<utf16_text::svg>(v, false); }
bool json_utf16_be(const View& v) noexcept { return variant<utf16_text::json>(v, true); }
bool json_utf16_le(const View& v) noexcept { return variant<utf16_text::json>(v, false); }
bool csv_utf16_be(const View& v) noexcept { return variant<utf16_text::csv>(v, true); }
bool csv_utf16_le(const View& v) noexcept { return variant<utf16_text::csv>(v, false); }
bool tsv_utf16_be(const View& v) noexcept { return variant<utf16_text::tsv>(v, true); }
bool tsv_utf16_le(const View& v) noexcept { return variant<utf16_text::tsv>(v, false); }
bool srt_utf16_be(const View& v) noexcept { return variant<utf16_text::srt>(v, true); }
bool srt_utf16_le(const View& v) noexcept { return variant<utf16_text::srt>(v, false); }
bool vtt_utf16_be(const View& v) noexcept { return variant<utf16_text::vtt>(v, true); }
bool vtt_utf16_le(const View& v) noexcept { return variant<utf16_text::vtt>(v, false); }
bool vcard_utf16_be(const View& v) noexcept { return variant<utf16_text::vcard>(v, true); }
bool vcard_utf16_le(const View& v) noexcept { return variant<utf16_text::vcard>(v, false); }
bool icalendar_utf16_be(const View& v) noexcept { return variant<utf16_text::icalendar>(v, true); }
bool icalendar_utf16_le(const View& v) noexcept { return variant<utf16_text::icalendar>(v, false); }
bool rtf_utf16_be(const View& v) noexcept { return variant<utf16_text::rtf>(v, true); }
bool rtf_utf16_le(const View& v) noexcept { return variant<utf16_text::rtf>(v, false); }

}  // namespace

// Records

namespace {
constexpr std::string_view XML_UTF16_BE_MIME_ALIASES[] = {"application/xml; charset=utf-16"};
constexpr std::string_view XML_UTF16_LE_MIME_ALIASES[] = {"application/xml; charset=utf-16"};
}  // namespace

constinit const MimeType HTML_UTF16_BE{"text/html; charset=utf-16", {}, ".html", {}, html_utf16_be, {}};
constinit const MimeType HTML_UTF16_LE{"text/html; charset=utf-16", {}, ".html", {}, html_utf16_le, {}};
constinit const MimeType XML_UTF16_BE{"text/xml; charset=utf-16", XML_UTF16_BE_MIME_ALIASES, ".xml", {}, xml_utf16_be, {}};
constinit const MimeType XML_UTF16_LE{"text/xml; charset=utf-16", XML_UTF16_LE_MIME_ALIASES, ".xml", {}, xml_utf16_le, {}};
constinit const MimeType SVG_UTF16_BE{"image/svg+xml; charset=utf-16", {}, ".svg", {}, svg_utf16_be, {}};
constinit const MimeType SVG_UTF16_LE{"image/svg+xml; charset=utf-16", {}, ".svg", {}, svg_utf16_le, {}};
constinit const MimeType JSON_UTF16_BE{"application/json; charset=utf-16", {}, ".json", {}, json_utf16_be, {}};
constinit const MimeType JSON_UTF16_LE{"application/json; charset=utf-16", {}, ".json", {}, json_utf16_le, {}};
constinit const MimeType CSV_UTF16_BE{"text/csv; charset=utf-16", {}, ".csv", {}, csv_utf16_be, {}};
constinit const MimeType CSV_UTF16_LE{"text/csv; charset=utf-16", {}, ".csv", {}, csv_utf16_le, {}};
constinit const MimeType TSV_UTF16_BE{"text/tab-separated-values; charset=utf-16", {}, ".tsv", {}, tsv_utf16_be, {}};
constinit const MimeType TSV_UTF16_LE{"text/tab-separated-values; charset=utf-16", {}, ".tsv", {}, tsv_utf16_le, {}};
constinit const MimeType SRT_UTF16_BE{"application/x-subrip; charset=utf-16", {}, ".srt", {}, srt_utf16_be, {}};
constinit const MimeType SRT_UTF16_LE{"application/x-subrip; charset=utf-16", {}, ".srt", {}, srt_utf16_le, {}};
constinit const MimeType VTT_UTF16_BE{"text/vtt; charset=utf-16", {}, ".vtt", {}, vtt_utf16_be, {}};
constinit const MimeType VTT_UTF16_LE{"text/vtt; charset=utf-16", {}, ".vtt", {}, vtt_utf16_le, {}};
constinit const MimeType VCARD_UTF16_BE{"text/vcard; charset=utf-16", {}, ".vcf", {}, vcard_utf16_be, {}};
constinit const MimeType VCARD_UTF16_LE{"text/vcard; charset=utf-16", {}, ".vcf", {}, vcard_utf16_le, {}};
constinit const MimeType ICALENDAR_UTF16_BE{"text/calendar; charset=utf-16", {}, ".ics", {}, icalendar_utf16_be, {}};
constinit const MimeType ICALENDAR_UTF16_LE{"text/calendar; charset=utf-16", {}, ".ics", {}, icalendar_utf16_le, {}};
constinit const MimeType RTF_UTF16_BE{"text/rtf; charset=utf-16", {}, ".rtf", {}, rtf_utf16_be, {}};
constinit const MimeType RTF_UTF16_LE{"text/rtf; charset=utf-16", {}, ".rtf", {}, rtf_utf16_le, {}};

}  // namespace taxon
