// The walk over a ZIP archive's local headers behind the ZIP children,
// declared apart for the walk's memo, which keeps the entry names, and the
// fuzz target, which checks the walker on hostile archives. No other family
// uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "../mime_type.hpp"

namespace taxon {

// Walks the local file headers of a ZIP archive held in a view and yields
// the entry names, as views into the same bytes (never copies, never
// decoded). Nothing is decompressed and the central directory is not read:
// each search for the next header starts right after the previous header's
// extra field, so a header signature inside an entry's data counts as a
// header. The position only grows, so one walk scans the view at most once.
struct ZipIterator {
    View view;
    std::size_t position = 0;

    // The next entry name, or nothing once the walk has ended: no further
    // header, a header cut short by the end of the view, or a name that runs
    // past it. A call that yields nothing leaves the position alone.
    std::optional<std::string_view> next() noexcept;
};

// The names of the first entries of a view, as a fresh ZipIterator yields
// them, kept as offsets and lengths into the view. The ZIP children that
// look at entry names (the Office Open XML probe, apk, kmz) never look past
// the first LIMIT entries, so one walk serves them all.
struct ZipEntryNames {
    static constexpr std::size_t LIMIT = 100;
    std::size_t count;
    std::uint32_t at[LIMIT];
    std::uint32_t size[LIMIT];

    std::string_view name(const View& v, std::size_t i) const noexcept {
        return {reinterpret_cast<const char*>(v.data + at[i]), size[i]};
    }
};

}  // namespace taxon
