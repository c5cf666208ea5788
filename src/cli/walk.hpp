// The recursive walk: depth first, entries in byte order of their names,
// with an explicit stack so that no depth is too deep.
//
// One thread keeps that order, but it does not wait for the storage one
// directory at a time: directories ahead of it (the next ones it will
// enter, and theirs) are opened and listed by the I/O pool, and so are the
// kinds of entries a listing does not give, so that a tree of many
// directories on a slow file system is walked with many requests in flight.
#pragma once

#include <cstddef>
#include <string>

#include "cli/io_pool.hpp"
#include "cli/pipeline.hpp"

namespace taxon::cli {

struct WalkOptions {
    bool one_file_system = false;
    // How many of the innermost directories keep their descriptor open;
    // outer ones are opened again (from a child, through "..") when the walk
    // comes back to entries left in them.
    std::size_t open_dirs = 64;
    // How many directories may be listed ahead of the walk, each holding a
    // descriptor until the walk reaches it; 0, or no pool: none.
    std::size_t prefetch = 0;
    IoPool* pool = nullptr;
};

// Walks the directory `root` (a link to one is followed), submitting a job or
// a failure for every entry that is not a directory.
void walk(Pipeline& pipeline, const WalkOptions& options, const std::string& root);

}  // namespace taxon::cli
