// The cache is keyed by the address of the record's constant text, so it
// never compares or hashes text. It only grows: 215 records give at most 430
// texts, so a fixed open-addressing table never fills. Lookups read it
// without a lock (a key is published after its value and never changes);
// inserts take the writer mutex. A str is built before the mutex is taken,
// and released after it is dropped, so no Python code runs under it.
//
// The strs are interned. On a free-threaded build that makes them immortal,
// so threads handing out the same answer do not all write its reference
// count (which would bounce its cache line between cores).
#include "strings.hpp"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace taxon::py {

namespace {

constexpr std::size_t CAPACITY = 1024;  // a power of two, well above 430

struct Slot {
    std::atomic<const char*> key{nullptr};
    std::atomic<PyObject*> value{nullptr};
};

Slot STRINGS[CAPACITY];
std::mutex STRINGS_WRITER;

std::size_t home(const char* key) {
    auto h = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
    h *= 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(h >> 54) & (CAPACITY - 1);
}

// The slot holding `key`, or the empty slot where it would go, or null when
// the table is full (which cannot happen with the tree's texts).
Slot* probe(const char* key) {
    std::size_t i = home(key);
    for (std::size_t n = 0; n < CAPACITY; ++n, i = (i + 1) & (CAPACITY - 1)) {
        const char* k = STRINGS[i].key.load(std::memory_order_acquire);
        if (k == key || k == nullptr) return &STRINGS[i];
    }
    return nullptr;
}

}  // namespace

PyObject* cached(std::string_view text) {
    const char* key = text.data();
    if (Slot* slot = probe(key); slot != nullptr && slot->key.load(std::memory_order_acquire) == key) {
        PyObject* str = slot->value.load(std::memory_order_relaxed);
        Py_INCREF(str);
        return str;
    }

    PyObject* fresh = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    if (fresh == nullptr) return nullptr;
    PyUnicode_InternInPlace(&fresh);  // cannot fail: on error `fresh` stays as it was
    PyObject* stored = nullptr;
    {
        std::lock_guard<std::mutex> hold(STRINGS_WRITER);
        Slot* slot = probe(key);
        if (slot == nullptr) {
            // Cannot happen with a tree of fixed size; answer uncached rather than fail.
        } else if (slot->key.load(std::memory_order_relaxed) == key) {
            // Another caller stored this text first: keep its object, so that
            // one text is always served by one str.
            stored = slot->value.load(std::memory_order_relaxed);
            Py_INCREF(stored);
        } else {
            Py_INCREF(fresh);  // the table's own reference, never released
            slot->value.store(fresh, std::memory_order_relaxed);
            slot->key.store(key, std::memory_order_release);
        }
    }
    if (stored != nullptr) {
        Py_DECREF(fresh);
        return stored;
    }
    return fresh;
}

}  // namespace taxon::py
