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
