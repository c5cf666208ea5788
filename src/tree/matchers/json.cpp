// JSON and the formats built on it.
#include "json.hpp"

#include <cstdint>

#include "text.hpp"

namespace taxon {

namespace {

// Bytes of the value looked at by the bracket balance.
constexpr std::size_t JSON_WINDOW = 512;

// Every quoted key must occur somewhere in the view.
template <std::size_t N>
bool has_keys(View v, const std::string_view (&keys)[N]) noexcept {
    for (const std::string_view key : keys)
        if (!text::contains(v, key)) return false;
    return true;
}

}  // namespace

// Not a parser: the view opens with '[' or '{', and over the first 512 bytes
// of the value the square brackets and the curly braces outside string
// literals never close more than they opened. Brackets and braces are
// counted apart, so their nesting order is not examined.
bool json(View v) noexcept {
    const View body = text::skip_space(v);
    if (body.empty() || (body[0] != '[' && body[0] != '{')) return false;
    const std::size_t n = body.size < JSON_WINDOW ? body.size : JSON_WINDOW;
    std::int32_t brackets = 0;
    std::int32_t braces = 0;
    bool in_string = false;
    bool escaped = false;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = body[i];
        if (escaped) {
            escaped = false;
            continue;
        }
        switch (b) {
            case '"': in_string = !in_string; break;
            case '\\':
                // No JSON text holds a backslash outside a string; letting it
                // pass would take "{\rtf1 ...}" for JSON.
                if (!in_string) return false;
                escaped = true;
                break;
            case '[': brackets += in_string ? 0 : 1; break;
            case ']': brackets -= in_string ? 0 : 1; break;
            case '{': braces += in_string ? 0 : 1; break;
            case '}': braces -= in_string ? 0 : 1; break;
            default: break;
        }
        if (brackets < 0 || braces < 0) return false;
    }
    // A value that runs on past the window is taken on what the window
    // showed; only a view that ends inside the window must balance.
    if (body.size > JSON_WINDOW) return true;
    return brackets == 0 && braces == 0;
}

bool geojson(View v) noexcept {
    static constexpr std::string_view KEYS[] = {"\"type\"", "\"FeatureCollection\"", "\"features\""};
    return json(v) && has_keys(v, KEYS);
}

// One JSON value per line: each of the first three pieces (two when there
// are only two) is empty or JSON on its own.
bool ndjson(View v) noexcept {
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

bool har(View v) noexcept {
    static constexpr std::string_view KEYS[] = {"\"log\"", "\"version\""};
    return json(v) && has_keys(v, KEYS);
}

bool gltf(View v) noexcept {
    static constexpr std::string_view KEYS[] = {"\"scenes\"", "\"nodes\"", "\"asset\""};
    return json(v) && has_keys(v, KEYS);
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
