// JSON and the formats built on it.
#include "json.hpp"

namespace taxon {

bool json(View) noexcept { return false; }  // not yet written
bool geojson(View) noexcept { return false; }  // not yet written
bool ndjson(View) noexcept { return false; }  // not yet written
bool har(View) noexcept { return false; }  // not yet written
bool gltf(View) noexcept { return false; }  // not yet written

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
