// A list of paths to name (--files-from), read as it comes, so that a list
// still being written (find ... | taxon --files-from -) is worked on at once
// and a list of any length takes the memory of one path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "cli/platform.hpp"

namespace taxon::cli {

class PathList {
public:
    // `name` "-" is standard input. `separator` ends each path: '\n', or
    // '\0' for lists that may name anything (find -print0).
    PathList(std::string name, char separator);
    platform::Error open();
    // The next path, as it is in the list (without its separator); false
    // at the end of the list, or when reading it failed (error()).
    bool next(std::string& path);
    platform::Error error() const { return error_; }
    // Whether the next path is at hand, without waiting for the list.
    bool ready() const;
    // How many paths were taken so far: the number of the last one.
    std::size_t count() const { return count_; }
    const std::string& name() const { return name_; }

private:
    std::string name_;
    char separator_;
    platform::File file_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t start_ = 0, end_ = 0, count_ = 0;
    bool at_end_ = false;
    platform::Error error_ = 0;
};

}  // namespace taxon::cli
