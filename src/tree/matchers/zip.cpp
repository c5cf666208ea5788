// ZIP archives and the packages built on them.
#include "zip.hpp"

namespace taxon {

bool zip(View) noexcept { return false; }  // not yet written
bool docx(View) noexcept { return false; }  // not yet written
bool xlsx(View) noexcept { return false; }  // not yet written
bool pptx(View) noexcept { return false; }  // not yet written
bool vsdx(View) noexcept { return false; }  // not yet written
bool epub(View) noexcept { return false; }  // not yet written
bool jar(View) noexcept { return false; }  // not yet written
bool apk(View) noexcept { return false; }  // not yet written
bool odt(View) noexcept { return false; }  // not yet written
bool ott(View) noexcept { return false; }  // not yet written
bool ods(View) noexcept { return false; }  // not yet written
bool ots(View) noexcept { return false; }  // not yet written
bool odp(View) noexcept { return false; }  // not yet written
bool otp(View) noexcept { return false; }  // not yet written
bool odg(View) noexcept { return false; }  // not yet written
bool otg(View) noexcept { return false; }  // not yet written
bool odf_format(View) noexcept { return false; }  // not yet written
bool odc(View) noexcept { return false; }  // not yet written
bool sxc(View) noexcept { return false; }  // not yet written
bool kmz(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view ZIP_MIME_ALIASES[] = {"application/x-zip", "application/x-zip-compressed"};
constexpr std::string_view ZIP_EXT_ALIASES[] = {".xlsx", ".docx", ".pptx", ".vsdx", ".epub", ".jar", ".odt", ".ods", ".odp", ".odg", ".odf", ".sxc", ".kmz"};
constexpr const MimeType* ZIP_CHILDREN[] = {&DOCX, &XLSX, &PPTX, &VSDX, &EPUB, &JAR, &APK, &ODT, &ODS, &ODP, &ODG, &ODF, &ODC, &SXC, &KMZ};
constexpr std::string_view JAR_MIME_ALIASES[] = {"application/jar", "application/jar-archive", "application/x-java-archive"};
constexpr std::string_view ODT_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.text"};
constexpr const MimeType* ODT_CHILDREN[] = {&OTT};
constexpr std::string_view OTT_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.text-template"};
constexpr std::string_view ODS_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.spreadsheet"};
constexpr const MimeType* ODS_CHILDREN[] = {&OTS};
constexpr std::string_view OTS_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.spreadsheet-template"};
constexpr std::string_view ODP_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.presentation"};
constexpr const MimeType* ODP_CHILDREN[] = {&OTP};
constexpr std::string_view OTP_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.presentation-template"};
constexpr std::string_view ODG_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.graphics"};
constexpr const MimeType* ODG_CHILDREN[] = {&OTG};
constexpr std::string_view OTG_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.graphics-template"};
constexpr std::string_view ODF_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.formula"};
constexpr std::string_view ODC_MIME_ALIASES[] = {"application/x-vnd.oasis.opendocument.chart"};
}  // namespace

constinit const MimeType ZIP{"application/zip", ZIP_MIME_ALIASES, ".zip", ZIP_EXT_ALIASES, zip, ZIP_CHILDREN};
constinit const MimeType DOCX{"application/vnd.openxmlformats-officedocument.wordprocessingml.document", {}, ".docx", {}, docx, {}};
constinit const MimeType XLSX{"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet", {}, ".xlsx", {}, xlsx, {}};
constinit const MimeType PPTX{"application/vnd.openxmlformats-officedocument.presentationml.presentation", {}, ".pptx", {}, pptx, {}};
constinit const MimeType VSDX{"application/vnd.ms-visio.drawing.main+xml", {}, ".vsdx", {}, vsdx, {}};
constinit const MimeType EPUB{"application/epub+zip", {}, ".epub", {}, epub, {}};
constinit const MimeType JAR{"application/java-archive", JAR_MIME_ALIASES, ".jar", {}, jar, {}};
constinit const MimeType APK{"application/vnd.android.package-archive", {}, ".apk", {}, apk, {}};
constinit const MimeType ODT{"application/vnd.oasis.opendocument.text", ODT_MIME_ALIASES, ".odt", {}, odt, ODT_CHILDREN};
constinit const MimeType OTT{"application/vnd.oasis.opendocument.text-template", OTT_MIME_ALIASES, ".ott", {}, ott, {}};
constinit const MimeType ODS{"application/vnd.oasis.opendocument.spreadsheet", ODS_MIME_ALIASES, ".ods", {}, ods, ODS_CHILDREN};
constinit const MimeType OTS{"application/vnd.oasis.opendocument.spreadsheet-template", OTS_MIME_ALIASES, ".ots", {}, ots, {}};
constinit const MimeType ODP{"application/vnd.oasis.opendocument.presentation", ODP_MIME_ALIASES, ".odp", {}, odp, ODP_CHILDREN};
constinit const MimeType OTP{"application/vnd.oasis.opendocument.presentation-template", OTP_MIME_ALIASES, ".otp", {}, otp, {}};
constinit const MimeType ODG{"application/vnd.oasis.opendocument.graphics", ODG_MIME_ALIASES, ".odg", {}, odg, ODG_CHILDREN};
constinit const MimeType OTG{"application/vnd.oasis.opendocument.graphics-template", OTG_MIME_ALIASES, ".otg", {}, otg, {}};
constinit const MimeType ODF{"application/vnd.oasis.opendocument.formula", ODF_MIME_ALIASES, ".odf", {}, odf_format, {}};
constinit const MimeType ODC{"application/vnd.oasis.opendocument.chart", ODC_MIME_ALIASES, ".odc", {}, odc, {}};
constinit const MimeType SXC{"application/vnd.sun.xml.calc", {}, ".sxc", {}, sxc, {}};
constinit const MimeType KMZ{"application/vnd.google-earth.kmz", {}, ".kmz", {}, kmz, {}};

}  // namespace taxon
