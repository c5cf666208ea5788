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

bool php(const View& v) noexcept;
bool javascript(const View& v) noexcept;
bool python(const View& v) noexcept;
bool perl(const View& v) noexcept;
bool ruby(const View& v) noexcept;
bool lua(const View& v) noexcept;
bool shell(const View& v) noexcept;
bool tcl(const View& v) noexcept;

}  // namespace taxon
