// HTML, XML and its vocabularies, SVG.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType HTML;
extern const MimeType XML;
extern const MimeType SVG;
extern const MimeType RSS;
extern const MimeType ATOM;
extern const MimeType X3D;
extern const MimeType KML;
extern const MimeType XLIFF;
extern const MimeType COLLADA;
extern const MimeType GML;
extern const MimeType GPX;
extern const MimeType TCX;
extern const MimeType AMF;
extern const MimeType THREEMF;
extern const MimeType XFDF;
extern const MimeType OWL2;
extern const MimeType XHTML;

}  // namespace taxon
