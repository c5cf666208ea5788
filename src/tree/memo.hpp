// Per-walk cache of values derived from the view.
//
// Several sibling matchers may need the same expensive derivation of the
// view (the UTF-16 variants all decode it). `detect` keeps one Memo on its
// stack for the length of a walk and hands it to every matcher through
// `View::memo`; a matcher called outside a walk gets none and derives afresh.
//
// A Memo is made for every walk, so making one must cost nothing: only the
// state byte is initialised, the text buffer is written when first needed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "matchers/encodings.hpp"
#include "matchers/zip.hpp"
#include "mime_type.hpp"

namespace taxon {

struct Memo {
    enum class Utf16 : std::uint8_t { untried, decoded, undecodable };

    // The view decoded as UTF-16: valid once `utf16` is no longer untried,
    // for the view at `utf16_view` of `utf16_view_size` bytes in the byte
    // order `utf16_big_endian`; the text is the first `utf16_size` bytes of
    // `utf16_text`.
    Utf16 utf16 = Utf16::untried;
    bool utf16_big_endian;
    const std::uint8_t* utf16_view;
    std::size_t utf16_view_size;
    std::size_t utf16_size;
    char utf16_text[UTF16_TEXT_CAPACITY];

    // The entry names of the view at `zip_view` of `zip_view_size` bytes,
    // once `zip_names_ready` is set.
    bool zip_names_ready = false;
    const std::uint8_t* zip_view;
    std::size_t zip_view_size;
    ZipEntryNames zip_names;
};

}  // namespace taxon
