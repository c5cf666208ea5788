// Line-based text formats: CSV, TSV, subtitles, vCard, iCalendar, RTF, WARC, M3U.
#include "lines.hpp"

namespace taxon {

bool csv_format(View) noexcept { return false; }  // not yet written
bool tsv(View) noexcept { return false; }  // not yet written
bool rtf(View) noexcept { return false; }  // not yet written
bool srt(View) noexcept { return false; }  // not yet written
bool vtt(View) noexcept { return false; }  // not yet written
bool vcard(View) noexcept { return false; }  // not yet written
bool icalendar(View) noexcept { return false; }  // not yet written
bool warc(View) noexcept { return false; }  // not yet written
bool m3u(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view RTF_MIME_ALIASES[] = {"application/rtf"};
constexpr std::string_view SRT_MIME_ALIASES[] = {"application/x-srt", "text/x-srt"};
constexpr std::string_view M3U_MIME_ALIASES[] = {"audio/mpegurl"};
constexpr std::string_view M3U_EXT_ALIASES[] = {".m3u8"};
}  // namespace

constinit const MimeType CSV_FORMAT{"text/csv", {}, ".csv", {}, csv_format, {}};
constinit const MimeType TSV{"text/tab-separated-values", {}, ".tsv", {}, tsv, {}};
constinit const MimeType RTF{"text/rtf", RTF_MIME_ALIASES, ".rtf", {}, rtf, {}};
constinit const MimeType SRT{"application/x-subrip", SRT_MIME_ALIASES, ".srt", {}, srt, {}};
constinit const MimeType VTT{"text/vtt", {}, ".vtt", {}, vtt, {}};
constinit const MimeType VCARD{"text/vcard", {}, ".vcf", {}, vcard, {}};
constinit const MimeType ICALENDAR{"text/calendar", {}, ".ics", {}, icalendar, {}};
constinit const MimeType WARC{"application/warc", {}, ".warc", {}, warc, {}};
constinit const MimeType M3U{"audio/x-mpegurl", M3U_MIME_ALIASES, ".m3u", M3U_EXT_ALIASES, m3u, {}};

}  // namespace taxon
