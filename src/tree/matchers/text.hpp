// Byte-level helpers shared by the text matchers: white space, prefix and
// needle tests, and cutting a view into line-feed separated pieces.
//
// Everything here works on views of the caller's bytes and allocates nothing.
#pragma once

#include <cstdint>
#include <cstring>
#include <string.h>  // memmem
#include <string_view>

#include "../mime_type.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__x86_64__) && defined(__GNUC__)
#define TAXON_HAVE_AVX2_PATHS 1

// Whether this CPU runs the AVX2 paths; asked once.
inline bool has_avx2() noexcept {
    static const bool yes = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return yes;
}

// The search of `contains` below, 32 starts at a time.
__attribute__((target("avx2"))) inline bool contains_avx2(const View& v, std::string_view needle) noexcept {
    const std::uint8_t* const d = v.data;
    const std::size_t k = needle.size();
    const std::size_t last = v.size - k;
    const __m256i second = _mm256_set1_epi8(static_cast<char>(needle[1]));
    const __m256i final_byte = _mm256_set1_epi8(static_cast<char>(needle[k - 1]));
    std::size_t i = 0;
    for (; i + 31 <= last; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + 1));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i + k - 1));
        auto m = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, second), _mm256_cmpeq_epi8(b, final_byte))));
        while (m != 0) {
            if (std::memcmp(d + i + static_cast<unsigned>(__builtin_ctz(m)), needle.data(), k) == 0) return true;
            m &= m - 1;
        }
    }
    for (; i <= last; ++i)
        if (d[i + 1] == static_cast<std::uint8_t>(needle[1]) && std::memcmp(d + i, needle.data(), k) == 0) return true;
    return false;
}
#endif

// True when `needle` occurs anywhere in the view, byte for byte.
inline bool contains(const View& v, std::string_view needle) noexcept {
    const std::size_t k = needle.size();
    if (k > v.size) return false;
    if (k == 0) return true;
#ifdef TAXON_HAVE_AVX2_PATHS
    if (k >= 2 && v.size >= 64 && has_avx2()) return contains_avx2(v, needle);
#endif
#if defined(__SSE2__)
    if (k >= 2) {
        // Sixteen starts at a time: a start is a candidate when the needle's
        // second and last bytes both fit there; candidates are then compared
        // whole. Every load stays inside the view: the last start is
        // size - k and k >= 2.
        const std::uint8_t* const d = v.data;
        const std::size_t last = v.size - k;
        const __m128i second = _mm_set1_epi8(static_cast<char>(needle[1]));
        const __m128i final_byte = _mm_set1_epi8(static_cast<char>(needle[k - 1]));
        std::size_t i = 0;
        for (; i + 15 <= last; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + 1));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + k - 1));
            auto m = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, second), _mm_cmpeq_epi8(b, final_byte))));
            while (m != 0) {
                if (std::memcmp(d + i + static_cast<unsigned>(__builtin_ctz(m)), needle.data(), k) == 0) return true;
                m &= m - 1;
            }
        }
        for (; i <= last; ++i)
            if (d[i + 1] == static_cast<std::uint8_t>(needle[1]) && std::memcmp(d + i, needle.data(), k) == 0)
                return true;
        return false;
    }
#endif
    return ::memmem(v.data, v.size, needle.data(), k) != nullptr;
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
