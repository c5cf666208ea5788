// The type record, the byte view that matchers read, and the walk.
//
// Everything under src/tree/ is plain C++ with no Python in it: the records
// are constants that refer to each other, the matchers are pure functions of
// a read-only byte view, and `detect` walks the tree from `ROOT`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace taxon {

// The walk never hands a matcher more than this many bytes.
inline constexpr std::size_t READ_LIMIT = 3072;

// The per-walk cache of values derived from the view. The walk only makes
// one and hands it on; the matchers define and read it.
struct Memo;

// A read-only window on the caller's bytes: start and length, nothing owned.
//
// `memo` is set by `detect` for the duration of one walk so that matchers
// that derive an expensive value from the view (decoded UTF-16 text) compute
// it once per walk; it is null when a matcher is called on its own, and the
// answer never depends on whether it is set.
struct View {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    Memo* memo = nullptr;

    std::uint8_t operator[](std::size_t i) const noexcept { return data[i]; }
    bool empty() const noexcept { return size == 0; }
    const std::uint8_t* begin() const noexcept { return data; }
    const std::uint8_t* end() const noexcept { return data + size; }

    // True when bytes [offset, offset + lit.size()) lie inside the view and
    // equal `lit` byte for byte.
    bool has_at(std::size_t offset, std::string_view lit) const noexcept {
        if (offset > size || lit.size() > size - offset) return false;
        return lit.empty() || std::memcmp(data + offset, lit.data(), lit.size()) == 0;
    }
    bool starts_with(std::string_view lit) const noexcept { return has_at(0, lit); }

    // The bytes from `offset` on (empty when `offset` is past the end).
    View from(std::size_t offset) const noexcept {
        if (offset > size) offset = size;
        return {data + offset, size - offset, memo};
    }
    // The first `n` bytes (all of them when the view is shorter).
    View first(std::size_t n) const noexcept { return {data, n < size ? n : size, memo}; }

    // Fixed-width integers in the byte order the format defines; the caller
    // has checked that the bytes lie inside the view.
    std::uint16_t le16(std::size_t i) const noexcept {
        return static_cast<std::uint16_t>(data[i] | (data[i + 1] << 8));
    }
    std::uint32_t le32(std::size_t i) const noexcept {
        return static_cast<std::uint32_t>(data[i]) | (static_cast<std::uint32_t>(data[i + 1]) << 8) |
               (static_cast<std::uint32_t>(data[i + 2]) << 16) | (static_cast<std::uint32_t>(data[i + 3]) << 24);
    }
    std::uint32_t be32(std::size_t i) const noexcept {
        return (static_cast<std::uint32_t>(data[i]) << 24) | (static_cast<std::uint32_t>(data[i + 1]) << 16) |
               (static_cast<std::uint32_t>(data[i + 2]) << 8) | static_cast<std::uint32_t>(data[i + 3]);
    }
};

inline View view_of(const void* data, std::size_t size) noexcept {
    return {static_cast<const std::uint8_t*>(data), size, nullptr};
}

// A matcher: a pure test of the view. It never fails, never allocates unless
// it truly must, and never reads outside the view.
using Matcher = bool (*)(const View&) noexcept;

// One known type. Records are constants at fixed addresses for the life of
// the process; they are referred to, never copied.
struct MimeType {
    std::string_view mime;
    std::span<const std::string_view> mime_aliases;    // catalogue data only
    std::string_view extension;                         // with its dot, or empty
    std::span<const std::string_view> extension_aliases;  // catalogue data only
    Matcher matcher;
    std::span<const MimeType* const> children;          // in the order tried
};

// The root: "application/octet-stream", parent of every first-level type.
extern const MimeType ROOT;

// Walks the tree over the first READ_LIMIT bytes of `data` and returns the
// most specific record that accepts them (`ROOT` when none does).
const MimeType& detect(const std::uint8_t* data, std::size_t size) noexcept;

}  // namespace taxon
