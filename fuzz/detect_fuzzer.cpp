// Fuzz target over the whole walk.
//
// For every input it checks that
//  - the first-byte dispatch never changes the answer: `detect` and the
//    reference walk `detect_without_dispatch` return the same record;
//  - the record is one of the tree's, with sane texts (a non-empty printable
//    MIME type with a slash, an extension that is empty or a dotted word);
//  - nothing past the first READ_LIMIT bytes is read: on longer inputs the
//    tail of a copy is poisoned, so AddressSanitizer reports any read of it,
//    and the answer must equal the answer for the first READ_LIMIT bytes.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "tree/first_level.hpp"
#include "tree/mime_type.hpp"
#include "tree_records.hpp"

using taxon_fuzz::check;

namespace {

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

void check_texts(const taxon::MimeType& record) {
    const auto& records = taxon_fuzz::all_records();
    check(std::find(records.begin(), records.end(), &record) != records.end(), "record is not in the tree");
    check(!record.mime.empty() && printable(record.mime), "MIME text empty or not printable");
    check(record.mime.find('/') != std::string_view::npos, "MIME text without a slash");
    const std::string_view ext = record.extension;
    check(ext.empty() || (ext[0] == '.' && ext.size() > 1 && printable(ext) &&
                          ext.find(' ') == std::string_view::npos),
          "extension neither empty nor a dotted word");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const taxon::MimeType& answer = taxon::detect(data, size);
    const taxon::MimeType& reference = taxon::detect_without_dispatch(data, size);
    check(&answer == &reference, "detect and detect_without_dispatch disagree");
    check_texts(answer);

    if (size > taxon::READ_LIMIT) {
        const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
        std::copy(data, data + size, copy.get());
        std::uint8_t* tail = copy.get() + taxon::READ_LIMIT;
        const std::size_t tail_size = size - taxon::READ_LIMIT;
        ASAN_POISON_MEMORY_REGION(tail, tail_size);
        const taxon::MimeType& cut = taxon::detect(copy.get(), size);
        const taxon::MimeType& cut_reference = taxon::detect_without_dispatch(copy.get(), size);
        ASAN_UNPOISON_MEMORY_REGION(tail, tail_size);
        check(&cut == &answer && &cut_reference == &answer, "answer depends on bytes past the read limit");
        check(&taxon::detect(data, taxon::READ_LIMIT) == &answer, "answer differs from the cut buffer's");
    }
    return 0;
}
