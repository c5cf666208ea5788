// Line-based text formats: CSV, TSV, subtitles, vCard, iCalendar, RTF, WARC, M3U.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType CSV_FORMAT;
extern const MimeType TSV;
extern const MimeType RTF;
extern const MimeType SRT;
extern const MimeType VTT;
extern const MimeType VCARD;
extern const MimeType ICALENDAR;
extern const MimeType WARC;
extern const MimeType M3U;

bool csv_format(const View& v) noexcept;
bool tsv(const View& v) noexcept;
bool rtf(const View& v) noexcept;
bool srt(const View& v) noexcept;
bool vtt(const View& v) noexcept;
bool vcard(const View& v) noexcept;
bool icalendar(const View& v) noexcept;
bool warc(const View& v) noexcept;
bool m3u(const View& v) noexcept;

// The CSV, TSV and SubRip tests over text decoded from UTF-16 (well-formed
// UTF-8), judged on text lines rather than byte pieces.
bool detect_csv_content(std::string_view text) noexcept;
bool detect_tsv_content(std::string_view text) noexcept;
bool detect_srt_content(std::string_view text) noexcept;

}  // namespace taxon
