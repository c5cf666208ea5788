// Text encodings: UTF-8, and the byte-order marks of UTF-8 and UTF-16.
#include "encodings.hpp"
#include "json.hpp"
#include "lines.hpp"
#include "markup.hpp"
#include "scripts.hpp"
#include "utf16.hpp"
#include "text.hpp"
#include "vector_twins.hpp"

#include <array>
#include <cstdint>
#include <cstring>

#include "../cpu.hpp"

namespace taxon {

namespace {

// Control bytes that never occur in text: 00-08, 0B, 0E-1A and 1C-1F. Tab,
// line feed, form feed, carriage return and escape are allowed; bit b is set
// when byte b is refused.
constexpr std::uint32_t REFUSED_CONTROLS = 0xF7FFC9FFu;

constexpr bool refused_control(std::uint8_t b) noexcept { return b < 0x20 && ((REFUSED_CONTROLS >> b) & 1u) != 0; }

using cpu::swar::HIGHS;
using cpu::swar::ONES;
using cpu::swar::load;

// Outcome of reading one multi-byte sequence.
enum class Seq { bad, cut };

// Reads the sequence whose lead byte (80 or above) is at p[0], with `avail`
// bytes left in the view. Returns its length when it is well formed, or sets
// `why`: `cut` when the bytes present are a valid start that the end of the
// view cuts short, `bad` otherwise. Overlong forms, surrogates and code
// points above U+10FFFF are bad.
inline std::size_t sequence(const std::uint8_t* p, std::size_t avail, Seq& why) noexcept {
    const std::uint8_t lead = p[0];
    std::size_t len;
    std::uint8_t lo = 0x80, hi = 0xBF;  // range of the second byte
    if (lead < 0xC2) {
        why = Seq::bad;  // stray continuation byte, or overlong two-byte form
        return 0;
    } else if (lead < 0xE0) {
        len = 2;
    } else if (lead < 0xF0) {
        len = 3;
        if (lead == 0xE0) lo = 0xA0;       // overlong below U+0800
        else if (lead == 0xED) hi = 0x9F;  // surrogates U+D800-U+DFFF
    } else if (lead < 0xF5) {
        len = 4;
        if (lead == 0xF0) lo = 0x90;       // overlong below U+10000
        else if (lead == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
        why = Seq::bad;
        return 0;
    }
    const std::size_t have = avail < len ? avail : len;
    if (have >= 2 && (p[1] < lo || p[1] > hi)) {
        why = Seq::bad;
        return 0;
    }
    for (std::size_t i = 2; i < have; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            why = Seq::bad;
            return 0;
        }
    }
    if (have < len) {
        why = Seq::cut;
        return 0;
    }
    return len;
}

// Validates from `p` to the end of the view, one character at a time, with
// eight ASCII bytes taken at once where the text allows it.
bool utf8_from(const View& v, const std::uint8_t* p) noexcept {
    const std::uint8_t* const end = v.data + v.size;
    while (p < end) {
        // A word that holds a control byte is looked at byte by byte, as
        // text has a line feed every few words.
        if (end - p >= 8) {
            const std::uint64_t w = load(p);
            if ((w & HIGHS) == 0) {
                if (((w - 0x20 * ONES) & ~w & HIGHS) != 0) {
                    for (int i = 0; i < 8; ++i)
                        if (refused_control(p[i])) return false;
                }
                p += 8;
                continue;
            }
        }
        const std::uint8_t b = *p;
        if (b < 0x80) {
            if (refused_control(b)) return false;
            ++p;
            continue;
        }
        Seq why = Seq::bad;
        const std::size_t len = sequence(p, static_cast<std::size_t>(end - p), why);
        if (len == 0) {
            // A character cut by the walk's read limit: the text goes on
            // beyond the view, so the cut is not held against it.
            return why == Seq::cut && v.size == READ_LIMIT;
        }
        p += len;
    }
    return true;
}

#if TAXON_HAS(X86_AVX2)

// A 16-entry table, the same in both halves of the register.
TAXON_AVX2_FN inline __m256i table16(const std::array<std::int8_t, 16>& t) noexcept {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data())));
}

// 32 bytes at a time by nibble lookups (the method of Keiser and Lemire,
// "Validating UTF-8 in less than one instruction per byte"): every pair of
// adjacent bytes is classified by three table lookups whose AND is non-zero
// exactly for an invalid pair, and a second test checks that the third and
// fourth bytes of long sequences are continuations. The refused control
// bytes are found by two more lookups.
//
// Returns where the caller must go on one character at a time (the lead
// byte of a sequence the last block left open, or the first byte after the
// blocks), or nullptr when the bytes before that point are not valid text.
TAXON_AVX2_FN const std::uint8_t* utf8_blocks(const View& v) noexcept {
    constexpr std::int8_t TOO_SHORT = 1 << 0;
    constexpr std::int8_t TOO_LONG = 1 << 1;
    constexpr std::int8_t OVERLONG_3 = 1 << 2;
    constexpr std::int8_t TOO_LARGE = 1 << 3;
    constexpr std::int8_t SURROGATE = 1 << 4;
    constexpr std::int8_t OVERLONG_2 = 1 << 5;
    constexpr std::int8_t TOO_LARGE_1000 = 1 << 6;
    constexpr std::int8_t OVERLONG_4 = 1 << 6;
    constexpr std::int8_t TWO_CONTS = static_cast<std::int8_t>(1 << 7);
    constexpr std::int8_t CARRY = TOO_SHORT | TOO_LONG | TWO_CONTS;
    constexpr std::int8_t LARGE = CARRY | TOO_LARGE | TOO_LARGE_1000;

    // By the high nibble of the first byte of a pair.
    const __m256i first_high =
        table16({TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TOO_LONG, TWO_CONTS,
                    TWO_CONTS, TWO_CONTS, TWO_CONTS, TOO_SHORT | OVERLONG_2, TOO_SHORT,
                    TOO_SHORT | OVERLONG_3 | SURROGATE, TOO_SHORT | TOO_LARGE | TOO_LARGE_1000 | OVERLONG_4});
    // By the low nibble of the first byte.
    const __m256i first_low = table16({CARRY | OVERLONG_3 | OVERLONG_2 | OVERLONG_4, CARRY | OVERLONG_2, CARRY,
                                          CARRY, CARRY | TOO_LARGE, LARGE, LARGE, LARGE, LARGE, LARGE, LARGE, LARGE,
                                          LARGE, LARGE | SURROGATE, LARGE, LARGE});
    // By the high nibble of the second byte.
    constexpr std::int8_t CONT = TOO_LONG | OVERLONG_2 | TWO_CONTS;
    const __m256i second_high =
        table16({TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT, TOO_SHORT,
                    CONT | OVERLONG_3 | TOO_LARGE_1000 | OVERLONG_4, CONT | OVERLONG_3 | TOO_LARGE,
                    CONT | SURROGATE | TOO_LARGE, CONT | SURROGATE | TOO_LARGE, TOO_SHORT, TOO_SHORT, TOO_SHORT,
                    TOO_SHORT});
    // Refused control bytes: bit 0 for 0x0_, bit 1 for 0x1_, by low nibble.
    const __m256i control_low = table16({3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 1, 2, 2, 3, 3});
    const __m256i control_high = table16({1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    // Non-zero where a sequence begun in the last three bytes needs more.
    const __m256i open_limit = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                static_cast<std::int8_t>(0xF0 - 1), static_cast<std::int8_t>(0xE0 - 1),
                                                static_cast<std::int8_t>(0xC0 - 1));

    const std::uint8_t* p = v.data;
    const std::uint8_t* const stop = v.data + (v.size & ~std::size_t{31});
    __m256i prev = _mm256_setzero_si256();
    __m256i open = _mm256_setzero_si256();
    __m256i errors = _mm256_setzero_si256();
    for (; p < stop; p += 32) {
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_and_si256(_mm256_srli_epi16(in, 4), nibble);
        const __m256i low = _mm256_and_si256(in, nibble);
        __m256i error = _mm256_and_si256(_mm256_shuffle_epi8(control_low, low), _mm256_shuffle_epi8(control_high, high));
        if (_mm256_movemask_epi8(in) == 0) {
            error = _mm256_or_si256(error, open);  // a sequence left open before ASCII
        } else {
            // The bytes shifted by one, two and three places, the previous
            // block supplying the first ones.
            const __m256i carry = _mm256_permute2x128_si256(prev, in, 0x21);
            const __m256i prev1 = _mm256_alignr_epi8(in, carry, 15);
            const __m256i prev2 = _mm256_alignr_epi8(in, carry, 14);
            const __m256i prev3 = _mm256_alignr_epi8(in, carry, 13);
            const __m256i p1_high = _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble);
            const __m256i p1_low = _mm256_and_si256(prev1, nibble);
            const __m256i special =
                _mm256_and_si256(_mm256_and_si256(_mm256_shuffle_epi8(first_high, p1_high), _mm256_shuffle_epi8(first_low, p1_low)),
                                 _mm256_shuffle_epi8(second_high, high));
            const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<std::int8_t>(0xE0 - 0x80)));
            const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<std::int8_t>(0xF0 - 0x80)));
            const __m256i must_continue =
                _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<std::int8_t>(0x80)));
            error = _mm256_or_si256(error, _mm256_xor_si256(must_continue, special));
        }
        // Errors are gathered and looked at every fourth block: a test per
        // block costs more than it saves on text, and binary data still
        // stops within 128 bytes.
        errors = _mm256_or_si256(errors, error);
        if (((p - v.data) & 96) == 96 && !_mm256_testz_si256(errors, errors)) return nullptr;
        open = _mm256_subs_epu8(in, open_limit);
        prev = in;
    }
    if (!_mm256_testz_si256(errors, errors)) return nullptr;
    if (p == v.data) return p;
    // Go back to the lead byte of a sequence the last block left open; its
    // first bytes are checked again one by one.
    for (int back = 1; back <= 3; ++back) {
        const std::uint8_t b = p[-back];
        if (b < 0x80) break;
        if (b >= 0xC0) {
            const int len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            if (len > back) p -= back;
            break;
        }
    }
    return p;
}

#endif

}  // namespace

bool twins::utf8(const View& v, cpu::Path path) noexcept {
    if (v.empty()) return false;
#if TAXON_HAS(X86_AVX2)
    if (path >= cpu::Path::avx2 && v.size >= 32) {
        const std::uint8_t* p = utf8_blocks(v);
        return p != nullptr && utf8_from(v, p);
    }
#endif
    (void)path;
    return utf8_from(v, v.data);
}

bool utf8(const View& v) noexcept { return twins::utf8(v, cpu::best_path()); }

bool utf8_bom(const View& v) noexcept { return v.starts_with("\xEF\xBB\xBF"); }


bool utf16_be(const View& v) noexcept { return v.starts_with("\xFE\xFF"); }
bool utf16_le(const View& v) noexcept { return v.starts_with("\xFF\xFE"); }

// UTF-16 decoding

namespace {

// The code unit at place `i` of the units at `p`.
template <bool BigEndian>
inline char32_t utf16_unit(const std::uint8_t* p, std::size_t i) noexcept {
    constexpr std::size_t HI = BigEndian ? 0 : 1;  // place of the high byte in a unit
    return static_cast<char32_t>((p[2 * i + HI] << 8) | p[2 * i + 1 - HI]);
}

// Writes the UTF-8 form of the character at unit `i` (one unit, or two for
// a surrogate pair) to `o` and moves both on; false at an unpaired
// surrogate. A high surrogate in the last unit is dropped when `cut` (the
// pair was split by the walk's cut).
template <bool BigEndian>
inline bool utf16_char_to_utf8(const std::uint8_t* p, std::size_t units, bool cut, std::size_t& i, char*& o) noexcept {
    char32_t cp = utf16_unit<BigEndian>(p, i++);
    if (cp < 0x80) {
        *o++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        o[0] = static_cast<char>(0xC0 | (cp >> 6));
        o[1] = static_cast<char>(0x80 | (cp & 0x3F));
        o += 2;
    } else if (cp < 0xD800 || cp > 0xDFFF) {
        o[0] = static_cast<char>(0xE0 | (cp >> 12));
        o[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        o[2] = static_cast<char>(0x80 | (cp & 0x3F));
        o += 3;
    } else {
        if (cp >= 0xDC00) return false;  // low surrogate without a high one
        if (i == units) return cut;      // nothing follows: dropped when cut
        const char32_t low = utf16_unit<BigEndian>(p, i++);
        if (low < 0xDC00 || low > 0xDFFF) return false;
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        o[0] = static_cast<char>(0xF0 | (cp >> 18));
        o[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        o[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        o[3] = static_cast<char>(0x80 | (cp & 0x3F));
        o += 4;
    }
    return true;
}

// Writes the UTF-8 form of `units` UTF-16 code units at `p` to `o`; returns
// the end of the text, or null at an unpaired surrogate.
template <bool BigEndian>
char* utf16_units_to_utf8(const std::uint8_t* p, std::size_t units, bool cut, char* o) noexcept {
    constexpr std::size_t HI = BigEndian ? 0 : 1;
    constexpr std::size_t LO = 1 - HI;
    // Four units at a time while they are all ASCII: high bytes 0, low bytes
    // below 0x80. The mask is laid out in memory like the units it tests.
    static constexpr std::uint8_t ASCII_MASK[8] = {
        HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80, HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80,
        HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80, HI ? 0x80 : 0xFF, HI ? 0xFF : 0x80,
    };
    std::uint64_t ascii_mask;
    std::memcpy(&ascii_mask, ASCII_MASK, 8);

    std::size_t i = 0;
    while (i < units) {
        if (units - i >= 4) {
            std::uint64_t word;
            std::memcpy(&word, p + 2 * i, 8);
            if ((word & ascii_mask) == 0) {
                const std::uint8_t* q = p + 2 * i + LO;
                o[0] = static_cast<char>(q[0]);
                o[1] = static_cast<char>(q[2]);
                o[2] = static_cast<char>(q[4]);
                o[3] = static_cast<char>(q[6]);
                o += 4;
                i += 4;
                continue;
            }
        }
        if (!utf16_char_to_utf8<BigEndian>(p, units, cut, i, o)) return nullptr;
    }
    return o;
}

#if TAXON_HAS(X86_AVX2)

// For four characters of one to three UTF-8 bytes each, held in the low
// bytes of four 32-bit lanes: the byte shuffle that packs them together,
// indexed by (lanes of two bytes or more) | (lanes of three bytes) << 4,
// and the number of bytes packed.
struct Utf8Packing {
    std::array<std::array<std::uint8_t, 16>, 256> shuffle{};
    std::array<std::uint8_t, 256> length{};
};
constexpr Utf8Packing UTF8_PACKING = [] {
    Utf8Packing t;
    for (unsigned index = 0; index < 256; ++index) {
        unsigned n = 0;
        for (unsigned lane = 0; lane < 4; ++lane) {
            const unsigned len = 1 + ((index >> lane) & 1) + ((index >> (lane + 4)) & 1);
            for (unsigned k = 0; k < len; ++k) t.shuffle[index][n++] = static_cast<std::uint8_t>(4 * lane + k);
        }
        for (unsigned k = n; k < 16; ++k) t.shuffle[index][k] = 0x80;  // zero
        t.length[index] = static_cast<std::uint8_t>(n);
    }
    return t;
}();

// The same decoding, eight units at a time while none of them is a
// surrogate: each unit is widened to 32 bits, its one-, two- and three-byte
// forms are made side by side and the right one kept, and the bytes of each
// four units are packed by a shuffle from the table. Needs room for 32 bytes
// at `o` for each step, `limit` being the end of the output buffer.
template <bool BigEndian>
TAXON_AVX2_FN char* utf16_units_to_utf8_avx2(const std::uint8_t* p, std::size_t units, bool cut, char* o,
                                             const char* limit) noexcept {
    std::size_t i = 0;
    while (units - i >= 8 && limit - o >= 32) {
        __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
        if (BigEndian) u = _mm_or_si128(_mm_slli_epi16(u, 8), _mm_srli_epi16(u, 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(u, _mm_set1_epi16(static_cast<short>(0xF800))),
                                              _mm_set1_epi16(static_cast<short>(0xD800)))) != 0) {
            // A surrogate among them: these eight one character at a time
            // (a pair may reach one unit further).
            const std::size_t stop = i + 8;
            while (i < stop)
                if (!utf16_char_to_utf8<BigEndian>(p, units, cut, i, o)) return nullptr;
            continue;
        }
        if (_mm_testz_si128(u, _mm_set1_epi16(static_cast<short>(0xFF80)))) {
            // All ASCII.
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(u, u));
            o += 8;
            i += 8;
            continue;
        }
        const __m256i cp = _mm256_cvtepu16_epi32(u);
        const __m256i low6 = _mm256_and_si256(cp, _mm256_set1_epi32(0x3F));
        const __m256i mid6 = _mm256_and_si256(_mm256_srli_epi32(cp, 6), _mm256_set1_epi32(0x3F));
        // Bytes in memory order, the first in the lowest byte of the lane.
        const __m256i two = _mm256_or_si256(
            _mm256_or_si256(_mm256_srli_epi32(cp, 6), _mm256_set1_epi32(0x80C0)), _mm256_slli_epi32(low6, 8));
        const __m256i three = _mm256_or_si256(
            _mm256_or_si256(_mm256_srli_epi32(cp, 12), _mm256_set1_epi32(0x8080E0)),
            _mm256_or_si256(_mm256_slli_epi32(mid6, 8), _mm256_slli_epi32(low6, 16)));
        const __m256i at_least_two = _mm256_cmpgt_epi32(cp, _mm256_set1_epi32(0x7F));
        const __m256i is_three = _mm256_cmpgt_epi32(cp, _mm256_set1_epi32(0x7FF));
        const __m256i bytes = _mm256_blendv_epi8(_mm256_blendv_epi8(cp, two, at_least_two), three, is_three);
        const auto m2 = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(at_least_two)));
        const auto m3 = static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(is_three)));
        const unsigned first = (m2 & 15) | ((m3 & 15) << 4);
        const unsigned second = (m2 >> 4) | ((m3 >> 4) << 4);
        const __m128i packed_first = _mm_shuffle_epi8(
            _mm256_castsi256_si128(bytes),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(UTF8_PACKING.shuffle[first].data())));
        const __m128i packed_second = _mm_shuffle_epi8(
            _mm256_extracti128_si256(bytes, 1),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(UTF8_PACKING.shuffle[second].data())));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), packed_first);
        o += UTF8_PACKING.length[first];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), packed_second);
        o += UTF8_PACKING.length[second];
        i += 8;
    }
    while (i < units)
        if (!utf16_char_to_utf8<BigEndian>(p, units, cut, i, o)) return nullptr;
    return o;
}

#endif

}  // namespace

std::optional<std::string_view> twins::utf16_to_text(View v, bool big_endian, std::span<char, UTF16_TEXT_CAPACITY> out,
                                                     cpu::Path path) noexcept {
    // Longer views never come from the walk, and their text might not fit.
    if (v.size < 2 || v.size > READ_LIMIT) return std::nullopt;
    const bool cut = v.size == READ_LIMIT;
    if (v.starts_with(big_endian ? "\xFE\xFF" : "\xFF\xFE")) v = v.from(2);
    if (v.size < 2 || v.size % 2 != 0) return std::nullopt;
    const std::uint8_t* const p = v.data;
    const std::size_t units = v.size / 2;
    char* const o = out.data();
    char* end;
#if TAXON_HAS(X86_AVX2)
    if (path >= cpu::Path::avx2) {
        const char* const limit = o + out.size();
        end = big_endian ? utf16_units_to_utf8_avx2<true>(p, units, cut, o, limit)
                         : utf16_units_to_utf8_avx2<false>(p, units, cut, o, limit);
    } else
#endif
    {
        end = big_endian ? utf16_units_to_utf8<true>(p, units, cut, o) : utf16_units_to_utf8<false>(p, units, cut, o);
    }
    (void)path;
    if (end == nullptr) return std::nullopt;
    return std::string_view(out.data(), static_cast<std::size_t>(end - out.data()));
}

std::optional<std::string_view> utf16_to_text(View v, bool big_endian,
                                              std::span<char, UTF16_TEXT_CAPACITY> out) noexcept {
    return twins::utf16_to_text(v, big_endian, out, cpu::best_path());
}

// Records

namespace {
constexpr std::string_view UTF8_MIME_ALIASES[] = {"text/plain"};
constexpr std::string_view UTF8_EXT_ALIASES[] = {"", ".pub", ".html", ".htm", ".shtml", ".svg", ".xml", ".rss", ".atom", ".x3d", ".kml", ".xlf", ".dae", ".gml", ".gpx", ".tcx", ".amf", "3mf", ".php", ".js", ".lua", ".pl", ".py", ".json", ".geojson", ".ndjson", ".rtf", ".tcl", ".csv", ".tsv", ".vcf", ".vcard", ".ics", ".ical", ".icalendar", ".warc"};
constexpr const MimeType* UTF8_CHILDREN[] = {&HTML, &XML, &PHP, &JAVASCRIPT, &PYTHON, &PERL, &RUBY, &LUA, &SHELL, &TCL, &JSON, &CSV_FORMAT, &TSV, &RTF, &SRT, &VTT, &VCARD, &ICALENDAR, &SVG, &WARC};
constexpr const MimeType* UTF16_BE_CHILDREN[] = {&HTML_UTF16_BE, &XML_UTF16_BE, &SVG_UTF16_BE, &JSON_UTF16_BE, &CSV_UTF16_BE, &TSV_UTF16_BE, &SRT_UTF16_BE, &VTT_UTF16_BE, &VCARD_UTF16_BE, &ICALENDAR_UTF16_BE, &RTF_UTF16_BE};
constexpr const MimeType* UTF16_LE_CHILDREN[] = {&HTML_UTF16_LE, &XML_UTF16_LE, &SVG_UTF16_LE, &JSON_UTF16_LE, &CSV_UTF16_LE, &TSV_UTF16_LE, &SRT_UTF16_LE, &VTT_UTF16_LE, &VCARD_UTF16_LE, &ICALENDAR_UTF16_LE, &RTF_UTF16_LE};
}  // namespace

constinit const MimeType UTF8{"text/plain; charset=utf-8", UTF8_MIME_ALIASES, ".txt", UTF8_EXT_ALIASES, utf8, UTF8_CHILDREN};
constinit const MimeType UTF8_BOM{"text/plain; charset=utf-8", {}, ".txt", {}, utf8_bom, {}};
constinit const MimeType UTF16_BE{"text/plain; charset=utf-16be", {}, ".txt", {}, utf16_be, UTF16_BE_CHILDREN};
constinit const MimeType UTF16_LE{"text/plain; charset=utf-16le", {}, ".txt", {}, utf16_le, UTF16_LE_CHILDREN};

}  // namespace taxon
