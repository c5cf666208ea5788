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

// HTML over decoded UTF-16 text -------------------------------------------
}  // namespace taxon

#include "../unicode/unicode.hpp"

namespace taxon {

namespace {
// The opening tags of the HTML test, in the order tried, upper case.
constexpr std::string_view HTML_TAGS_UPPER[] = {
    "<!DOCTYPE HTML", "<HTML", "<HEAD", "<SCRIPT", "<IFRAME", "<H1", "<DIV", "<FONT",
    "<TABLE", "<A", "<STYLE", "<TITLE", "<B", "<BODY", "<BR", "<P",
};

// The character at character position `n` of the text, if it has one.
bool nth_char(std::string_view text, std::size_t n, char32_t& cp) noexcept {
    std::size_t i = 0;
    for (;;) {
        if (i >= text.size()) return false;
        i += unicode::read_char(text, i, cp);
        if (n-- == 0) return true;
    }
}
}  // namespace

// Unlike `html`, nothing is skipped before the tag, letters compare after
// full Unicode upper-casing, and a tab or line feed may follow the tag too.
// The character after the tag is looked up by its position in the text
// itself, so a character whose upper case is longer (U+FB05 to "ST") shifts
// what is found there.
bool detect_html_content(std::string_view text) noexcept {
    if (text.empty() || text[0] != '<') return false;  // nothing else upper-cases to '<'
    for (const std::string_view tag : HTML_TAGS_UPPER) {
        if (text.size() <= tag.size() || !unicode::upper_starts_with(text, tag)) continue;
        char32_t next;
        if (!nth_char(text, tag.size(), next) || next == '\t' || next == '\n' || next == ' ' || next == '>')
            return true;
    }
    return false;
}

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
