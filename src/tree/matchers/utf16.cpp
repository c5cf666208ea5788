// Text formats recognised inside UTF-16 text.
#include "utf16.hpp"

#include <optional>
#include <span>
#include <string_view>

#include "../memo.hpp"
#include "../unicode/unicode.hpp"
#include "encodings.hpp"
#include "json.hpp"
#include "lines.hpp"
#include "markup.hpp"

namespace taxon {

namespace {

using Text = std::optional<std::string_view>;
using Buffer = std::span<char, UTF16_TEXT_CAPACITY>;

// The view decoded as UTF-16. Within a walk every variant asks for the same
// view in the same byte order, so the text is kept in the walk's memo and
// decoded only once; outside a walk it is decoded into `local`.
Text decoded(const View& v, bool big_endian, Buffer local) noexcept {
    Memo* memo = v.memo;
    if (memo == nullptr) return utf16_to_text(v, big_endian, local);
    if (memo->utf16 == Memo::Utf16::untried || memo->utf16_big_endian != big_endian ||
        memo->utf16_view != v.data || memo->utf16_view_size != v.size) {
        const Text text = utf16_to_text(v, big_endian, memo->utf16_text);
        memo->utf16 = text ? Memo::Utf16::decoded : Memo::Utf16::undecodable;
        memo->utf16_big_endian = big_endian;
        memo->utf16_view = v.data;
        memo->utf16_view_size = v.size;
        memo->utf16_size = text ? text->size() : 0;
    }
    if (memo->utf16 == Memo::Utf16::undecodable) return std::nullopt;
    return std::string_view(memo->utf16_text, memo->utf16_size);
}

template <bool (*Test)(std::string_view) noexcept>
bool variant(const View& v, bool big_endian) noexcept {
    char local[UTF16_TEXT_CAPACITY];
    const Text text = decoded(v, big_endian, local);
    return text && Test(*text);
}

// The content tests that only the UTF-16 variants use. Lengths are in bytes
// of the decoded UTF-8 text.

bool xml_text(std::string_view text) noexcept {
    return unicode::skip_white_space(text).starts_with("<?xml");
}

bool svg_text(std::string_view text) noexcept {
    const std::string_view rest = unicode::skip_white_space(text);
    if (rest.starts_with("<?xml"))
        return rest.find("<svg") != std::string_view::npos ||
               rest.find("http://www.w3.org/2000/svg") != std::string_view::npos;
    return rest.starts_with("<svg");
}

// Unlike `vtt`, white space may come first and a form feed may follow.
bool vtt_text(std::string_view text) noexcept {
    const std::string_view rest = unicode::skip_white_space(text);
    if (!rest.starts_with("WEBVTT")) return false;
    if (rest.size() == 6) return true;
    const char next = rest[6];
    return next == '\t' || next == '\n' || next == '\f' || next == '\r' || next == ' ';
}

// Letters compare after full Unicode upper-casing, so "ı" (U+0131) stands
// for "I" and "ſ" (U+017F) for "S".
bool vcard_text(std::string_view text) noexcept {
    return unicode::upper_starts_with(unicode::skip_white_space(text), "BEGIN:VCARD");
}

bool icalendar_text(std::string_view text) noexcept {
    return unicode::upper_starts_with(unicode::skip_white_space(text), "BEGIN:VCALENDAR");
}

// No white space is skipped.
bool rtf_text(std::string_view text) noexcept { return text.starts_with("{\\rtf"); }

}  // namespace

bool html_utf16_be(const View& v) noexcept { return variant<detect_html_content>(v, true); }
bool html_utf16_le(const View& v) noexcept { return variant<detect_html_content>(v, false); }
bool xml_utf16_be(const View& v) noexcept { return variant<xml_text>(v, true); }
bool xml_utf16_le(const View& v) noexcept { return variant<xml_text>(v, false); }
bool svg_utf16_be(const View& v) noexcept { return variant<svg_text>(v, true); }
bool svg_utf16_le(const View& v) noexcept { return variant<svg_text>(v, false); }
bool json_utf16_be(const View& v) noexcept { return variant<detect_json_content>(v, true); }
bool json_utf16_le(const View& v) noexcept { return variant<detect_json_content>(v, false); }
bool csv_utf16_be(const View& v) noexcept { return variant<detect_csv_content>(v, true); }
bool csv_utf16_le(const View& v) noexcept { return variant<detect_csv_content>(v, false); }
bool tsv_utf16_be(const View& v) noexcept { return variant<detect_tsv_content>(v, true); }
bool tsv_utf16_le(const View& v) noexcept { return variant<detect_tsv_content>(v, false); }
bool srt_utf16_be(const View& v) noexcept { return variant<detect_srt_content>(v, true); }
bool srt_utf16_le(const View& v) noexcept { return variant<detect_srt_content>(v, false); }
bool vtt_utf16_be(const View& v) noexcept { return variant<vtt_text>(v, true); }
bool vtt_utf16_le(const View& v) noexcept { return variant<vtt_text>(v, false); }
bool vcard_utf16_be(const View& v) noexcept { return variant<vcard_text>(v, true); }
bool vcard_utf16_le(const View& v) noexcept { return variant<vcard_text>(v, false); }
bool icalendar_utf16_be(const View& v) noexcept { return variant<icalendar_text>(v, true); }
bool icalendar_utf16_le(const View& v) noexcept { return variant<icalendar_text>(v, false); }
bool rtf_utf16_be(const View& v) noexcept { return variant<rtf_text>(v, true); }
bool rtf_utf16_le(const View& v) noexcept { return variant<rtf_text>(v, false); }

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
