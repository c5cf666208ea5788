// Helpers shared by the fuzz targets: the set of every record of the tree,
// and a check that a fault found by a target stops the run loudly.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tree/mime_type.hpp"

namespace taxon_fuzz {

// Aborts with a message: libFuzzer then saves the input as a crash.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what) {
    if (!ok) fail(what);
}

// Every record reachable from ROOT, ROOT included, each once, in walk order.
// Reaching a record twice would break the tree's shape: that fails too.
inline const std::vector<const taxon::MimeType*>& all_records() {
    static const std::vector<const taxon::MimeType*> records = [] {
        std::vector<const taxon::MimeType*> out{&taxon::ROOT};
        for (std::size_t i = 0; i < out.size(); ++i) {
            for (const taxon::MimeType* child : out[i]->children) {
                for (const taxon::MimeType* seen : out)
                    if (seen == child) fail("a record is reachable twice");
                out.push_back(child);
            }
        }
        return out;
    }();
    return records;
}

}  // namespace taxon_fuzz
