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

}  // namespace taxon
