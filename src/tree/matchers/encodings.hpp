// Text encodings: UTF-8, and the byte-order marks of UTF-8 and UTF-16.
#pragma once

#include "../mime_type.hpp"

#include <optional>

namespace taxon {

extern const MimeType UTF8;
extern const MimeType UTF8_BOM;
extern const MimeType UTF16_BE;
extern const MimeType UTF16_LE;

// UTF-16 decoding, for the text formats recognised inside UTF-16 text.

// Room for the UTF-8 text that utf16_to_text makes from a view of at most
// READ_LIMIT bytes: a 16-bit unit gives at most three bytes of UTF-8 (a
// surrogate pair gives four for its two units).
inline constexpr std::size_t UTF16_TEXT_CAPACITY = READ_LIMIT / 2 * 3;

// Decodes the view as UTF-16 (high byte first when `big_endian`) into UTF-8
// in `out` and returns the text, or nothing when the view is not UTF-16 text:
// fewer than two bytes after a leading byte-order mark of that order (which
// is dropped), an odd length, or an unpaired surrogate. U+0000 and
// noncharacters decode as themselves. A view of exactly READ_LIMIT bytes
// whose last unit is a high surrogate was cut inside a pair by the walk: that
// unit is dropped. Views longer than READ_LIMIT are never decoded.
std::optional<std::string_view> utf16_to_text(View v, bool big_endian,
                                              std::span<char, UTF16_TEXT_CAPACITY> out) noexcept;

}  // namespace taxon
