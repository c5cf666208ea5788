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

}  // namespace taxon
