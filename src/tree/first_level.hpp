// Dispatch of the first level of the walk by the view's first byte.
//
// The root has over a hundred children and most of them test fixed bytes at
// offset 0, so for any given first byte only a handful can accept the view.
// The table lists, for each first byte, the children that can, in the
// root's priority order; the walk tries only those, and so reaches the same
// record as trying every child in order would.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "mime_type.hpp"

namespace taxon {

// A set of byte values.
struct ByteSet {
    std::uint64_t bits[4] = {0, 0, 0, 0};

    constexpr ByteSet& add(unsigned b) {
        bits[(b >> 6) & 3] |= std::uint64_t{1} << (b & 63);
        return *this;
    }
    constexpr bool has(unsigned b) const { return (bits[(b >> 6) & 3] >> (b & 63)) & 1; }
    constexpr ByteSet operator|(const ByteSet& o) const {
        ByteSet r;
        for (int i = 0; i < 4; ++i) r.bits[i] = bits[i] | o.bits[i];
        return r;
    }
};

constexpr ByteSet of(std::initializer_list<unsigned> bytes) {
    ByteSet s;
    for (unsigned b : bytes) s.add(b);
    return s;
}
constexpr ByteSet of(std::string_view chars) {
    ByteSet s;
    for (char c : chars) s.add(static_cast<unsigned char>(c));
    return s;
}
constexpr ByteSet range(unsigned first, unsigned last) {
    ByteSet s;
    for (unsigned b = first; b <= last; ++b) s.add(b);
    return s;
}
inline constexpr ByteSet ANY = range(0x00, 0xFF);

struct FirstLevelEntry {
    const MimeType* record;
    ByteSet first_bytes;
};

inline constexpr std::size_t MAX_FIRST_LEVEL = 128;      // children of the root, at most
inline constexpr std::size_t MAX_CANDIDATES_PER_BYTE = 32;

struct FirstLevelTable {
    // candidates[b][0 .. count[b]) index the root's children, in order.
    std::uint8_t count[256];
    std::uint8_t candidates[256][MAX_CANDIDATES_PER_BYTE];
};

template <std::size_t N>
constexpr std::array<const MimeType*, N> records_of(const FirstLevelEntry (&entries)[N]) {
    static_assert(N <= MAX_FIRST_LEVEL);
    std::array<const MimeType*, N> records{};
    for (std::size_t i = 0; i < N; ++i) records[i] = entries[i].record;
    return records;
}

template <std::size_t N>
constexpr FirstLevelTable dispatch_table(const FirstLevelEntry (&entries)[N]) {
    FirstLevelTable table{};
    for (unsigned b = 0; b < 256; ++b) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < N; ++i) {
            if (!entries[i].first_bytes.has(b)) continue;
            // Overflowing the row is a compile-time error: the table is constinit.
            if (n == MAX_CANDIDATES_PER_BYTE) throw "raise MAX_CANDIDATES_PER_BYTE";
            table.candidates[b][n++] = static_cast<std::uint8_t>(i);
        }
        table.count[b] = static_cast<std::uint8_t>(n);
    }
    return table;
}

extern const FirstLevelTable FIRST_LEVEL_BY_BYTE;

// The walk over every child in order, without the dispatch table: the
// reference the table must agree with (used by the fuzz and unit checks).
const MimeType& detect_without_dispatch(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace taxon
