// JSON and the formats built on it.
#include "json.hpp"

namespace taxon {

bool json(View) noexcept { return false; }  // not yet written
bool geojson(View) noexcept { return false; }  // not yet written
bool ndjson(View) noexcept { return false; }  // not yet written
bool har(View) noexcept { return false; }  // not yet written
bool gltf(View) noexcept { return false; }  // not yet written

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
