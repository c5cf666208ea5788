// The compound-file header reading behind the OLE children, declared apart
// for the fuzz target, which checks its arithmetic on hostile headers. No
// other family uses it.
#pragma once

#include <cstddef>
#include <optional>

#include "../mime_type.hpp"

namespace taxon {

// True when the view opens with the compound-file signature and holds the
// header fields up to the major version (28 bytes): the precondition of
// every test on the children of OLE.
bool ole_header(const View& v) noexcept;

// Offset R of the root directory entry, the first entry of the first
// directory sector, when the view holds the whole header sector and R lies
// inside the view; otherwise nothing. The sector size comes from the major
// version alone (4: 4096 bytes, else 512); R = (D + 1) * sector size, with D
// the first directory sector number, computed in 64 bits so that no header
// value (D = FFFFFFFF included) can overflow. The caller still checks that
// the bytes it reads past R lie inside the view.
std::optional<std::size_t> ole_root_entry(const View& v) noexcept;

}  // namespace taxon
