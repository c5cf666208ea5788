// Unicode over UTF-8 text: reading characters, the White_Space property and
// the full upper-case mapping, from the generated tables in unicode_data.hpp.
//
// Everything here works on text that is meant to be well-formed UTF-8 (text
// decoded from UTF-16), yet never reads outside the text it is given even
// when it is not: a malformed byte reads as one U+FFFD character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "unicode_data.hpp"

namespace taxon::unicode {

inline constexpr char32_t REPLACEMENT = 0xFFFD;

// Length in bytes of the UTF-8 character at `text[i]` (i < text.size()),
// stored in `cp`.
inline std::size_t read_char(std::string_view text, std::size_t i, char32_t& cp) noexcept {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len;
    char32_t value;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, value = b0 & 0x1Fu, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, value = b0 & 0x0Fu, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, value = b0 & 0x07u, min = 0x10000;
    } else {
        cp = REPLACEMENT;
        return 1;
    }
    if (len > text.size() - i) {
        cp = REPLACEMENT;
        return 1;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            cp = REPLACEMENT;
            return 1;
        }
        value = (value << 6) | (b & 0x3Fu);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        cp = REPLACEMENT;
        return 1;
    }
    cp = value;
    return len;
}

inline bool is_white_space(char32_t cp) noexcept {
    if (cp < 0x80) return cp == 0x20 || (cp >= 0x09 && cp <= 0x0D);
    for (const auto& r : unicode_data::WHITE_SPACE) {
        if (cp < r.first) return false;
        if (cp <= r.last) return true;
    }
    return false;
}

// The text after its leading White_Space characters.
inline std::string_view skip_white_space(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        const std::size_t len = read_char(text, i, cp);
        if (!is_white_space(cp)) break;
        i += len;
    }
    return text.substr(i);
}

// The full upper case of `cp`: one to three characters, written to `out`;
// returns how many.
inline std::size_t to_upper(char32_t cp, char32_t (&out)[3]) noexcept {
    if (cp < 0x80) {
        out[0] = (cp >= 'a' && cp <= 'z') ? cp - 0x20 : cp;
        return 1;
    }
    out[0] = cp;
    // The last run that starts at or before cp.
    const auto* runs = unicode_data::UPPER_RUNS;
    std::size_t lo = 0, hi = std::size(unicode_data::UPPER_RUNS);
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (runs[mid].first <= cp) lo = mid + 1;
        else hi = mid;
    }
    if (lo > 0) {
        const auto& run = runs[lo - 1];
        const char32_t offset = cp - run.first;
        if (offset % run.stride == 0 && offset / run.stride < run.count) {
            out[0] = static_cast<char32_t>(static_cast<std::int32_t>(cp) + run.delta);
            return 1;
        }
    }
    const auto* exp = unicode_data::UPPER_EXPANSIONS;
    lo = 0, hi = std::size(unicode_data::UPPER_EXPANSIONS);
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (exp[mid].from < cp) lo = mid + 1;
        else hi = mid;
    }
    if (lo < std::size(unicode_data::UPPER_EXPANSIONS) && exp[lo].from == cp) {
        std::size_t n = 0;
        while (n < 3 && exp[lo].to[n] != 0) {
            out[n] = exp[lo].to[n];
            ++n;
        }
        return n;
    }
    return 1;
}

// True when the full upper case of `text` begins with `prefix` (ASCII).
// Maps only as many characters as the prefix needs.
inline bool upper_starts_with(std::string_view text, std::string_view prefix) noexcept {
    std::size_t i = 0, p = 0;
    while (p < prefix.size()) {
        if (i >= text.size()) return false;
        char32_t cp;
        i += read_char(text, i, cp);
        char32_t upper[3];
        const std::size_t n = to_upper(cp, upper);
        for (std::size_t k = 0; k < n && p < prefix.size(); ++k, ++p) {
            if (upper[k] != static_cast<unsigned char>(prefix[p])) return false;
        }
    }
    return true;
}

}  // namespace taxon::unicode
