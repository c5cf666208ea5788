// Module entry: PyInit_taxon, the function table and the detection calls.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdio>
#include <exception>
#include <new>

#include "binding.hpp"
#include "custom.hpp"
#include "strings.hpp"
#include "tree/mime_type.hpp"

namespace taxon::py {

namespace {

PyObject* MODULE = nullptr;          // the one module object of the process
PyObject* INTERNAL_ERROR = nullptr;  // raised for a violated internal assumption

#if PY_VERSION_HEX >= 0x030D0000
// Guards the creation of MODULE and INTERNAL_ERROR: without the GIL two
// threads may run PyInit_taxon at once. PyMutex detaches the waiting thread,
// so a collection started by the creating thread never waits on it. No
// Python code runs while it is held (these interpreters start collections
// between bytecodes, not inside allocations), so it is never taken twice.
PyMutex CREATION = {};
struct CreationLock {
    CreationLock() { PyMutex_Lock(&CREATION); }
    ~CreationLock() { PyMutex_Unlock(&CREATION); }
    CreationLock(const CreationLock&) = delete;
    CreationLock& operator=(const CreationLock&) = delete;
};
#else
// Older interpreters always hold the GIL here, and the import lock keeps a
// second import of the module out while the first one runs.
struct CreationLock {};
#endif

// Runs a function body and turns a C++ exception escaping it into a Python
// one: MemoryError for an allocation failure, InternalError otherwise, after
// a one-line report on stderr.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return PyErr_NoMemory();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "taxon: internal fault: %s\n", e.what());
        PyErr_SetString(INTERNAL_ERROR, e.what());
    } catch (...) {
        std::fprintf(stderr, "taxon: internal fault\n");
        PyErr_SetString(INTERNAL_ERROR, "internal fault");
    }
    return nullptr;
}

constexpr const char* DATA_POSITIONAL[] = {"data"};
constexpr Parameters DETECT_MIME_PARAMS{"detect_mime", DATA_POSITIONAL, {}};
constexpr Parameters DETECT_TYPE_PARAMS{"detect_type", DATA_POSITIONAL, {}};
static_assert(DETECT_MIME_PARAMS.count() == 1 && DETECT_TYPE_PARAMS.count() == 1,
              "answer() binds its one argument to a single slot");

PyObject* answer(const Parameters& params, Answer which, PyObject* const* args, Py_ssize_t nargs,
                 PyObject* kwnames) {
    PyObject* data;
    if (nargs == 1 && kwnames == nullptr) {
        data = args[0];
    } else if (!bind(params, args, nargs, kwnames, &data)) {
        return nullptr;
    }
    if (!PyBytes_Check(data)) {
        raise_not_convertible("data", data, "PyBytes");
        return nullptr;
    }
    const char* bytes = PyBytes_AS_STRING(data);
    const auto size = static_cast<std::size_t>(PyBytes_GET_SIZE(data));
    if (HAS_CUSTOM.load(std::memory_order_relaxed)) {
        PyObject* hit = custom_hit(bytes, size, which);
        if (hit != nullptr || PyErr_Occurred()) return hit;
    }
    const MimeType& record = detect(reinterpret_cast<const std::uint8_t*>(bytes), size);
    return cached(which == Answer::mime ? record.mime : record.extension);
}

PyObject* detect_mime(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&] { return answer(DETECT_MIME_PARAMS, Answer::mime, args, nargs, kwnames); });
}

PyObject* detect_type(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&] { return answer(DETECT_TYPE_PARAMS, Answer::extension, args, nargs, kwnames); });
}

PyObject* register_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded([&] { return register_type(self, args, nargs, kwnames); });
}

PyObject* registered_entry(PyObject* self, PyObject* unused) {
    return guarded([&] { return registered(self, unused); });
}

PyObject* clear_entry(PyObject* self, PyObject* unused) {
    return guarded([&] { return clear_registrations(self, unused); });
}

template <class F>
PyCFunction as_cfunction(F* f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

// The functions, in the order they are added to the module and to __all__.
PyMethodDef FUNCTIONS[] = {
    {"detect_mime", as_cfunction(detect_mime), METH_FASTCALL | METH_KEYWORDS,
     "detect_mime(data)\n--\n\nDetects the mime type of a byte array."},
    {"detect_type", as_cfunction(detect_type), METH_FASTCALL | METH_KEYWORDS,
     "detect_type(data)\n--\n\nDetects the extension of a byte array."},
    {"register", as_cfunction(register_entry), METH_FASTCALL | METH_KEYWORDS,
     "register(mime, extension, *, magic=None, offset=0, matcher=None)\n--\n\n"
     "Registers a custom type, matched by magic bytes or by a Python callable.\n"
     "\n"
     "Registered types are checked before the built-in table, in registration\n"
     "order, so they can add new formats or override a built-in verdict."},
    {"registered", as_cfunction(registered_entry), METH_NOARGS,
     "registered()\n--\n\nReturns the registered (mime, extension) pairs in registration order."},
    {"clear_registrations", as_cfunction(clear_entry), METH_NOARGS,
     "clear_registrations()\n--\n\nDrops every registered type."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef DEFINITION = {
    PyModuleDef_HEAD_INIT,
    "taxon",
    "Tells what kind of file a bytes buffer holds, from its content alone.",
    0,        // no per-module state
    nullptr,  // functions are added by add_functions, after __all__
    nullptr, nullptr, nullptr, nullptr,
};

// Adds the functions and __all__, which names them in table order. The
// functions are made by PyModule_AddFunctions, which lets a free-threaded
// interpreter defer (3.13: make immortal) their reference counts: every
// caller's thread loads them, and per-call count writes from two threads
// to one object cost more than a detection.
bool add_functions(PyObject* module) {
    PyObject* all = PyList_New(0);
    if (all == nullptr) return false;
    bool ok = PyModule_AddObjectRef(module, "__all__", all) == 0 && PyModule_AddFunctions(module, FUNCTIONS) == 0;
    for (const PyMethodDef* def = FUNCTIONS; ok && def->ml_name != nullptr; ++def) {
        PyObject* name = PyUnicode_FromString(def->ml_name);
        ok = name != nullptr && PyList_Append(all, name) == 0;
        Py_XDECREF(name);
    }
    Py_DECREF(all);
    return ok;
}

PyObject* create_module() {
    PyObject* module = PyModule_Create2(&DEFINITION, PYTHON_API_VERSION);
    if (module == nullptr) return nullptr;
#ifdef Py_GIL_DISABLED
    // Every shared structure is guarded by its own lock or atomics, and
    // Python objects are only touched through thread-safe API.
    if (PyUnstable_Module_SetGIL(module, Py_MOD_GIL_NOT_USED) < 0) {
        Py_DECREF(module);
        return nullptr;
    }
#endif
    bool ok = add_functions(module);
    if (ok && INTERNAL_ERROR == nullptr) {
        INTERNAL_ERROR = PyErr_NewExceptionWithDoc(
            "taxon.InternalError",
            "A violated internal assumption inside taxon. Derived from BaseException,\n"
            "like SystemExit, so that it is not swallowed by `except Exception`.",
            PyExc_BaseException, nullptr);
        ok = INTERNAL_ERROR != nullptr;
    }
    if (ok) ok = PyModule_AddObjectRef(module, "InternalError", INTERNAL_ERROR) == 0;
    if (!ok) {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}

}  // namespace

}  // namespace taxon::py

PyMODINIT_FUNC PyInit_taxon() {
    using namespace taxon::py;
    // The module keeps process-wide Python objects (cached strings,
    // registrations) that belong to one interpreter: only the main one may
    // load it, so that those objects never outlive their interpreter.
    if (PyInterpreterState_Get() != PyInterpreterState_Main()) {
        PyErr_SetString(PyExc_ImportError, "taxon can only be imported in the main interpreter");
        return nullptr;
    }
    [[maybe_unused]] CreationLock hold;
    if (MODULE == nullptr) {
        MODULE = create_module();
        if (MODULE == nullptr) return nullptr;
    }
    Py_INCREF(MODULE);
    return MODULE;
}
