// Argument binding for the fast-call functions, and the TypeError rewriting
// that names the parameter whose conversion failed.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <span>

namespace taxon::py {

struct Parameters {
    const char* function;                         // for messages: "register"
    std::span<const char* const> positional;      // positional-or-keyword, all required
    std::span<const char* const> keyword_only;    // all optional

    // The number of slots bind() fills.
    constexpr std::size_t count() const { return positional.size() + keyword_only.size(); }
};

// Binds a fast call's arguments to `out`, which has one slot per parameter
// (positional ones first, then keyword-only ones); a slot left unset is null.
// The values are borrowed. On failure raises TypeError and returns false.
bool bind(const Parameters& params, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
          PyObject** out);

// With a conversion error set for `parameter`: an error of exactly TypeError
// becomes TypeError "argument '<parameter>': <message>" with the same cause;
// any other error is left as it is.
void rename_conversion_error(const char* parameter);

// Raises TypeError "argument '<parameter>': '<type>' object cannot be
// converted to '<target>'" for `obj`.
void raise_not_convertible(const char* parameter, PyObject* obj, const char* target);

}  // namespace taxon::py
