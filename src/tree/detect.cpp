// The walk: from the root, take the first child that accepts the view and go
// on among its children, until none accepts or a leaf is reached.
#include "first_level.hpp"
#include "matchers/walk_memo.hpp"
#include "mime_type.hpp"

namespace taxon {

namespace {

// Goes on below `current`: the first child that accepts is taken, and so on
// down; no backtracking.
const MimeType& descend(const MimeType* current, View view) noexcept {
    for (;;) {
        const MimeType* next = nullptr;
        for (const MimeType* child : current->children) {
            if (child->matcher(view)) {
                next = child;
                break;
            }
        }
        if (next == nullptr) return *current;
        current = next;
    }
}

}  // namespace

const MimeType& detect(const std::uint8_t* data, std::size_t size) noexcept {
    Memo memo;
    const View view{data, size < READ_LIMIT ? size : READ_LIMIT, &memo};
    if (view.empty()) {
        // Matchers are pure, so the empty view's answer never changes: walk
        // every child once and keep the result.
        static const MimeType& empty_answer = descend(&ROOT, view);
        return empty_answer;
    }
    // First level: only the children that can accept a view with this first
    // byte, in the root's order.
    const std::uint8_t first = view[0];
    const std::uint8_t* candidates = FIRST_LEVEL_BY_BYTE.candidates[first];
    const std::size_t count = FIRST_LEVEL_BY_BYTE.count[first];
    for (std::size_t i = 0; i < count; ++i) {
        const MimeType* child = ROOT.children[candidates[i]];
        if (child->matcher(view)) return descend(child, view);
    }
    return ROOT;
}

const MimeType& detect_without_dispatch(const std::uint8_t* data, std::size_t size) noexcept {
    Memo memo;
    const View view{data, size < READ_LIMIT ? size : READ_LIMIT, &memo};
    return descend(&ROOT, view);
}

}  // namespace taxon
