// Text formats recognised inside UTF-16 text.
#include "utf16.hpp"

namespace taxon {

bool html_utf16_be(View) noexcept { return false; }  // not yet written
bool html_utf16_le(View) noexcept { return false; }  // not yet written
bool xml_utf16_be(View) noexcept { return false; }  // not yet written
bool xml_utf16_le(View) noexcept { return false; }  // not yet written
bool svg_utf16_be(View) noexcept { return false; }  // not yet written
bool svg_utf16_le(View) noexcept { return false; }  // not yet written
bool json_utf16_be(View) noexcept { return false; }  // not yet written
bool json_utf16_le(View) noexcept { return false; }  // not yet written
bool csv_utf16_be(View) noexcept { return false; }  // not yet written
bool csv_utf16_le(View) noexcept { return false; }  // not yet written
bool tsv_utf16_be(View) noexcept { return false; }  // not yet written
bool tsv_utf16_le(View) noexcept { return false; }  // not yet written
bool srt_utf16_be(View) noexcept { return false; }  // not yet written
bool srt_utf16_le(View) noexcept { return false; }  // not yet written
bool vtt_utf16_be(View) noexcept { return false; }  // not yet written
bool vtt_utf16_le(View) noexcept { return false; }  // not yet written
bool vcard_utf16_be(View) noexcept { return false; }  // not yet written
bool vcard_utf16_le(View) noexcept { return false; }  // not yet written
bool icalendar_utf16_be(View) noexcept { return false; }  // not yet written
bool icalendar_utf16_le(View) noexcept { return false; }  // not yet written
bool rtf_utf16_be(View) noexcept { return false; }  // not yet written
bool rtf_utf16_le(View) noexcept { return false; }  // not yet written

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
