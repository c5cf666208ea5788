// Per-walk cache of values derived from the view.
//
// Several sibling matchers may need the same expensive derivation of the
// view (the UTF-16 variants all decode it). `detect` keeps one Memo on its
// stack for the length of a walk and hands it to every matcher through
// `View::memo`; a matcher called outside a walk gets none and derives afresh.
//
// A Memo is made for every walk, so making one must cost nothing: only the
// state bytes are initialised, every other field is written when first
// needed. Each value is kept with the start and length of the view it was
// derived from, so a sub-view (which carries the same memo) never gets a
// value made for another view.
#pragma once

#include <cstddef>
#include <cstdint>

#include "matchers/encodings.hpp"
#include "matchers/zip.hpp"
#include "mime_type.hpp"

namespace taxon {

// A value derived from one view, kept for the rest of the walk. It is tied
// to the view's address and size, so a sub-view handed to a matcher never
// gets a value derived from another view. Only `known` is initialised.
template <class T>
struct Derived {
    bool known = false;
    const std::uint8_t* view;
    std::size_t view_size;
    T value;

    bool holds(const View& v) const noexcept { return known && view == v.data && view_size == v.size; }
    // Ties the slot to `v`; the caller has just written `value` for it.
    void tie(const View& v) noexcept {
        view = v.data;
        view_size = v.size;
        known = true;
    }
};

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

    // The view's first ZIP entry names.
    Derived<ZipEntryNames> zip_names;
    // Which XML vocabulary needles occur in the view: bit i for the i-th
    // child of XML.
    Derived<std::uint16_t> xml_needles;
    // Which of the keys the JSON children look for first occur in the view:
    // bit i for the i-th of those children.
    Derived<std::uint8_t> json_lead_keys;
};

}  // namespace taxon
