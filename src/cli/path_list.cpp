#include "cli/path_list.hpp"

#include <cstring>
#include <utility>

namespace taxon::cli {

namespace {
constexpr std::size_t BUFFER = 64 * 1024;
}

PathList::PathList(std::string name, char separator) : name_(std::move(name)), separator_(separator) {}

platform::Error PathList::open() {
    buffer_ = std::make_unique<std::uint8_t[]>(BUFFER);
    if (name_ == "-") {
        platform::standard_input(file_);
        return 0;
    }
    return platform::open_stream(name_, file_);
}

bool PathList::ready() const {
    return at_end_ || std::memchr(buffer_.get() + start_, separator_, end_ - start_) != nullptr;
}

bool PathList::next(std::string& path) {
    path.clear();
    for (;;) {
        const auto* begin = buffer_.get() + start_;
        const auto* sep = static_cast<const std::uint8_t*>(std::memchr(begin, separator_, end_ - start_));
        if (sep != nullptr) {
            path.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(sep - begin));
            start_ = static_cast<std::size_t>(sep - buffer_.get()) + 1;
            ++count_;
            return true;
        }
        // A path longer than the buffer is gathered across reads.
        path.append(reinterpret_cast<const char*>(begin), end_ - start_);
        start_ = end_ = 0;
        if (at_end_) break;
        std::size_t got = 0;
        error_ = platform::read_some(file_, buffer_.get(), BUFFER, got);
        if (error_ != 0) return false;
        if (got == 0) at_end_ = true;
        end_ = got;
    }
    // The last path may lack its separator.
    if (path.empty()) return false;
    ++count_;
    return true;
}

}  // namespace taxon::cli
