// The registration table is a shared, immutable list: every change builds a
// new list and publishes it under the writer lock, and a reader keeps the
// list it took for as long as it needs it. Python objects are created before
// a lock is taken and released after it is dropped: releasing the last
// reference to an old registration may run a finaliser, and that finaliser
// may call back into this module.
//
// The lock is split into shards, one cache line each, and a thread reads
// under its own shard's lock while a writer takes them all: threads
// detecting at once then write no common memory. While the list holds no
// callable, a detection matches under that lock and takes no reference to
// the list (whose shared count would otherwise be written by every call).
#include "custom.hpp"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <utility>
#include <vector>

#include "binding.hpp"

#ifndef Py_BEGIN_CRITICAL_SECTION
// Interpreters before 3.13 have no per-object locks; the GIL serves.
#define Py_BEGIN_CRITICAL_SECTION(op) {
#define Py_END_CRITICAL_SECTION() }
#endif

namespace taxon::py {

std::atomic<bool> HAS_CUSTOM{false};

namespace {

// A registration's test: bytes expected at an offset, or a Python callable.
struct Matcher {
    std::vector<std::uint8_t> magic;  // empty for the callable form
    std::uint64_t offset = 0;
    PyObject* callable = nullptr;     // owned; null for the magic form
};

struct CustomType {
    Matcher matcher;
    PyObject* mime;       // owned
    PyObject* extension;  // owned

    CustomType(Matcher m, PyObject* mime_str, PyObject* extension_str)
        : matcher(std::move(m)), mime(mime_str), extension(extension_str) {}
    CustomType(const CustomType&) = delete;
    CustomType& operator=(const CustomType&) = delete;
    ~CustomType() {
        Py_XDECREF(matcher.callable);
        Py_DECREF(mime);
        Py_DECREF(extension);
    }
};

using List = std::vector<std::shared_ptr<const CustomType>>;
using ListRef = std::shared_ptr<const List>;

constexpr std::size_t SHARDS = 16;

struct alignas(64) Shard {
    std::shared_mutex lock;
};

struct Table {
    Shard shards[SHARDS];
    ListRef current = std::make_shared<const List>();  // written under every shard's lock
    bool callables = false;                            // whether `current` holds one
};

// Created on first use and never destroyed: its Python references must not
// be released after the interpreter is gone.
Table& custom_table() {
    static Table* table = new Table();
    return *table;
}

// The lock this thread reads under: threads take shards in turn.
std::shared_mutex& reader_lock(Table& table) {
    static std::atomic<std::size_t> next{0};
    thread_local const std::size_t shard = next.fetch_add(1, std::memory_order_relaxed) % SHARDS;
    return table.shards[shard].lock;
}

// Holds every shard's lock: excludes all readers.
class WriterLock {
public:
    explicit WriterLock(Table& table) : table_(table) {
        for (Shard& s : table_.shards) s.lock.lock();
    }
    ~WriterLock() {
        for (Shard& s : table_.shards) s.lock.unlock();
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

private:
    Table& table_;
};

ListRef snapshot() {
    Table& table = custom_table();
    std::shared_lock<std::shared_mutex> hold(reader_lock(table));
    return table.current;
}

bool magic_accepts(const Matcher& m, const char* data, std::size_t size) {
    const std::uint64_t length = m.magic.size();
    if (m.offset > UINT64_MAX - length) return false;  // offset plus length overflows
    const std::uint64_t end = m.offset + length;
    if (end > size) return false;
    return std::memcmp(data + m.offset, m.magic.data(), m.magic.size()) == 0;
}

// Returns 1 on a hit, 0 on a miss, -1 with an exception set.
int callable_accepts(PyObject* callable, const char* data, std::size_t size) {
    PyObject* copy = PyBytes_FromStringAndSize(data, static_cast<Py_ssize_t>(size));
    if (copy == nullptr) return -1;
    PyObject* result = PyObject_CallOneArg(callable, copy);
    Py_DECREF(copy);
    if (result == nullptr) return -1;
    const int truth = PyObject_IsTrue(result);
    Py_DECREF(result);
    return truth;
}

// --- argument conversion for register() ---

bool convert_text(const char* parameter, PyObject* obj, const char** text, Py_ssize_t* size) {
    if (!PyUnicode_Check(obj)) {
        raise_not_convertible(parameter, obj, "PyString");
        return false;
    }
    *text = PyUnicode_AsUTF8AndSize(obj, size);  // a lone surrogate raises UnicodeEncodeError
    return *text != nullptr;
}

// Appends one item of a magic sequence; false with an exception set.
bool convert_magic_item(PyObject* item, std::vector<std::uint8_t>& magic) {
    const long value = PyLong_AsLong(item);
    if (value == -1 && PyErr_Occurred()) {
        rename_conversion_error("magic");
        return false;
    }
    if (value < 0 || value > 255) {
        PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
        return false;
    }
    magic.push_back(static_cast<std::uint8_t>(value));
    return true;
}

bool convert_magic(PyObject* obj, std::vector<std::uint8_t>& magic) {
    if (PyUnicode_Check(obj)) {
        PyErr_SetString(PyExc_TypeError, "argument 'magic': Can't extract `str` to `Vec`");
        return false;
    }
    // Exact bytes only: a subclass may override iteration, which is how
    // any other sequence is read.
    if (PyBytes_CheckExact(obj)) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(PyBytes_AS_STRING(obj));
        magic.assign(p, p + PyBytes_GET_SIZE(obj));
        return true;
    }
    if (!PySequence_Check(obj)) {
        raise_not_convertible("magic", obj, "Sequence");
        return false;
    }
    // Another thread may resize a list or bytearray while it is read: copy
    // its contents under the object's own lock, then convert the copy.
    // Iterating either yields the same items, so the answer is unchanged.
    // (A bytearray's own methods take that lock from 3.14 on; on 3.13's
    // free-threaded build resizing one while it is read stays a race.)
    if (PyByteArray_CheckExact(obj)) {
        Py_BEGIN_CRITICAL_SECTION(obj);
        const auto* p = reinterpret_cast<const std::uint8_t*>(PyByteArray_AS_STRING(obj));
        magic.assign(p, p + PyByteArray_GET_SIZE(obj));
        Py_END_CRITICAL_SECTION();
        return true;
    }
    if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) {
        PyObject* items = PySequence_Tuple(obj);  // a list is copied under its lock
        if (items == nullptr) return false;
        bool ok = true;
        for (Py_ssize_t i = 0; ok && i < PyTuple_GET_SIZE(items); ++i) {
            ok = convert_magic_item(PyTuple_GET_ITEM(items, i), magic);
        }
        Py_DECREF(items);
        return ok;
    }
    PyObject* iter = PyObject_GetIter(obj);
    if (iter == nullptr) {
        rename_conversion_error("magic");
        return false;
    }
    bool ok = true;
    while (PyObject* item = PyIter_Next(iter)) {
        ok = convert_magic_item(item, magic);
        Py_DECREF(item);
        if (!ok) break;
    }
    Py_DECREF(iter);
    if (ok && PyErr_Occurred()) {  // the iterator itself raised
        rename_conversion_error("magic");
        ok = false;
    }
    return ok;
}

bool convert_offset(PyObject* obj, std::uint64_t* offset) {
    PyObject* index = PyNumber_Index(obj);
    if (index == nullptr) {
        rename_conversion_error("offset");
        return false;
    }
    const unsigned long long value = PyLong_AsUnsignedLongLong(index);
    Py_DECREF(index);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        rename_conversion_error("offset");
        return false;
    }
    *offset = value;
    return true;
}

constexpr const char* REGISTER_POSITIONAL[] = {"mime", "extension"};
constexpr const char* REGISTER_KEYWORD_ONLY[] = {"magic", "offset", "matcher"};
constexpr Parameters REGISTER_PARAMS{"register", REGISTER_POSITIONAL, REGISTER_KEYWORD_ONLY};

}  // namespace

PyObject* custom_hit(const char* data, std::size_t size, Answer answer) {
    if (!HAS_CUSTOM.load(std::memory_order_acquire)) return nullptr;
    ListRef list;
    {
        Table& table = custom_table();
        std::shared_lock<std::shared_mutex> hold(reader_lock(table));
        if (!table.callables) {
            // Magic only: no Python code runs, so match under the lock.
            for (const auto& entry : *table.current) {
                if (magic_accepts(entry->matcher, data, size)) {
                    PyObject* hit = answer == Answer::mime ? entry->mime : entry->extension;
                    Py_INCREF(hit);
                    return hit;
                }
            }
            return nullptr;
        }
        list = table.current;
    }
    PyObject* hit = nullptr;
    bool failed = false;
    for (const auto& entry : *list) {
        const Matcher& m = entry->matcher;
        int accepts;
        if (m.callable == nullptr) {
            accepts = magic_accepts(m, data, size) ? 1 : 0;
        } else {
            accepts = callable_accepts(m.callable, data, size);
        }
        if (accepts < 0) {
            failed = true;
            break;
        }
        if (accepts > 0) {
            hit = answer == Answer::mime ? entry->mime : entry->extension;
            Py_INCREF(hit);
            break;
        }
    }
    if (failed) {
        // Dropping the list may run finalisers; keep the callable's error
        // apart while they run.
#if PY_VERSION_HEX >= 0x030C0000
        PyObject* error = PyErr_GetRaisedException();
        list.reset();
        PyErr_SetRaisedException(error);
#else
        PyObject *type, *value, *traceback;
        PyErr_Fetch(&type, &value, &traceback);
        list.reset();
        PyErr_Restore(type, value, traceback);
#endif
    }
    return hit;
}

PyObject* register_type(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    PyObject* bound[REGISTER_PARAMS.count()];
    if (!bind(REGISTER_PARAMS, args, nargs, kwnames, bound)) return nullptr;
    PyObject* mime_arg = bound[0];
    PyObject* extension_arg = bound[1];
    PyObject* magic_arg = bound[2];
    PyObject* offset_arg = bound[3];
    PyObject* matcher_arg = bound[4];

    const char* mime_text;
    Py_ssize_t mime_size;
    if (!convert_text("mime", mime_arg, &mime_text, &mime_size)) return nullptr;
    const char* extension_text;
    Py_ssize_t extension_size;
    if (!convert_text("extension", extension_arg, &extension_text, &extension_size)) return nullptr;

    Matcher matcher;
    const bool has_magic = magic_arg != nullptr && magic_arg != Py_None;
    if (has_magic && !convert_magic(magic_arg, matcher.magic)) return nullptr;
    if (offset_arg != nullptr && !convert_offset(offset_arg, &matcher.offset)) return nullptr;
    const bool has_callable = matcher_arg != nullptr && matcher_arg != Py_None;

    if (has_magic && has_callable) {
        PyErr_SetString(PyExc_ValueError, "pass either magic or matcher, not both");
        return nullptr;
    }
    if (!has_magic && !has_callable) {
        PyErr_SetString(PyExc_ValueError, "pass either magic or matcher");
        return nullptr;
    }
    if (has_magic && matcher.magic.empty()) {
        PyErr_SetString(PyExc_ValueError, "magic must not be empty");
        return nullptr;
    }

    // Plain str objects equal to the arguments, not the arguments themselves.
    PyObject* mime = PyUnicode_FromStringAndSize(mime_text, mime_size);
    if (mime == nullptr) return nullptr;
    PyObject* extension = PyUnicode_FromStringAndSize(extension_text, extension_size);
    if (extension == nullptr) {
        Py_DECREF(mime);
        return nullptr;
    }
    if (has_callable) {
        Py_INCREF(matcher_arg);
        matcher.callable = matcher_arg;
        matcher.offset = 0;  // accepted with a callable, and without effect
    }
    std::shared_ptr<const CustomType> entry;
    try {
        entry = std::make_shared<const CustomType>(std::move(matcher), mime, extension);
    } catch (...) {
        Py_XDECREF(matcher.callable);
        Py_DECREF(mime);
        Py_DECREF(extension);
        throw;
    }

    ListRef old;
    {
        Table& table = custom_table();
        WriterLock hold(table);
        auto next = std::make_shared<List>();
        next->reserve(table.current->size() + 1);
        *next = *table.current;
        next->push_back(entry);
        old = std::exchange(table.current, std::move(next));
        table.callables = table.callables || entry->matcher.callable != nullptr;
        HAS_CUSTOM.store(true, std::memory_order_release);
    }
    // `old` and `entry` are released here, outside every lock.
    Py_RETURN_NONE;
}

PyObject* registered(PyObject*, PyObject*) {
    ListRef list = snapshot();
    PyObject* pairs = PyList_New(static_cast<Py_ssize_t>(list->size()));
    if (pairs == nullptr) return nullptr;
    Py_ssize_t i = 0;
    for (const auto& entry : *list) {
        PyObject* pair = PyTuple_Pack(2, entry->mime, entry->extension);
        if (pair == nullptr) {
            Py_DECREF(pairs);
            return nullptr;
        }
        PyList_SET_ITEM(pairs, i++, pair);
    }
    return pairs;
}

PyObject* clear_registrations(PyObject*, PyObject*) {
    ListRef empty = std::make_shared<const List>();
    ListRef old;
    {
        Table& table = custom_table();
        WriterLock hold(table);
        old = std::exchange(table.current, std::move(empty));
        table.callables = false;
        HAS_CUSTOM.store(false, std::memory_order_release);
    }
    old.reset();  // outside the lock: may run finalisers that call back in
    Py_RETURN_NONE;
}

}  // namespace taxon::py
