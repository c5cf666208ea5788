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

bool html(View v) noexcept;
bool xml(View v) noexcept;
bool svg(View v) noexcept;
bool rss(View v) noexcept;
bool atom(View v) noexcept;
bool x3d(View v) noexcept;
bool kml(View v) noexcept;
bool xliff(View v) noexcept;
bool collada(View v) noexcept;
bool gml(View v) noexcept;
bool gpx(View v) noexcept;
bool tcx(View v) noexcept;
bool amf(View v) noexcept;
bool threemf(View v) noexcept;
bool xfdf(View v) noexcept;
bool owl2(View v) noexcept;
bool xhtml(View v) noexcept;

// The HTML test over text decoded from UTF-16 (well-formed UTF-8).
bool detect_html_content(std::string_view text) noexcept;

}  // namespace taxon
