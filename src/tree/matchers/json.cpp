// JSON and the formats built on it.
#include "json.hpp"

#include <cstdint>
#include <iterator>

#include "../cpu.hpp"
#include "../memo.hpp"
#include "text.hpp"
#include "vector_twins.hpp"

namespace taxon {

namespace {

// Bytes of the value looked at by the bracket balance.
constexpr std::size_t JSON_WINDOW = 512;

using namespace std::string_view_literals;

// The quoted keys of the children that look for keys, each list led by the
// key least likely to occur in other JSON.
constexpr std::string_view GEOJSON_KEYS[] = {"\"FeatureCollection\""sv, "\"features\""sv, "\"type\""sv};
constexpr std::string_view HAR_KEYS[] = {"\"log\""sv, "\"version\""sv};
constexpr std::string_view GLTF_KEYS[] = {"\"asset\""sv, "\"scenes\""sv, "\"nodes\""sv};
constexpr std::string_view LEAD_KEYS[] = {GEOJSON_KEYS[0], HAR_KEYS[0], GLTF_KEYS[0]};
constexpr std::size_t GEOJSON_LEAD = 0, HAR_LEAD = 1, GLTF_LEAD = 2;

// The lead keys that begin at `at` (bit i for LEAD_KEYS[i]). Their second
// bytes differ, so at most one can.
inline unsigned lead_keys_at(const View& v, std::size_t at) noexcept {
    if (at + 1 >= v.size) return 0;
    for (std::size_t k = 0; k < std::size(LEAD_KEYS); ++k) {
        const std::string_view key = LEAD_KEYS[k];
        if (v[at + 1] != static_cast<std::uint8_t>(key[1]) || key.size() > v.size - at) continue;
        std::size_t j = 2;
        while (j < key.size() && v[at + j] == static_cast<std::uint8_t>(key[j])) ++j;
        return j == key.size() ? 1u << k : 0u;
    }
    return 0;
}
static_assert(LEAD_KEYS[0][1] != LEAD_KEYS[1][1] && LEAD_KEYS[0][1] != LEAD_KEYS[2][1] &&
              LEAD_KEYS[1][1] != LEAD_KEYS[2][1]);

// Which lead keys occur in the view (bit i for LEAD_KEYS[i]), in one pass,
// 32 starts at a time: a start is a candidate when it holds a double quote
// and the second and last bytes of a lead key fit there too; candidates
// are then compared whole.
// Which lead keys occur in the view, eight starts at a time: a start is a
// candidate when it holds a double quote followed by the second byte of a
// lead key; candidates are then compared whole.
std::uint8_t lead_keys_portable(const View& v) noexcept {
    namespace swar = cpu::swar;
    const std::uint8_t* const d = v.data;
    std::uint8_t found = 0;
    std::size_t i = 0;
    // Loads end at i + 8 < size.
    for (; i + 9 <= v.size; i += 8) {
        const std::uint64_t a1 = swar::load(d + i + 1);
        std::uint64_t seconds = 0;
        for (const std::string_view key : LEAD_KEYS) seconds |= swar::equal_bytes(a1, static_cast<std::uint8_t>(key[1]));
        for (std::uint64_t m = swar::equal_bytes(swar::load(d + i), '"') & seconds; m != 0; m &= m - 1)
            found = static_cast<std::uint8_t>(found | lead_keys_at(v, i + swar::first_byte(m)));
    }
    for (; i < v.size; ++i)
        if (v[i] == '"') found = static_cast<std::uint8_t>(found | lead_keys_at(v, i));
    return found;
}

#if TAXON_HAS(X86_AVX2)

TAXON_AVX2_FN inline __m256i load(const std::uint8_t* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

TAXON_AVX2_FN std::uint8_t lead_keys_avx2(const View& v) noexcept {
    static_assert(std::size(LEAD_KEYS) == 3);
    constexpr std::size_t LAST0 = LEAD_KEYS[0].size() - 1, LAST1 = LEAD_KEYS[1].size() - 1,
                          LAST2 = LEAD_KEYS[2].size() - 1;
    static_assert(LAST0 >= LAST1 && LAST0 >= LAST2);
    const std::uint8_t* const d = v.data;
    const __m256i quote = _mm256_set1_epi8('"');
    const __m256i second0 = _mm256_set1_epi8(LEAD_KEYS[0][1]);
    const __m256i second1 = _mm256_set1_epi8(LEAD_KEYS[1][1]);
    const __m256i second2 = _mm256_set1_epi8(LEAD_KEYS[2][1]);
    std::uint8_t found = 0;
    std::size_t i = 0;
    // Every load lies inside the view: the farthest reaches i + LAST0 + 31.
    for (; i + LAST0 + 32 <= v.size; i += 32) {
        const __m256i a1 = load(d + i + 1);
        const __m256i k0 = _mm256_and_si256(_mm256_cmpeq_epi8(a1, second0), _mm256_cmpeq_epi8(load(d + i + LAST0), quote));
        const __m256i k1 = _mm256_and_si256(_mm256_cmpeq_epi8(a1, second1), _mm256_cmpeq_epi8(load(d + i + LAST1), quote));
        const __m256i k2 = _mm256_and_si256(_mm256_cmpeq_epi8(a1, second2), _mm256_cmpeq_epi8(load(d + i + LAST2), quote));
        const __m256i any = _mm256_and_si256(_mm256_cmpeq_epi8(load(d + i), quote),
                                             _mm256_or_si256(k0, _mm256_or_si256(k1, k2)));
        for (auto m = static_cast<std::uint32_t>(_mm256_movemask_epi8(any)); m != 0; m &= m - 1) {
            const std::size_t at = i + cpu::first_set(m);
            found = static_cast<std::uint8_t>(found | lead_keys_at(v, at));
        }
    }
    for (; i < v.size; ++i)
        if (v[i] == '"') found = static_cast<std::uint8_t>(found | lead_keys_at(v, i));
    return found;
}

#endif

}  // namespace

std::uint8_t twins::json_lead_keys(const View& v, cpu::Path path) noexcept {
#if TAXON_HAS(X86_AVX2)
    if (path >= cpu::Path::avx2) return lead_keys_avx2(v);
#endif
    (void)path;
    return lead_keys_portable(v);
}

namespace {

// Whether lead key `k` occurs in the view. Within a walk the children of
// JSON ask about the same view one after another, so every lead key is
// found in one pass and kept in the walk's memo.
bool has_lead_key(const View& v, std::size_t k) noexcept {
    Memo* memo = v.memo;
    if (memo != nullptr) {
        if (!memo->json_lead_keys.holds(v)) {
            memo->json_lead_keys.value = twins::json_lead_keys(v, cpu::best_path());
            memo->json_lead_keys.tie(v);
        }
        return (memo->json_lead_keys.value >> k) & 1u;
    }
    return text::contains(v, LEAD_KEYS[k]);
}

// Every quoted key must occur somewhere in the view; the first of `keys`
// is lead key `lead`.
template <std::size_t N>
bool has_keys(const View& v, std::size_t lead, const std::string_view (&keys)[N]) noexcept {
    if (!has_lead_key(v, lead)) return false;
    for (std::size_t k = 1; k < N; ++k)
        if (!text::contains(v, keys[k])) return false;
    return true;
}

// The bytes that can change the scan: '"', '\\', '[', ']', '{' and '}'. With
// bit 5 cleared, the last five are 5B to 5D ('|' comes along, and has no
// effect when acted on).
constexpr bool may_act(std::uint8_t b) noexcept { return b == '"' || static_cast<std::uint8_t>((b & 0xDF) - 0x5B) < 3; }

// Bit j set when byte j of the block may act on the scan.
inline unsigned acting_bytes_portable(const std::uint8_t* p, std::size_t len) noexcept {
    unsigned m = 0;
    for (std::size_t j = 0; j < len; ++j) m |= static_cast<unsigned>(may_act(p[j])) << j;
    return m;
}

#if TAXON_HAS(X86_SSE2)
// The same for a whole block of sixteen.
inline unsigned acting_bytes_sse2(const std::uint8_t* p) noexcept {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i folded = _mm_and_si128(in, _mm_set1_epi8(static_cast<char>(0xDF)));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(in, _mm_set1_epi8('"')), _mm_cmpeq_epi8(folded, _mm_set1_epi8(0x5B))),
                     _mm_or_si128(_mm_cmpeq_epi8(folded, _mm_set1_epi8(0x5C)), _mm_cmpeq_epi8(folded, _mm_set1_epi8(0x5D))));
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
}
#endif

inline unsigned acting_bytes(const std::uint8_t* p, std::size_t len, cpu::Path path) noexcept {
#if TAXON_HAS(X86_SSE2)
    if (path >= cpu::Path::vector128 && len == 16) return acting_bytes_sse2(p);
#endif
    (void)path;
    return acting_bytes_portable(p, len);
}

}  // namespace

// Not a parser: the view opens with '[' or '{', and over the first 512 bytes
// of the value the square brackets and the curly braces outside string
// literals never close more than they opened. Brackets and braces are
// counted apart, so their nesting order is not examined.
bool twins::json(const View& v, cpu::Path path) noexcept {
    const View body = text::skip_space(v);
    if (body.empty() || (body[0] != '[' && body[0] != '{')) return false;
    const std::size_t n = body.size < JSON_WINDOW ? body.size : JSON_WINDOW;
    std::int32_t brackets = 0;
    std::int32_t braces = 0;
    bool in_string = false;
    std::size_t resume = 0;  // the byte after an escaping backslash is passed over
    // Every byte is one unit of the window, so only the bytes that may act
    // need to be visited; they are found sixteen at a time.
    for (std::size_t base = 0; base < n; base += 16) {
        const std::size_t len = n - base < 16 ? n - base : 16;
        for (unsigned m = acting_bytes(body.data + base, len, path); m != 0; m &= m - 1) {
            const std::size_t i = base + cpu::first_set(std::uint32_t{m});
            if (i < resume) continue;
            switch (body[i]) {
                case '"': in_string = !in_string; break;
                case '\\':
                    // No JSON text holds a backslash outside a string; letting
                    // it pass would take "{\rtf1 ...}" for JSON.
                    if (!in_string) return false;
                    resume = i + 2;
                    break;
                case '[': brackets += in_string ? 0 : 1; break;
                case ']': brackets -= in_string ? 0 : 1; break;
                case '{': braces += in_string ? 0 : 1; break;
                case '}': braces -= in_string ? 0 : 1; break;
                default: break;
            }
            if (brackets < 0 || braces < 0) return false;
        }
    }
    // A value that runs on past the window is taken on what the window
    // showed; only a view that ends inside the window must balance.
    if (body.size > JSON_WINDOW) return true;
    return brackets == 0 && braces == 0;
}

bool json(const View& v) noexcept { return twins::json(v, cpu::best_path()); }

// The keys are looked for before the value is scanned: most JSON lacks them,
// and the answer is the same in either order.
bool geojson(const View& v) noexcept {
    return has_keys(v, GEOJSON_LEAD, GEOJSON_KEYS) && json(v);
}

// One JSON value per line: each of the first three pieces (two when there
// are only two) is empty or JSON on its own.
bool ndjson(const View& v) noexcept {
    text::Pieces pieces(v);
    View piece;
    int seen = 0;
    while (seen < 3 && pieces.next(piece)) {
        if (seen == 0 && pieces.done()) return false;  // no line feed at all
        if (!piece.empty() && !json(piece)) return false;
        ++seen;
    }
    return true;
}

bool har(const View& v) noexcept {
    return has_keys(v, HAR_LEAD, HAR_KEYS) && json(v);
}

bool gltf(const View& v) noexcept {
    return has_keys(v, GLTF_LEAD, GLTF_KEYS) && json(v);
}

// JSON over decoded UTF-16 text -------------------------------------------
}  // namespace taxon

#include "../unicode/unicode.hpp"

namespace taxon {

// The bracket balance of `json`, counted in characters: the window is the
// first 512 characters from the opening bracket or brace, and characters
// outside ASCII have no effect. As in `json`, a backslash outside a string
// ends the scan with no match, and a window that fills up before the text
// ends matches unless a count went negative.
bool detect_json_content(std::string_view text) noexcept {
    text = unicode::skip_white_space(text);
    if (text.empty() || (text[0] != '[' && text[0] != '{')) return false;
    bool in_string = false, escaped = false;
    std::int32_t brackets = 0, braces = 0;
    std::size_t budget = 512;
    std::size_t i = 0;
    while (i < text.size()) {
        if (budget == 0) return true;  // no count went negative within the window
        char32_t cp;
        i += unicode::read_char(text, i, cp);
        --budget;
        if (escaped) {
            escaped = false;
            continue;
        }
        switch (cp) {
            case '"': in_string = !in_string; break;
            case '\\':
                if (!in_string) return false;
                escaped = true;
                break;
            case '[': brackets += !in_string; break;
            case ']': brackets -= !in_string; break;
            case '{': braces += !in_string; break;
            case '}': braces -= !in_string; break;
            default: break;
        }
        if (brackets < 0 || braces < 0) return false;
    }
    return brackets == 0 && braces == 0;
}

// Records

namespace {
constexpr const MimeType* JSON_CHILDREN[] = {&GEOJSON, &NDJSON, &HAR, &GLTF};
}  // namespace

constinit const MimeType JSON{"application/json", {}, ".json", {}, json, JSON_CHILDREN};
constinit const MimeType GEOJSON{"application/geo+json", {}, ".geojson", {}, geojson, {}};
constinit const MimeType NDJSON{"application/x-ndjson", {}, ".ndjson", {}, ndjson, {}};
constinit const MimeType HAR{"application/json", {}, ".har", {}, har, {}};
constinit const MimeType GLTF{"model/gltf+json", {}, ".gltf", {}, gltf, {}};

}  // namespace taxon
