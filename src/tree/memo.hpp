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

    // Which of the XML vocabulary needles occur in the view at `xml_view` of
    // `xml_view_size` bytes: bit i for the i-th child of XML, valid once
    // `xml_needles_known` is set.
    bool xml_needles_known = false;
    std::uint16_t xml_needles;
    const std::uint8_t* xml_view;
    std::size_t xml_view_size;

    // Which of the keys that the JSON children look for first occur in the
    // view at `json_view` of `json_view_size` bytes (bit i for child i of
    // those that look for keys), valid once `json_lead_keys_known` is set.
    bool json_lead_keys_known = false;
    std::uint8_t json_lead_keys;
    const std::uint8_t* json_view;
    std::size_t json_view_size;
};

}  // namespace taxon
