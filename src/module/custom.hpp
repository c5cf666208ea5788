// CUSTOM: the caller's registrations, consulted before the type tree.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstddef>

namespace taxon::py {

// True exactly while the registration list is not empty; read without a lock
// so that a detection with no registrations costs one load.
extern std::atomic<bool> HAS_CUSTOM;

enum class Answer { mime, extension };

// Tries the registrations in order against the whole buffer. Returns a new
// reference to the chosen text of the first that accepts; null with an
// exception set when a callable (or the truth test of its result) raised;
// null with no exception set when none accepts.
PyObject* custom_hit(const char* data, std::size_t size, Answer answer);

PyObject* register_type(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* registered(PyObject* self, PyObject* unused);
PyObject* clear_registrations(PyObject* self, PyObject* unused);

}  // namespace taxon::py
