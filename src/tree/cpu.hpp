// Which instruction sets the matchers may use, decided here and nowhere else.
//
// At compile time, `#if TAXON_HAS(X86_AVX2)` (or X86_SSE2, ARM_NEON) tells
// whether the build has code for a set. TAXON_HAS and each set's macro are
// function-like, so a file that forgets this header, or misspells a set,
// fails to preprocess instead of silently losing its vector path. A build
// with TAXON_NO_SIMD defined has none of them: portable code only.
//
// At run time, `cpu::best_path()` tells which of the compiled paths this
// processor runs. Every matcher with a vector path picks it through `Path`,
// and keeps a portable twin that gives the same answer on every input.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(TAXON_NO_SIMD)
#define TAXON_CPU_X86_SSE2() 0
#define TAXON_CPU_X86_AVX2() 0
#define TAXON_CPU_ARM_NEON() 0
#elif defined(__x86_64__) || (defined(_M_X64) && !defined(_M_ARM64EC))
// SSE2 is part of x86-64; AVX2 is compiled with a per-function target and
// used only when the processor (and the OS, which must save its registers)
// has it.
#define TAXON_CPU_X86_SSE2() 1
#if defined(__GNUC__) || defined(__clang__) || defined(_MSC_VER)
#define TAXON_CPU_X86_AVX2() 1
#else
#define TAXON_CPU_X86_AVX2() 0
#endif
#define TAXON_CPU_ARM_NEON() 0
#elif defined(__aarch64__) || defined(_M_ARM64)
#define TAXON_CPU_X86_SSE2() 0
#define TAXON_CPU_X86_AVX2() 0
#define TAXON_CPU_ARM_NEON() 1
#else
#define TAXON_CPU_X86_SSE2() 0
#define TAXON_CPU_X86_AVX2() 0
#define TAXON_CPU_ARM_NEON() 0
#endif

#define TAXON_HAS(set) TAXON_CPU_##set()

#if TAXON_HAS(X86_SSE2) || TAXON_HAS(X86_AVX2)
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#include <immintrin.h>
#endif
#if TAXON_HAS(ARM_NEON)
#include <arm_neon.h>
#endif

// A function compiled for AVX2 whatever the build's baseline. MSVC compiles
// any intrinsic anywhere, so it needs no mark.
#if TAXON_HAS(X86_AVX2) && (defined(__GNUC__) || defined(__clang__))
#define TAXON_AVX2_FN __attribute__((target("avx2")))
#else
#define TAXON_AVX2_FN
#endif

namespace taxon::cpu {

// The kinds of code a matcher may run, from the most portable up. `vector128`
// is the 16-byte set every processor of the build's architecture has (SSE2
// on x86-64, NEON on arm64); `avx2` needs a run-time check.
enum class Path : std::uint8_t { portable = 0, vector128 = 1, avx2 = 2 };

namespace detail {

#if TAXON_HAS(X86_AVX2)
#if defined(_MSC_VER)
#if defined(__clang__)
__attribute__((target("xsave")))
#endif
inline bool avx2_usable() noexcept {
    int r[4];
    __cpuid(r, 0);
    if (r[0] < 7) return false;
    __cpuid(r, 1);
    constexpr int OSXSAVE = 1 << 27, AVX = 1 << 28;
    if ((r[2] & OSXSAVE) == 0 || (r[2] & AVX) == 0) return false;
    // The OS must save the XMM and YMM state on a context switch.
    if ((_xgetbv(0) & 6) != 6) return false;
    __cpuidex(r, 7, 0);
    return (r[1] & (1 << 5)) != 0;
}
#else
// libgcc and compiler-rt check the OS's XSAVE support before they report
// any AVX set.
inline bool avx2_usable() noexcept {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}
#endif
#endif

inline Path probe() noexcept {
#if TAXON_HAS(X86_AVX2)
    if (avx2_usable()) return Path::avx2;
#endif
#if TAXON_HAS(X86_SSE2) || TAXON_HAS(ARM_NEON)
    return Path::vector128;
#else
    return Path::portable;
#endif
}

}  // namespace detail

// The best path this processor runs; asked once.
inline Path best_path() noexcept {
    static const Path best = detail::probe();
    return best;
}

inline bool has_avx2() noexcept { return best_path() == Path::avx2; }

// Place of the lowest set bit of a non-zero mask.
inline unsigned first_set(std::uint32_t m) noexcept { return static_cast<unsigned>(std::countr_zero(m)); }
inline unsigned first_set(std::uint64_t m) noexcept { return static_cast<unsigned>(std::countr_zero(m)); }

// Word-at-a-time (SWAR) helpers for the portable paths: eight bytes per
// step in a 64-bit integer, loaded in memory order (byte i of the memory in
// bits 8i..8i+7, whatever the machine's byte order).
namespace swar {

inline constexpr std::uint64_t ONES = 0x0101010101010101ull;
inline constexpr std::uint64_t HIGHS = 0x8080808080808080ull;

inline std::uint64_t load(const std::uint8_t* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t r = 0;
        for (int i = 0; i < 8; ++i) r |= ((w >> (8 * i)) & 0xFF) << (8 * (7 - i));
        w = r;
    }
    return w;
}

inline constexpr std::uint64_t splat(std::uint8_t b) noexcept { return ONES * b; }

// The high bit of byte i set exactly when byte i of `w` is zero (no false
// hits: the carry-free form).
inline constexpr std::uint64_t zero_bytes(std::uint64_t w) noexcept {
    const std::uint64_t low7 = ~HIGHS;
    return ~(((w & low7) + low7) | w | low7);
}

// The high bit of byte i set exactly when byte i of `w` equals `b`.
inline constexpr std::uint64_t equal_bytes(std::uint64_t w, std::uint8_t b) noexcept {
    return zero_bytes(w ^ splat(b));
}

// Byte place (0 to 7) of the first flagged byte in a non-zero result of the
// tests above.
inline unsigned first_byte(std::uint64_t flags) noexcept { return first_set(flags) / 8; }

}  // namespace swar

}  // namespace taxon::cpu
