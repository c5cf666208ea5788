// Internal, for the fuzz target and the platform checks: the matcher
// helpers that have vector paths, each callable on a chosen path so that
// every vector path can be compared with its portable twin. The matchers
// themselves always run cpu::best_path(); a path this build or processor
// lacks falls back to the best one below it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "../cpu.hpp"
#include "../mime_type.hpp"
#include "encodings.hpp"

namespace taxon::twins {

bool utf8(const View& v, cpu::Path path) noexcept;
std::optional<std::string_view> utf16_to_text(View v, bool big_endian, std::span<char, UTF16_TEXT_CAPACITY> out,
                                              cpu::Path path) noexcept;
// Bit i set when the needle of the i-th child of XML occurs in the view.
std::uint16_t xml_needles(const View& v, cpu::Path path) noexcept;
// Bit i set when the first key looked for by the i-th key-seeking child of
// JSON occurs in the view.
std::uint8_t json_lead_keys(const View& v, cpu::Path path) noexcept;
bool json(const View& v, cpu::Path path) noexcept;
// A JavaScript keyword in the view (the caller cuts the window).
bool js_keyword(const View& v, cpu::Path path) noexcept;
// Offset of the first ZIP local header signature at or after `from`.
std::optional<std::size_t> zip_local_header(const View& v, std::size_t from, cpu::Path path) noexcept;

}  // namespace taxon::twins
