// JSON and the formats built on it.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType JSON;
extern const MimeType GEOJSON;
extern const MimeType NDJSON;
extern const MimeType HAR;
extern const MimeType GLTF;

bool json(View v) noexcept;
bool geojson(View v) noexcept;
bool ndjson(View v) noexcept;
bool har(View v) noexcept;
bool gltf(View v) noexcept;

// The JSON test over text decoded from UTF-16 (well-formed UTF-8).
bool detect_json_content(std::string_view text) noexcept;

}  // namespace taxon
