// ZIP archives and the packages built on them.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType ZIP;
extern const MimeType DOCX;
extern const MimeType XLSX;
extern const MimeType PPTX;
extern const MimeType VSDX;
extern const MimeType EPUB;
extern const MimeType JAR;
extern const MimeType APK;
extern const MimeType ODT;
extern const MimeType OTT;
extern const MimeType ODS;
extern const MimeType OTS;
extern const MimeType ODP;
extern const MimeType OTP;
extern const MimeType ODG;
extern const MimeType OTG;
extern const MimeType ODF;
extern const MimeType ODC;
extern const MimeType SXC;
extern const MimeType KMZ;

}  // namespace taxon
