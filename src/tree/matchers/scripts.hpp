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

bool php(View v) noexcept;
bool javascript(View v) noexcept;
bool python(View v) noexcept;
bool perl(View v) noexcept;
bool ruby(View v) noexcept;
bool lua(View v) noexcept;
bool shell(View v) noexcept;
bool tcl(View v) noexcept;

}  // namespace taxon
