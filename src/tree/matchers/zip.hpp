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

bool zip(View v) noexcept;
bool docx(View v) noexcept;
bool xlsx(View v) noexcept;
bool pptx(View v) noexcept;
bool vsdx(View v) noexcept;
bool epub(View v) noexcept;
bool jar(View v) noexcept;
bool apk(View v) noexcept;
bool odt(View v) noexcept;
bool ott(View v) noexcept;
bool ods(View v) noexcept;
bool ots(View v) noexcept;
bool odp(View v) noexcept;
bool otp(View v) noexcept;
bool odg(View v) noexcept;
bool otg(View v) noexcept;
bool odf_format(View v) noexcept;
bool odc(View v) noexcept;
bool sxc(View v) noexcept;
bool kmz(View v) noexcept;

}  // namespace taxon
