// The tests that the UTF-16 records run over decoded text, declared apart
// for the fuzz target, which also runs them on text of its own. No family
// uses them: each record reaches its test through its own matcher.
#pragma once

#include <string_view>

namespace taxon::utf16_text {

// Each takes well-formed UTF-8 (text decoded from UTF-16) and never reads
// outside it even when it is not.
bool html(std::string_view text) noexcept;
bool xml(std::string_view text) noexcept;
bool svg(std::string_view text) noexcept;
bool json(std::string_view text) noexcept;
bool csv(std::string_view text) noexcept;
bool tsv(std::string_view text) noexcept;
bool srt(std::string_view text) noexcept;
bool vtt(std::string_view text) noexcept;
bool vcard(std::string_view text) noexcept;
bool icalendar(std::string_view text) noexcept;
bool rtf(std::string_view text) noexcept;

}  // namespace taxon::utf16_text
