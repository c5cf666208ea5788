// JSON and the formats built on it.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType JSON;
extern const MimeType GEOJSON;
extern const MimeType NDJSON;
extern const MimeType HAR;
extern const MimeType GLTF;

bool json(const View& v) noexcept;
bool geojson(const View& v) noexcept;
bool ndjson(const View& v) noexcept;
bool har(const View& v) noexcept;
bool gltf(const View& v) noexcept;

}  // namespace taxon
