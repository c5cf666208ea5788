// Scripts recognised by their interpreter line or opening.
#include "scripts.hpp"

namespace taxon {

namespace {

// True when the view begins with any of the openings.
template <std::size_t N>
bool opens_with(View v, const std::string_view (&openings)[N]) noexcept {
    for (const std::string_view opening : openings)
        if (v.starts_with(opening)) return true;
    return false;
}

// JavaScript keywords are looked for in the first 256 bytes only.
constexpr std::size_t KEYWORD_WINDOW = 256;

// True when `word` lies wholly in the window at `at`.
inline bool word_at(View window, std::size_t at, std::string_view word) noexcept {
    return window.has_at(at, word);
}

// Any of "function", "var ", "let ", "const ", "class ", "import " and
// "export " in the window, whatever precedes it.
bool has_keyword(View window) noexcept {
    for (std::size_t i = 0; i + 4 <= window.size; ++i) {
        switch (window[i]) {
            case 'f':
                if (word_at(window, i, "function")) return true;
                break;
            case 'v':
                if (word_at(window, i, "var ")) return true;
                break;
            case 'l':
                if (word_at(window, i, "let ")) return true;
                break;
            case 'c':
                if (word_at(window, i, "const ") || word_at(window, i, "class ")) return true;
                break;
            case 'i':
                if (word_at(window, i, "import ")) return true;
                break;
            case 'e':
                if (word_at(window, i, "export ")) return true;
                break;
            default: break;
        }
    }
    return false;
}

}  // namespace

bool php(View v) noexcept {
    if (v.starts_with("<?php")) return true;
    return v.size >= 3 && v[0] == '<' && v[1] == '?' && (v[2] == '\n' || v[2] == '\r' || v[2] == ' ');
}

bool javascript(View v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env node", "#!/usr/bin/node", "//", "/*"};
    if (v.size < 2) return false;
    if (opens_with(v, OPENINGS)) return true;
    return has_keyword(v.first(KEYWORD_WINDOW));
}

bool python(View v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env python", "#!/usr/bin/python", "#!python",
                                                    "# -*- coding:"};
    return opens_with(v, OPENINGS);
}

bool perl(View v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env perl", "#!/usr/bin/perl", "#!perl"};
    return opens_with(v, OPENINGS);
}

bool ruby(View v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env ruby", "#!/usr/bin/ruby", "#!ruby"};
    return opens_with(v, OPENINGS);
}

bool lua(View v) noexcept {
    // "\x1bLua" is the header of a precompiled chunk.
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env lua", "#!/usr/bin/lua", "#!lua",
                                                    "\x1b" "Lua"};
    return opens_with(v, OPENINGS);
}

bool shell(View v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/bin/sh", "#!/bin/bash", "#!/usr/bin/env bash", "#!/bin/zsh"};
    return opens_with(v, OPENINGS);
}

bool tcl(View v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env tclsh", "#!/usr/bin/tclsh", "#!tclsh"};
    return opens_with(v, OPENINGS);
}

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
