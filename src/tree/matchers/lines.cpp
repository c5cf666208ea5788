// Line-based text formats: CSV, TSV, subtitles, vCard, iCalendar, RTF, WARC, M3U.
#include "lines.hpp"

#include <cstdint>

#include "text.hpp"

namespace taxon {

namespace {

// Bytes of the view that the delimiter test reads, and the lines it compares.
constexpr std::size_t DELIMITED_WINDOW = 1024;
constexpr int DELIMITED_LINES = 5;

std::size_t count_byte(const View& v, std::uint8_t b) noexcept {
    std::size_t n = 0;
    for (std::size_t i = 0; i < v.size; ++i) n += v[i] == b;
    return n;
}

// The first line holds at least one delimiter and each of the next ones, up
// to five lines within the first 1024 bytes, holds as many. There is no
// quoting: a quoted delimiter counts like any other.
bool delimited(const View& v, std::uint8_t delimiter) noexcept {
    if (v.empty()) return false;
    text::Pieces pieces(v.first(DELIMITED_WINDOW));
    View piece;
    pieces.next(piece);
    if (pieces.done() || piece.empty()) return false;  // a single line, or an empty first one
    const std::size_t want = count_byte(piece, delimiter);
    if (want == 0) return false;
    for (int line = 1; line < DELIMITED_LINES && pieces.next(piece); ++line) {
        // The empty piece after a final line feed is the end of the file, not
        // a line of its own.
        if (piece.empty() && pieces.done()) return line > 1;
        if (count_byte(piece, delimiter) != want) return false;
    }
    return true;
}

bool csv_format(const View& v) noexcept { return delimited(v, ','); }
bool tsv(const View& v) noexcept { return delimited(v, '\t'); }

bool rtf(const View& v) noexcept { return v.starts_with("{\\rtf"); }

// The first cue of a SubRip file: its number "1" on a line of its own, then
// a timing line with the arrow between the two times.
bool srt(const View& v) noexcept {
    const View rest = text::skip_space(v);
    if (!rest.starts_with("1\n") && !rest.starts_with("1\r\n")) return false;
    text::Pieces pieces(rest);
    View timing;
    pieces.next(timing);  // the cue number
    if (!pieces.next(timing)) return false;
    return timing.size >= 5 && text::contains(timing, " --> ");
}

bool vtt(const View& v) noexcept {
    if (!v.starts_with("WEBVTT")) return false;
    if (v.size == 6) return true;
    const std::uint8_t after = v[6];
    return after == '\t' || after == '\n' || after == '\r' || after == ' ';
}

bool vcard(const View& v) noexcept { return text::starts_with_upper(v, "BEGIN:VCARD"); }
bool icalendar(const View& v) noexcept { return text::starts_with_upper(v, "BEGIN:VCALENDAR"); }

bool warc(const View& v) noexcept { return v.starts_with("WARC/1.0") || v.starts_with("WARC/1.1"); }

bool m3u(const View& v) noexcept { return v.starts_with("#EXTM3U"); }

}  // namespace

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
