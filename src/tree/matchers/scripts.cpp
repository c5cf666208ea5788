// Scripts recognised by their interpreter line or opening.
#include "scripts.hpp"

#include "../cpu.hpp"
#include "vector_twins.hpp"

namespace taxon {

namespace {

// True when the view begins with any of the openings.
template <std::size_t N>
bool opens_with(const View& v, const std::string_view (&openings)[N]) noexcept {
    for (const std::string_view opening : openings)
        if (v.starts_with(opening)) return true;
    return false;
}

// JavaScript keywords are looked for in the first 256 bytes only.
constexpr std::size_t KEYWORD_WINDOW = 256;

// True when one of "function", "var ", "let ", "const ", "class ", "import "
// and "export " lies wholly in the window at `i`, whatever precedes it.
inline bool keyword_at(View window, std::size_t i) noexcept {
    switch (window[i]) {
        case 'f': return window.has_at(i, "function");
        case 'v': return window.has_at(i, "var ");
        case 'l': return window.has_at(i, "let ");
        case 'c': return window.has_at(i, "const ") || window.has_at(i, "class ");
        case 'i': return window.has_at(i, "import ");
        case 'e': return window.has_at(i, "export ");
        default: return false;
    }
}

#if TAXON_HAS(X86_SSE2)
inline __m128i pair(__m128i a, __m128i b, char x, char y) noexcept {
    return _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(x)), _mm_cmpeq_epi8(b, _mm_set1_epi8(y)));
}

// Sixteen positions at a time: a position is a candidate when its first
// two bytes begin a keyword ("fu", "va", "le", "co", "cl", "im", "ex").
// Returns true on a keyword, or leaves `i` at the first position not yet
// looked at.
inline bool has_keyword_sse2(const View& window, std::size_t& i) noexcept {
    for (; i + 17 <= window.size; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window.data + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window.data + i + 1));
        const __m128i c = _mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8('c')),
                                        _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('o')),
                                                     _mm_cmpeq_epi8(b, _mm_set1_epi8('l'))));
        const __m128i any = _mm_or_si128(
            _mm_or_si128(_mm_or_si128(pair(a, b, 'f', 'u'), pair(a, b, 'v', 'a')),
                         _mm_or_si128(pair(a, b, 'l', 'e'), pair(a, b, 'i', 'm'))),
            _mm_or_si128(pair(a, b, 'e', 'x'), c));
        for (auto m = static_cast<std::uint32_t>(_mm_movemask_epi8(any)); m != 0; m &= m - 1)
            if (keyword_at(window, i + cpu::first_set(m))) return true;
    }
    return false;
}
#endif

}  // namespace

bool twins::js_keyword(const View& window, cpu::Path path) noexcept {
    std::size_t i = 0;
#if TAXON_HAS(X86_SSE2)
    if (path >= cpu::Path::vector128 && has_keyword_sse2(window, i)) return true;
#endif
    (void)path;
    for (; i + 4 <= window.size; ++i)
        if (keyword_at(window, i)) return true;
    return false;
}

bool php(const View& v) noexcept {
    if (v.starts_with("<?php")) return true;
    return v.size >= 3 && v[0] == '<' && v[1] == '?' && (v[2] == '\n' || v[2] == '\r' || v[2] == ' ');
}

bool javascript(const View& v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env node", "#!/usr/bin/node", "//", "/*"};
    if (v.size < 2) return false;
    if (opens_with(v, OPENINGS)) return true;
    return twins::js_keyword(v.first(KEYWORD_WINDOW), cpu::best_path());
}

bool python(const View& v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env python", "#!/usr/bin/python", "#!python",
                                                    "# -*- coding:"};
    return opens_with(v, OPENINGS);
}

bool perl(const View& v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env perl", "#!/usr/bin/perl", "#!perl"};
    return opens_with(v, OPENINGS);
}

bool ruby(const View& v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env ruby", "#!/usr/bin/ruby", "#!ruby"};
    return opens_with(v, OPENINGS);
}

bool lua(const View& v) noexcept {
    // "\x1bLua" is the header of a precompiled chunk.
    static constexpr std::string_view OPENINGS[] = {"#!/usr/bin/env lua", "#!/usr/bin/lua", "#!lua",
                                                    "\x1b" "Lua"};
    return opens_with(v, OPENINGS);
}

bool shell(const View& v) noexcept {
    static constexpr std::string_view OPENINGS[] = {"#!/bin/sh", "#!/bin/bash", "#!/usr/bin/env bash", "#!/bin/zsh"};
    return opens_with(v, OPENINGS);
}

bool tcl(const View& v) noexcept {
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
