// Per-walk cache of values derived from the view.
//
// Several sibling matchers may need the same expensive derivation of the
// view (the UTF-16 variants all decode it). `detect` keeps one Memo on its
// stack for the length of a walk and hands it to every matcher through
// `View::memo`; a matcher called outside a walk gets none and derives afresh.
#pragma once

#include "mime_type.hpp"

namespace taxon {

struct Memo {};

}  // namespace taxon
