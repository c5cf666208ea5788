// OLE compound files and the formats stored in them.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType OLE;
extern const MimeType MSI;
extern const MimeType AAF;
extern const MimeType MSG;
extern const MimeType XLS;
extern const MimeType PUB;
extern const MimeType PPT;
extern const MimeType DOC;
extern const MimeType ONENOTE;

bool ole(View v) noexcept;
bool msi(View v) noexcept;
bool aaf(View v) noexcept;
bool msg(View v) noexcept;
bool xls(View v) noexcept;
bool pub_format(View v) noexcept;
bool ppt(View v) noexcept;
bool doc(View v) noexcept;
bool onenote(View v) noexcept;

}  // namespace taxon
