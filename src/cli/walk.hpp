// The recursive walk: depth first, entries in byte order of their names,
// with an explicit stack so that no depth is too deep.
#pragma once

#include <cstddef>
#include <string>

#include "cli/pipeline.hpp"

namespace taxon::cli {

struct WalkOptions {
    bool one_file_system = false;
    // How many of the innermost directories keep their descriptor open;
    // outer ones are opened again (from a child, through "..") when the walk
    // comes back to entries left in them.
    std::size_t open_dirs = 64;
};

// Walks the directory `root` (a link to one is followed), submitting a job or
// a failure for every entry that is not a directory.
void walk(Pipeline& pipeline, const WalkOptions& options, const std::string& root);

}  // namespace taxon::cli
