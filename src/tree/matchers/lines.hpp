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

}  // namespace taxon
