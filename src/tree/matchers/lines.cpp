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

// CSV, TSV and SubRip over decoded UTF-16 text -----------------------------
}  // namespace taxon

#include <algorithm>

#include "../unicode/unicode.hpp"

namespace taxon {

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

bool detect_csv_content(std::string_view text) noexcept { return delimited_text(text, ','); }
bool detect_tsv_content(std::string_view text) noexcept { return delimited_text(text, '\t'); }

// Cue "1" on the first line after any Unicode white space, and a timing
// line holding " --> " right after it.
bool detect_srt_content(std::string_view text) noexcept {
    text = unicode::skip_white_space(text);
    if (!text.starts_with("1\n") && !text.starts_with("1\r\n")) return false;
    TextLines lines(text);
    std::string_view line;
    lines.next(line);  // the cue number
    return lines.next(line) && line.find(" --> ") != std::string_view::npos;
}

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
