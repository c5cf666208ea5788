// Byte-level helpers shared by the text matchers: white space, prefix and
// needle tests, and cutting a view into line-feed separated pieces.
//
// Everything here works on views of the caller's bytes and allocates nothing.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "../cpu.hpp"
#include "../mime_type.hpp"


namespace taxon::text {

// White space as the markup and JSON tests see it: tab, line feed, form feed,
// carriage return and space. The vertical tab (0B) is deliberately not in it.
constexpr bool is_space(std::uint8_t b) noexcept {
    return b == 0x20 || b == 0x09 || b == 0x0A || b == 0x0C || b == 0x0D;
}

// The view without its leading white space.
inline View skip_space(const View& v) noexcept {
    std::size_t i = 0;
    while (i < v.size && is_space(v[i])) ++i;
    return v.from(i);
}

// The search of `contains` below, for needles of two bytes or more: a
// start is a candidate when the needle's first, second and last bytes all
// fit there; candidates are then compared whole. Eight starts at a time,
// the last start being size - k.
inline bool contains_portable(const View& v, std::string_view needle) noexcept {
    namespace swar = cpu::swar;
    const std::uint8_t* const d = v.data;
    const std::size_t k = needle.size();
    const std::size_t last = v.size - k;
    const auto first_byte = static_cast<std::uint8_t>(needle[0]);
    const auto second = static_cast<std::uint8_t>(needle[1]);
    const auto final_byte = static_cast<std::uint8_t>(needle[k - 1]);
    std::size_t i = 0;
    // Loads end at i + k - 1 + 7 <= last + k - 1 < size.
    for (; i + 7 <= last; i += 8) {
        std::uint64_t m = swar::equal_bytes(swar::load(d + i), first_byte) &
                          swar::equal_bytes(swar::load(d + i + 1), second) &
                          swar::equal_bytes(swar::load(d + i + k - 1), final_byte);
        for (; m != 0; m &= m - 1)
            if (std::memcmp(d + i + swar::first_byte(m), needle.data(), k) == 0) return true;
    }
    for (; i <= last; ++i)
        if (d[i] == first_byte && d[i + 1] == second && std::memcmp(d + i, needle.data(), k) == 0) return true;
    return false;
}

#if TAXON_HAS(X86_SSE2)
// Sixteen starts at a time, by the needle's second and last bytes.
inline bool contains_sse2(const View& v, std::string_view needle) noexcept {
    const std::uint8_t* const d = v.data;
    const std::size_t k = needle.size();
    const std::size_t last = v.size - k;
    const __m128i second = _mm_set1_epi8(static_cast<char>(needle[1]));
    const __m128i final_byte = _mm_set1_epi8(static_cast<char>(needle[k - 1]));
    std::size_t i = 0;
    for (; i + 15 <= last; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 1));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + k - 1));
        auto m = static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, second), _mm_cmpeq_epi8(b, final_byte))));
        for (; m != 0; m &= m - 1)
            if (std::memcmp(d + i + cpu::first_set(m), needle.data(), k) == 0) return true;
    }
    for (; i <= last; ++i)
        if (d[i + 1] == static_cast<std::uint8_t>(needle[1]) && std::memcmp(d + i, needle.data(), k) == 0) return true;
    return false;
}
#endif

#if TAXON_HAS(X86_AVX2)
// Thirty-two starts at a time, by the needle's second and last bytes.
TAXON_AVX2_FN inline bool contains_avx2(const View& v, std::string_view needle) noexcept {
    const std::uint8_t* const d = v.data;
    const std::size_t k = needle.size();
    const std::size_t last = v.size - k;
    const __m256i second = _mm256_set1_epi8(static_cast<char>(needle[1]));
    const __m256i final_byte = _mm256_set1_epi8(static_cast<char>(needle[k - 1]));
    std::size_t i = 0;
    for (; i + 31 <= last; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + 1));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + k - 1));
        auto m = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, second), _mm256_cmpeq_epi8(b, final_byte))));
        for (; m != 0; m &= m - 1)
            if (std::memcmp(d + i + cpu::first_set(m), needle.data(), k) == 0) return true;
    }
    for (; i <= last; ++i)
        if (d[i + 1] == static_cast<std::uint8_t>(needle[1]) && std::memcmp(d + i, needle.data(), k) == 0) return true;
    return false;
}
#endif

// True when `needle` occurs anywhere in the view, byte for byte, searched
// the way `path` says (or the best one below it this build has).
inline bool contains_on(const View& v, std::string_view needle, cpu::Path path) noexcept {
    const std::size_t k = needle.size();
    if (k > v.size) return false;
    if (k == 0) return true;
    if (k == 1) return std::memchr(v.data, static_cast<unsigned char>(needle[0]), v.size) != nullptr;
#if TAXON_HAS(X86_AVX2)
    if (path >= cpu::Path::avx2 && v.size >= 64) return contains_avx2(v, needle);
#endif
#if TAXON_HAS(X86_SSE2)
    if (path >= cpu::Path::vector128) return contains_sse2(v, needle);
#endif
    (void)path;
    return contains_portable(v, needle);
}

// True when `needle` occurs anywhere in the view, byte for byte.
inline bool contains(const View& v, std::string_view needle) noexcept {
    return contains_on(v, needle, cpu::best_path());
}

// True when the view begins with `lower` once the letters A to Z of the view
// are taken as a to z. `lower` holds no upper-case letters; every other byte
// must be equal as it is.
inline bool starts_with_folded(const View& v, std::string_view lower) noexcept {
    if (lower.size() > v.size) return false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        std::uint8_t b = v[i];
        if (b >= 'A' && b <= 'Z') b = static_cast<std::uint8_t>(b + ('a' - 'A'));
        if (b != static_cast<std::uint8_t>(lower[i])) return false;
    }
    return true;
}

// Same, with `upper` holding no lower-case letters and a to z of the view
// taken as A to Z.
inline bool starts_with_upper(const View& v, std::string_view upper) noexcept {
    if (upper.size() > v.size) return false;
    for (std::size_t i = 0; i < upper.size(); ++i) {
        std::uint8_t b = v[i];
        if (b >= 'a' && b <= 'z') b = static_cast<std::uint8_t>(b - ('a' - 'A'));
        if (b != static_cast<std::uint8_t>(upper[i])) return false;
    }
    return true;
}

// The view cut at every line feed. The line feeds belong to no piece and a
// carriage return before one stays in its piece. n line feeds give n + 1
// pieces, the last one empty when the view ends with a line feed; an empty
// view gives one empty piece. Pieces are views into the input.
class Pieces {
public:
    explicit Pieces(const View& v) noexcept : rest_(v) {}

    // Sets `piece` to the next piece; false once every piece has been given.
    bool next(View& piece) noexcept {
        if (done_) return false;
        const void* lf = rest_.size == 0 ? nullptr : std::memchr(rest_.data, '\n', rest_.size);
        if (lf == nullptr) {
            piece = rest_;
            done_ = true;
            return true;
        }
        const std::size_t n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - rest_.data);
        piece = rest_.first(n);
        rest_ = rest_.from(n + 1);
        return true;
    }

    // True once the last piece has been given.
    bool done() const noexcept { return done_; }

private:
    View rest_;
    bool done_ = false;
};

}  // namespace taxon::text
