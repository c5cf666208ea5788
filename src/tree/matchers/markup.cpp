// HTML, XML and its vocabularies, SVG.
#include "markup.hpp"

namespace taxon {

bool html(View) noexcept { return false; }  // not yet written
bool xml(View) noexcept { return false; }  // not yet written
bool svg(View) noexcept { return false; }  // not yet written
bool rss(View) noexcept { return false; }  // not yet written
bool atom(View) noexcept { return false; }  // not yet written
bool x3d(View) noexcept { return false; }  // not yet written
bool kml(View) noexcept { return false; }  // not yet written
bool xliff(View) noexcept { return false; }  // not yet written
bool collada(View) noexcept { return false; }  // not yet written
bool gml(View) noexcept { return false; }  // not yet written
bool gpx(View) noexcept { return false; }  // not yet written
bool tcx(View) noexcept { return false; }  // not yet written
bool amf(View) noexcept { return false; }  // not yet written
bool threemf(View) noexcept { return false; }  // not yet written
bool xfdf(View) noexcept { return false; }  // not yet written
bool owl2(View) noexcept { return false; }  // not yet written
bool xhtml(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view HTML_EXT_ALIASES[] = {".htm"};
constexpr std::string_view XML_MIME_ALIASES[] = {"application/xml"};
constexpr const MimeType* XML_CHILDREN[] = {&RSS, &ATOM, &X3D, &KML, &XLIFF, &COLLADA, &GML, &GPX, &TCX, &AMF, &THREEMF, &XFDF, &OWL2, &XHTML};
constexpr std::string_view RSS_MIME_ALIASES[] = {"text/rss"};
}  // namespace

constinit const MimeType HTML{"text/html; charset=utf-8", {}, ".html", HTML_EXT_ALIASES, html, {}};
constinit const MimeType XML{"text/xml; charset=utf-8", XML_MIME_ALIASES, ".xml", {}, xml, XML_CHILDREN};
constinit const MimeType SVG{"image/svg+xml", {}, ".svg", {}, svg, {}};
constinit const MimeType RSS{"application/rss+xml", RSS_MIME_ALIASES, ".rss", {}, rss, {}};
constinit const MimeType ATOM{"application/atom+xml", {}, ".atom", {}, atom, {}};
constinit const MimeType X3D{"model/x3d+xml", {}, ".x3d", {}, x3d, {}};
constinit const MimeType KML{"application/vnd.google-earth.kml+xml", {}, ".kml", {}, kml, {}};
constinit const MimeType XLIFF{"application/x-xliff+xml", {}, ".xlf", {}, xliff, {}};
constinit const MimeType COLLADA{"model/vnd.collada+xml", {}, ".dae", {}, collada, {}};
constinit const MimeType GML{"application/gml+xml", {}, ".gml", {}, gml, {}};
constinit const MimeType GPX{"application/gpx+xml", {}, ".gpx", {}, gpx, {}};
constinit const MimeType TCX{"application/vnd.garmin.tcx+xml", {}, ".tcx", {}, tcx, {}};
constinit const MimeType AMF{"application/x-amf", {}, ".amf", {}, amf, {}};
constinit const MimeType THREEMF{"application/vnd.ms-package.3dmanufacturing-3dmodel+xml", {}, ".3mf", {}, threemf, {}};
constinit const MimeType XFDF{"application/vnd.adobe.xfdf", {}, ".xfdf", {}, xfdf, {}};
constinit const MimeType OWL2{"application/owl+xml", {}, ".owl", {}, owl2, {}};
constinit const MimeType XHTML{"application/xhtml+xml", {}, ".html", {}, xhtml, {}};

}  // namespace taxon
