// STRINGS: one Python str per record text, for the life of the process.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

namespace taxon::py {

// A new reference to the str holding `text`, a record's constant MIME or
// extension text. The same object is returned for the same text every time.
PyObject* cached(std::string_view text);

}  // namespace taxon::py
