// Types told by parsing their header (see binary.cpp).
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType TAR;
extern const MimeType DBF;
extern const MimeType DWG;
extern const MimeType CRX;

}  // namespace taxon
