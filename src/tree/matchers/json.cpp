// JSON and the formats built on it.
#include "json.hpp"

#include <cstdint>

#include "text.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace taxon {

namespace {

// Bytes of the value looked at by the bracket balance.
constexpr std::size_t JSON_WINDOW = 512;

// Every quoted key must occur somewhere in the view.
template <std::size_t N>
bool has_keys(const View& v, const std::string_view (&keys)[N]) noexcept {
    for (const std::string_view key : keys)
        if (!text::contains(v, key)) return false;
    return true;
}

// The bytes that can change the scan: '"', '\\', '[', ']', '{' and '}'. With
// bit 5 cleared, the last five are 5B to 5D ('|' comes along, and has no
// effect when acted on).
constexpr bool may_act(std::uint8_t b) noexcept { return b == '"' || static_cast<std::uint8_t>((b & 0xDF) - 0x5B) < 3; }

// Bit j set when byte j of the block may act on the scan.
inline unsigned acting_bytes(const std::uint8_t* p, std::size_t len) noexcept {
#if defined(__SSE2__)
    if (len == 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i folded = _mm_and_si128(in, _mm_set1_epi8(static_cast<char>(0xDF)));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(in, _mm_set1_epi8('"')), _mm_cmpeq_epi8(folded, _mm_set1_epi8(0x5B))),
                         _mm_or_si128(_mm_cmpeq_epi8(folded, _mm_set1_epi8(0x5C)), _mm_cmpeq_epi8(folded, _mm_set1_epi8(0x5D))));
        return static_cast<unsigned>(_mm_movemask_epi8(hit));
    }
#endif
    unsigned m = 0;
    for (std::size_t j = 0; j < len; ++j) m |= static_cast<unsigned>(may_act(p[j])) << j;
    return m;
}

}  // namespace

// Not a parser: the view opens with '[' or '{', and over the first 512 bytes
// of the value the square brackets and the curly braces outside string
// literals never close more than they opened. Brackets and braces are
// counted apart, so their nesting order is not examined.
bool json(const View& v) noexcept {
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
        for (unsigned m = acting_bytes(body.data + base, len); m != 0; m &= m - 1) {
            const std::size_t i = base + static_cast<unsigned>(__builtin_ctz(m));
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

// The keys are looked for before the value is scanned: most JSON lacks them,
// and the answer is the same in either order.
bool geojson(const View& v) noexcept {
    static constexpr std::string_view KEYS[] = {"\"FeatureCollection\"", "\"features\"", "\"type\""};
    return has_keys(v, KEYS) && json(v);
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
    static constexpr std::string_view KEYS[] = {"\"log\"", "\"version\""};
    return has_keys(v, KEYS) && json(v);
}

bool gltf(const View& v) noexcept {
    static constexpr std::string_view KEYS[] = {"\"asset\"", "\"scenes\"", "\"nodes\""};
    return has_keys(v, KEYS) && json(v);
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
