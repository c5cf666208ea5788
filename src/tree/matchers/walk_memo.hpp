// The walk's memo: values derived from the view that several matchers of one
// walk need, computed once per walk.
//
// Sibling matchers often derive the same thing from the view (the UTF-16
// variants all decode it, the ZIP children all list its entries). `detect`
// keeps one Memo on its stack for the length of a walk and hands it to every
// matcher through `View::memo`, which the core holds as an opaque pointer; a
// matcher called outside a walk gets none and derives afresh. The answer
// never depends on whether there is one.
//
// A Memo is made for every walk, so making one must cost nothing: only the
// `known` flags are initialised, every other field is written when first
// needed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../mime_type.hpp"
#include "encodings.hpp"
#include "zip_entries.hpp"

namespace taxon {

// A value derived from one view, kept for the rest of the walk. It is tied
// to the view's address and size, so a sub-view handed to a matcher (which
// carries the same memo) never gets a value derived from another view, and
// to a `variant` for values that come in more than one kind per view (the
// two byte orders of UTF-16). Only `known` is initialised.
template <class T>
struct Derived {
    bool known = false;
    std::uint8_t variant;
    const std::uint8_t* view;
    std::size_t view_size;
    T value;

    bool holds(const View& v, std::uint8_t kind) const noexcept {
        return known && view == v.data && view_size == v.size && variant == kind;
    }
};

// The view decoded as UTF-16 (see utf16_to_text): the first `size` bytes of
// `text`, or no text at all when `size` is NOT_TEXT (the view is not UTF-16
// text in that byte order). The text comes right after the size, 32 bytes
// into the slot: the decoder's output stays where it always was in a walk's
// frame.
struct Utf16Text {
    static constexpr std::size_t NOT_TEXT = SIZE_MAX;
    std::size_t size;
    char text[UTF16_TEXT_CAPACITY];
};

struct Memo {
    // The view decoded as UTF-16; the variant is 1 for big-endian.
    Derived<Utf16Text> utf16;
    // The view's first ZIP entry names.
    Derived<ZipEntryNames> zip_names;
    // Which XML vocabulary needles occur in the view: bit i for the i-th
    // child of XML.
    Derived<std::uint16_t> xml_needles;
    // Which of the keys the JSON children look for first occur in the view:
    // bit i for the i-th of those children.
    Derived<std::uint8_t> json_lead_keys;
};

// The value of `slot` for the view `v` (and `variant`): `derive(value)`
// writes it on the first call for them in this walk, later calls get it as
// it was left.
template <class T, class Derive>
const T& once(Derived<T>& slot, const View& v, Derive&& derive, std::uint8_t variant = 0) noexcept {
    if (!slot.holds(v, variant)) {
        derive(slot.value);
        slot.variant = variant;
        slot.view = v.data;
        slot.view_size = v.size;
        slot.known = true;
    }
    return slot.value;
}

}  // namespace taxon
