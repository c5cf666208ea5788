// Module entry (first cut: detection only; binding and registrations follow).
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "tree/mime_type.hpp"

namespace {

PyObject* answer(PyObject* const* args, Py_ssize_t nargs, bool mime) {
    if (nargs != 1 || !PyBytes_Check(args[0])) {
        PyErr_SetString(PyExc_TypeError, "argument 'data': expected bytes");
        return nullptr;
    }
    const auto& rec = taxon::detect(reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(args[0])),
                                    static_cast<std::size_t>(PyBytes_GET_SIZE(args[0])));
    const std::string_view text = mime ? rec.mime : rec.extension;
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* detect_mime(PyObject*, PyObject* const* args, Py_ssize_t nargs) { return answer(args, nargs, true); }
PyObject* detect_type(PyObject*, PyObject* const* args, Py_ssize_t nargs) { return answer(args, nargs, false); }

PyMethodDef METHODS[] = {
    {"detect_mime", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(detect_mime)), METH_FASTCALL, nullptr},
    {"detect_type", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(detect_type)), METH_FASTCALL, nullptr},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef MODULE = {PyModuleDef_HEAD_INIT, "taxon", "Content-based file type detection.", 0, METHODS,
                      nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit_taxon() { return PyModule_Create(&MODULE); }
