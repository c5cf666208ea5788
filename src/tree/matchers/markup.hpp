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

bool html(const View& v) noexcept;
bool xml(const View& v) noexcept;
bool svg(const View& v) noexcept;
bool rss(const View& v) noexcept;
bool atom(const View& v) noexcept;
bool x3d(const View& v) noexcept;
bool kml(const View& v) noexcept;
bool xliff(const View& v) noexcept;
bool collada(const View& v) noexcept;
bool gml(const View& v) noexcept;
bool gpx(const View& v) noexcept;
bool tcx(const View& v) noexcept;
bool amf(const View& v) noexcept;
bool threemf(const View& v) noexcept;
bool xfdf(const View& v) noexcept;
bool owl2(const View& v) noexcept;
bool xhtml(const View& v) noexcept;

}  // namespace taxon
