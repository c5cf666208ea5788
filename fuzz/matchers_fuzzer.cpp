// Fuzz target over the matchers one by one, outside the walk.
//
// The walk only calls a matcher after its parent accepted the view, so most
// structural code (the ZIP entry walker behind the ZIP children, the OLE
// root-entry arithmetic and PowerPoint stream search, the EBML DocType
// search, tar's checksum, crx's header lengths, the JSON scan, UTF-8
// validation, UTF-16 decoding) would rarely see hostile bytes that way.
// Here every record's matcher gets the input directly, on several views:
// the whole input (cut to READ_LIMIT, as the walk does), the input one byte
// short, and a prefix whose length comes from the input's last two bytes.
// Each view is a copy in an allocation of exactly its size, so
// AddressSanitizer reports any read past its end.
//
// Checks, besides the sanitizers:
//  - every matcher gives the same answer with and without a walk memo (the
//    memo shared by all matchers of one view, as within a walk);
//  - the ZIP entry walker yields names inside the view and always moves on;
//  - the OLE root entry, when found, lies inside the view;
//  - UTF-16 decoding yields well-formed UTF-8 within its buffer, equal to a
//    unit-by-unit reference decoding; the decoded-text content tests then
//    run on it (as they also do on the raw input whenever it is well-formed
//    UTF-8);
//  - utf8's block-wise validation agrees with a byte-by-byte reference;
//  - every vector path this build and processor have gives the same answer
//    as its portable twin: UTF-8 validation, UTF-16 decoding, the needle
//    search, the XML and JSON one-pass key searches, the JSON scan, the
//    JavaScript keyword search and the ZIP header search.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tree/cpu.hpp"
#include "tree/matchers/encodings.hpp"
#include "tree/matchers/json.hpp"
#include "tree/matchers/lines.hpp"
#include "tree/matchers/markup.hpp"
#include "tree/matchers/ole.hpp"
#include "tree/matchers/text.hpp"
#include "tree/matchers/vector_twins.hpp"
#include "tree/matchers/zip.hpp"
#include "tree/memo.hpp"
#include "tree/mime_type.hpp"
#include "tree_records.hpp"

using taxon_fuzz::check;

namespace {

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above
// U+10FFFF. With `cut_allowed`, the text may end inside a character whose
// bytes so far are a valid start (the read limit cut the text there).
bool well_formed_utf8(std::string_view s, bool cut_allowed = false) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n;
        if (b < 0x80) { ++i; continue; }
        if (b >= 0xC2 && b <= 0xDF) n = 1;
        else if (b >= 0xE0 && b <= 0xEF) n = 2;
        else if (b >= 0xF0 && b <= 0xF4) n = 3;
        else return false;
        // The range of the second byte rules out overlong forms, surrogates
        // and code points above U+10FFFF; later bytes are plain continuations.
        unsigned char low = 0x80, high = 0xBF;
        if (b == 0xE0) low = 0xA0;
        else if (b == 0xED) high = 0x9F;
        else if (b == 0xF0) low = 0x90;
        else if (b == 0xF4) high = 0x8F;
        const std::size_t have = s.size() - i - 1;
        for (std::size_t k = 1; k <= n && k <= have; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80) return false;
        }
        if (have < n) return cut_allowed;
        i += n + 1;
    }
    return true;
}

// The UTF8 record's rule, one byte at a time: not empty, none of the refused
// C0 controls (all but tab, line feed, form feed, carriage return and
// escape), and well-formed UTF-8 throughout, where a view of exactly
// READ_LIMIT bytes may end inside a character. The matcher's block-wise
// validation must agree with it on every view.
bool reference_utf8(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != 0x09 && b != 0x0A && b != 0x0C && b != 0x0D && b != 0x1B) return false;
    }
    return well_formed_utf8(s, s.size() == taxon::READ_LIMIT);
}

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 decoding one unit at a time, with the decoder's rules: the mark of
// the requested order is dropped, at least one unit and an even length must
// remain, unpaired surrogates refuse the text, and a high surrogate ending a
// view of exactly READ_LIMIT bytes (a pair cut by the walk) is dropped.
std::optional<std::string> reference_utf16(const std::uint8_t* d, std::size_t size, bool big_endian) {
    if (size < 2) return std::nullopt;
    const bool cut = size == taxon::READ_LIMIT;
    std::size_t i = 0;
    if (big_endian ? (d[0] == 0xFE && d[1] == 0xFF) : (d[0] == 0xFF && d[1] == 0xFE)) i = 2;
    if (size - i < 2 || (size - i) % 2 != 0) return std::nullopt;
    auto unit = [&](std::size_t at) {
        return static_cast<std::uint32_t>(big_endian ? (d[at] << 8 | d[at + 1]) : (d[at + 1] << 8 | d[at]));
    };
    std::string out;
    for (; i < size; i += 2) {
        const std::uint32_t u = unit(i);
        if (u >= 0xDC00 && u <= 0xDFFF) return std::nullopt;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 2 >= size) {
                if (cut) break;
                return std::nullopt;
            }
            const std::uint32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            i += 2;
        } else {
            append_utf8(out, u);
        }
    }
    return out;
}

void content_tests(std::string_view text) {
    // Only the answers' absence of faults matters here.
    volatile bool sink = false;
    sink = sink ^ taxon::detect_json_content(text);
    sink = sink ^ taxon::detect_csv_content(text);
    sink = sink ^ taxon::detect_tsv_content(text);
    sink = sink ^ taxon::detect_srt_content(text);
    sink = sink ^ taxon::detect_html_content(text);
}

void zip_walk(taxon::View v) {
    taxon::ZipIterator entries{v};
    std::size_t last = 0;
    for (std::size_t seen = 0;; ++seen) {
        check(seen <= v.size, "ZIP walker yields more entries than the view has bytes");
        const std::optional<std::string_view> name = entries.next();
        if (!name) break;
        const auto* at = reinterpret_cast<const std::uint8_t*>(name->data());
        check(at >= v.data && name->size() <= v.size && at - v.data <= static_cast<std::ptrdiff_t>(v.size - name->size()),
              "ZIP entry name outside the view");
        check(seen == 0 || entries.position > last, "ZIP walker did not move on");
        last = entries.position;
    }
}

void utf16_decoding(taxon::View v) {
    for (bool big_endian : {true, false}) {
        auto out = std::make_unique<char[]>(taxon::UTF16_TEXT_CAPACITY);
        const std::optional<std::string_view> text =
            taxon::utf16_to_text(v, big_endian, std::span<char, taxon::UTF16_TEXT_CAPACITY>(out.get(), taxon::UTF16_TEXT_CAPACITY));
        const std::optional<std::string> expected = reference_utf16(v.data, v.size, big_endian);
        check(text.has_value() == expected.has_value() && (!text || *text == *expected),
              "UTF-16 decoding differs from the unit-by-unit reference");
        if (!text) continue;
        check(text->empty() || (text->data() >= out.get() &&
                                text->data() + text->size() <= out.get() + taxon::UTF16_TEXT_CAPACITY),
              "decoded UTF-16 text outside its buffer");
        check(well_formed_utf8(*text), "decoded UTF-16 text is not well-formed UTF-8");
        content_tests(*text);
    }
}

// A needle for the search: `len` bytes of the view from `at`, when there.
std::string_view needle_of(taxon::View v, std::size_t at, std::size_t len) {
    if (at > v.size || len > v.size - at) return {};
    return {reinterpret_cast<const char*>(v.data + at), len};
}

void twins_agree(taxon::View v) {
    namespace twins = taxon::twins;
    using taxon::cpu::Path;
    const Path portable = Path::portable;
    auto out_a = std::make_unique<char[]>(taxon::UTF16_TEXT_CAPACITY);
    auto out_b = std::make_unique<char[]>(taxon::UTF16_TEXT_CAPACITY);
    const std::span<char, taxon::UTF16_TEXT_CAPACITY> a(out_a.get(), taxon::UTF16_TEXT_CAPACITY);
    const std::span<char, taxon::UTF16_TEXT_CAPACITY> b(out_b.get(), taxon::UTF16_TEXT_CAPACITY);
    // Needles cut from the input (so they are often found, at all places)
    // and fixed ones the matchers look for.
    const std::string_view needles[] = {
        needle_of(v, 0, 2), needle_of(v, v.size / 2, 3), needle_of(v, v.size > 9 ? v.size - 9 : 0, 9),
        needle_of(v, v.size / 3, 20), "<svg", " --> ", "\"type\"", "PK\x03\x04"};
    for (const Path path : {Path::vector128, Path::avx2}) {
        if (path > taxon::cpu::best_path()) break;
        check(twins::utf8(v, path) == twins::utf8(v, portable), "utf8: vector path differs from its portable twin");
        for (const bool big_endian : {true, false}) {
            const auto x = twins::utf16_to_text(v, big_endian, a, path);
            const auto y = twins::utf16_to_text(v, big_endian, b, portable);
            check(x.has_value() == y.has_value() && (!x || *x == *y),
                  "UTF-16 decoding: vector path differs from its portable twin");
        }
        for (const std::string_view needle : needles)
            check(taxon::text::contains_on(v, needle, path) == taxon::text::contains_on(v, needle, portable),
                  "needle search: vector path differs from its portable twin");
        check(twins::xml_needles(v, path) == twins::xml_needles(v, portable),
              "XML needles: vector path differs from its portable twin");
        check(twins::json_lead_keys(v, path) == twins::json_lead_keys(v, portable),
              "JSON keys: vector path differs from its portable twin");
        check(twins::json(v, path) == twins::json(v, portable), "JSON scan: vector path differs from its portable twin");
        check(twins::js_keyword(v, path) == twins::js_keyword(v, portable),
              "JavaScript keywords: vector path differs from its portable twin");
        // Every header the search finds, from every place it resumes at.
        for (std::size_t from = 0; from <= v.size;) {
            const auto x = twins::zip_local_header(v, from, path);
            check(x == twins::zip_local_header(v, from, portable), "ZIP header search: vector path differs from its portable twin");
            if (!x) break;
            check(*x >= from && *x + 4 <= v.size, "ZIP header found outside the searched bytes");
            from = *x + 1;
        }
    }
}

// Every check on one view of `size` bytes at `data`.
void one_view(const std::uint8_t* data, std::size_t size) {
    const taxon::View bare{data, size, nullptr};
    auto memo = std::make_unique<taxon::Memo>();
    const taxon::View walked{data, size, memo.get()};
    for (const taxon::MimeType* record : taxon_fuzz::all_records()) {
        const bool alone = record->matcher(bare);
        check(record->matcher(walked) == alone, "a matcher's answer depends on the walk memo");
    }
    zip_walk(bare);
    if (const std::optional<std::size_t> root = taxon::ole_root_entry(bare)) {
        check(taxon::ole_header(bare), "OLE root entry without an OLE header");
        check(*root <= size, "OLE root entry past the view");
    }
    utf16_decoding(bare);
    twins_agree(bare);
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    check(taxon::utf8(bare) == reference_utf8(raw), "utf8 differs from the byte-by-byte reference");
    if (well_formed_utf8(raw)) content_tests(raw);
}

// A copy of the first `size` bytes in an allocation of exactly that size.
void copied_view(const std::uint8_t* data, std::size_t size) {
    const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
    if (size != 0) std::memcpy(copy.get(), data, size);
    one_view(copy.get(), size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t whole = size < taxon::READ_LIMIT ? size : taxon::READ_LIMIT;
    if (whole == size) one_view(data, size);
    else copied_view(data, whole);
    if (whole > 0) copied_view(data, whole - 1);
    if (whole >= 2) {
        const std::size_t chosen = (data[size - 2] | (data[size - 1] << 8)) % (whole + 1);
        copied_view(data, chosen);
    }
    return 0;
}
