#include "binding.hpp"

#include <string>

namespace taxon::py {

namespace {

bool name_is(PyObject* name, const char* param) {
    return PyUnicode_Check(name) && PyUnicode_CompareWithASCIIString(name, param) == 0;
}

void raise_missing(const Parameters& params, PyObject* const* out) {
    std::string names;
    std::size_t count = 0;
    for (std::size_t i = 0; i < params.positional.size(); ++i) {
        if (out[i] == nullptr) ++count;
    }
    std::size_t seen = 0;
    for (std::size_t i = 0; i < params.positional.size(); ++i) {
        if (out[i] != nullptr) continue;
        ++seen;
        if (seen > 1) {
            if (count > 2) names += ',';
            if (seen == count) names += " and";
            names += ' ';
        }
        names += '\'';
        names += params.positional[i];
        names += '\'';
    }
    if (count == 1) {
        PyErr_Format(PyExc_TypeError, "%s() missing 1 required positional argument: %s", params.function,
                     names.c_str());
    } else {
        PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional arguments: %s", params.function,
                     count, names.c_str());
    }
}

}  // namespace

bool bind(const Parameters& params, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
          PyObject** out) {
    const std::size_t npos = params.positional.size();
    const std::size_t total = npos + params.keyword_only.size();
    if (static_cast<std::size_t>(nargs) > npos) {
        PyErr_Format(PyExc_TypeError, "%s() takes %zu positional arguments but %zd were given", params.function,
                     npos, nargs);
        return false;
    }
    for (std::size_t i = 0; i < total; ++i) out[i] = i < static_cast<std::size_t>(nargs) ? args[i] : nullptr;

    const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* name = PyTuple_GET_ITEM(kwnames, k);
        std::size_t slot = total;
        // Keyword-only parameters are looked up before positional ones.
        for (std::size_t i = 0; i < params.keyword_only.size() && slot == total; ++i) {
            if (name_is(name, params.keyword_only[i])) slot = npos + i;
        }
        for (std::size_t i = 0; i < npos && slot == total; ++i) {
            if (name_is(name, params.positional[i])) slot = i;
        }
        if (slot == total) {
            PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%S'", params.function, name);
            return false;
        }
        if (out[slot] != nullptr) {
            const char* param = slot < npos ? params.positional[slot] : params.keyword_only[slot - npos];
            PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", params.function, param);
            return false;
        }
        out[slot] = args[nargs + k];
    }

    for (std::size_t i = 0; i < npos; ++i) {
        if (out[i] == nullptr) {
            raise_missing(params, out);
            return false;
        }
    }
    return true;
}

void rename_conversion_error(const char* parameter) {
    if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    if (value == nullptr || Py_TYPE(value) != reinterpret_cast<PyTypeObject*>(PyExc_TypeError)) {
        // Subclasses of TypeError pass through unchanged.
        PyErr_Restore(type, value, traceback);
        return;
    }
    PyObject* message = PyUnicode_FromFormat("argument '%s': %S", parameter, value);
    PyObject* renamed = message == nullptr ? nullptr : PyObject_CallOneArg(PyExc_TypeError, message);
    Py_XDECREF(message);
    if (renamed == nullptr) {
        // Could not build the new error: keep the original one.
        Py_XDECREF(type);
        Py_XDECREF(value);
        Py_XDECREF(traceback);
        return;
    }
    PyObject* cause = PyException_GetCause(value);  // new reference or null
    if (cause != nullptr) PyException_SetCause(renamed, cause);  // steals `cause`
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    PyErr_SetObject(PyExc_TypeError, renamed);
    Py_DECREF(renamed);
}

void raise_not_convertible(const char* parameter, PyObject* obj, const char* target) {
#if PY_VERSION_HEX >= 0x030B0000
    PyObject* qualname = PyType_GetQualName(Py_TYPE(obj));
#else
    PyObject* qualname = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__");
#endif
    if (qualname == nullptr) return;
    PyErr_Format(PyExc_TypeError, "argument '%s': '%S' object cannot be converted to '%s'", parameter, qualname,
                 target);
    Py_DECREF(qualname);
}

}  // namespace taxon::py
