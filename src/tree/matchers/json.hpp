// JSON and the formats built on it.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType JSON;
extern const MimeType GEOJSON;
extern const MimeType NDJSON;
extern const MimeType HAR;
extern const MimeType GLTF;

}  // namespace taxon
