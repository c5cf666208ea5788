// Scripts recognised by their interpreter line or opening.
#include "scripts.hpp"

namespace taxon {

bool php(View) noexcept { return false; }  // not yet written
bool javascript(View) noexcept { return false; }  // not yet written
bool python(View) noexcept { return false; }  // not yet written
bool perl(View) noexcept { return false; }  // not yet written
bool ruby(View) noexcept { return false; }  // not yet written
bool lua(View) noexcept { return false; }  // not yet written
bool shell(View) noexcept { return false; }  // not yet written
bool tcl(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view JAVASCRIPT_MIME_ALIASES[] = {"application/javascript"};
constexpr std::string_view PYTHON_MIME_ALIASES[] = {"text/x-script.python", "application/x-python"};
constexpr std::string_view RUBY_MIME_ALIASES[] = {"application/x-ruby"};
constexpr std::string_view SHELL_MIME_ALIASES[] = {"text/x-sh", "application/x-shellscript", "application/x-sh"};
constexpr std::string_view TCL_MIME_ALIASES[] = {"application/x-tcl"};
}  // namespace

constinit const MimeType PHP{"text/x-php", {}, ".php", {}, php, {}};
constinit const MimeType JAVASCRIPT{"text/javascript", JAVASCRIPT_MIME_ALIASES, ".js", {}, javascript, {}};
constinit const MimeType PYTHON{"text/x-python", PYTHON_MIME_ALIASES, ".py", {}, python, {}};
constinit const MimeType PERL{"text/x-perl", {}, ".pl", {}, perl, {}};
constinit const MimeType RUBY{"text/x-ruby", RUBY_MIME_ALIASES, ".rb", {}, ruby, {}};
constinit const MimeType LUA{"text/x-lua", {}, ".lua", {}, lua, {}};
constinit const MimeType SHELL{"text/x-shellscript", SHELL_MIME_ALIASES, ".sh", {}, shell, {}};
constinit const MimeType TCL{"text/x-tcl", TCL_MIME_ALIASES, ".tcl", {}, tcl, {}};

}  // namespace taxon
