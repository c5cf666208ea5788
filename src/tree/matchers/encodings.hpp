// Text encodings: UTF-8, and the byte-order marks of UTF-8 and UTF-16.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType UTF8;
extern const MimeType UTF8_BOM;
extern const MimeType UTF16_BE;
extern const MimeType UTF16_LE;

bool utf8(View v) noexcept;
bool utf8_bom(View v) noexcept;
bool utf16_be(View v) noexcept;
bool utf16_le(View v) noexcept;

}  // namespace taxon
