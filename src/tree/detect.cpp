// The walk: from the root, take the first child that accepts the view and go
// on among its children, until none accepts or a leaf is reached.
#include "memo.hpp"
#include "mime_type.hpp"

namespace taxon {

const MimeType& detect(const std::uint8_t* data, std::size_t size) noexcept {
    Memo memo;
    const View view{data, size < READ_LIMIT ? size : READ_LIMIT, &memo};
    const MimeType* current = &ROOT;
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

}  // namespace taxon
