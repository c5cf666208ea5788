// Text formats recognised inside UTF-16 text.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType HTML_UTF16_BE;
extern const MimeType HTML_UTF16_LE;
extern const MimeType XML_UTF16_BE;
extern const MimeType XML_UTF16_LE;
extern const MimeType SVG_UTF16_BE;
extern const MimeType SVG_UTF16_LE;
extern const MimeType JSON_UTF16_BE;
extern const MimeType JSON_UTF16_LE;
extern const MimeType CSV_UTF16_BE;
extern const MimeType CSV_UTF16_LE;
extern const MimeType TSV_UTF16_BE;
extern const MimeType TSV_UTF16_LE;
extern const MimeType SRT_UTF16_BE;
extern const MimeType SRT_UTF16_LE;
extern const MimeType VTT_UTF16_BE;
extern const MimeType VTT_UTF16_LE;
extern const MimeType VCARD_UTF16_BE;
extern const MimeType VCARD_UTF16_LE;
extern const MimeType ICALENDAR_UTF16_BE;
extern const MimeType ICALENDAR_UTF16_LE;
extern const MimeType RTF_UTF16_BE;
extern const MimeType RTF_UTF16_LE;

}  // namespace taxon
