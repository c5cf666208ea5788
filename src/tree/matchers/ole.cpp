// OLE compound files and the formats stored in them.
#include "ole.hpp"

namespace taxon {

bool ole(View) noexcept { return false; }  // not yet written
bool msi(View) noexcept { return false; }  // not yet written
bool aaf(View) noexcept { return false; }  // not yet written
bool msg(View) noexcept { return false; }  // not yet written
bool xls(View) noexcept { return false; }  // not yet written
bool pub_format(View) noexcept { return false; }  // not yet written
bool ppt(View) noexcept { return false; }  // not yet written
bool doc(View) noexcept { return false; }  // not yet written
bool onenote(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view OLE_EXT_ALIASES[] = {".xls", ".pub", ".ppt", ".doc", ".chm", ".one"};
constexpr const MimeType* OLE_CHILDREN[] = {&MSI, &AAF, &MSG, &XLS, &PUB, &PPT, &DOC, &ONENOTE};
}  // namespace

constinit const MimeType OLE{"application/x-ole-storage", {}, "", OLE_EXT_ALIASES, ole, OLE_CHILDREN};
constinit const MimeType MSI{"application/x-ms-installer", {}, ".msi", {}, msi, {}};
constinit const MimeType AAF{"application/octet-stream", {}, ".aaf", {}, aaf, {}};
constinit const MimeType MSG{"application/vnd.ms-outlook", {}, ".msg", {}, msg, {}};
constinit const MimeType XLS{"application/vnd.ms-excel", {}, ".xls", {}, xls, {}};
constinit const MimeType PUB{"application/vnd.ms-publisher", {}, ".pub", {}, pub_format, {}};
constinit const MimeType PPT{"application/vnd.ms-powerpoint", {}, ".ppt", {}, ppt, {}};
constinit const MimeType DOC{"application/msword", {}, ".doc", {}, doc, {}};
constinit const MimeType ONENOTE{"application/onenote", {}, ".one", {}, onenote, {}};

}  // namespace taxon
