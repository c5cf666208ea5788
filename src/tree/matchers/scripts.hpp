// Scripts recognised by their interpreter line or opening.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType PHP;
extern const MimeType JAVASCRIPT;
extern const MimeType PYTHON;
extern const MimeType PERL;
extern const MimeType RUBY;
extern const MimeType LUA;
extern const MimeType SHELL;
extern const MimeType TCL;

}  // namespace taxon
