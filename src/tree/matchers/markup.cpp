// HTML, XML and its vocabularies, SVG.
#include "markup.hpp"

#include "text.hpp"

namespace taxon {

namespace {

using namespace std::string_view_literals;

// Opening tags of an HTML document, lower case, in the order they are tried.
constexpr std::string_view HTML_TAGS[] = {
    "<!doctype html"sv, "<html"sv, "<head"sv, "<script"sv, "<iframe"sv, "<h1"sv, "<div"sv, "<font"sv,
    "<table"sv,         "<a"sv,    "<style"sv, "<title"sv, "<b"sv,       "<body"sv, "<br"sv, "<p"sv,
};

constexpr std::string_view SVG_NAMESPACE = "http://www.w3.org/2000/svg";
// The XHTML namespace name without its last two letters.
constexpr std::string_view XHTML_NAMESPACE_START = "http://www.w3.org/1999/xht";

// An XML declaration after any leading white space.
bool xml_declaration(const View& v) noexcept { return text::skip_space(v).starts_with("<?xml"); }

// An XML document that holds `needle` anywhere.
bool xml_with(const View& v, std::string_view needle) noexcept { return xml_declaration(v) && text::contains(v, needle); }

}  // namespace

bool html(const View& v) noexcept {
    const View body = text::skip_space(v);
    if (body.size < 3 || body[0] != '<') return false;  // the shortest tag and its closing byte
    for (const std::string_view tag : HTML_TAGS) {
        // The tag must be followed by a space or '>', so "<br/" or "<html"
        // at the very end are not HTML.
        if (body.size > tag.size() && text::starts_with_folded(body, tag)) {
            const std::uint8_t after = body[tag.size()];
            if (after == ' ' || after == '>') return true;
        }
    }
    return false;
}

bool xml(const View& v) noexcept { return xml_declaration(v); }

bool svg(const View& v) noexcept {
    const View body = text::skip_space(v);
    if (body.starts_with("<?xml")) return text::contains(body, "<svg") || text::contains(body, SVG_NAMESPACE);
    return body.starts_with("<svg");
}

bool rss(const View& v) noexcept { return xml_with(v, "<rss"); }
bool atom(const View& v) noexcept { return xml_with(v, "<feed"); }
bool x3d(const View& v) noexcept { return xml_with(v, "<X3D"); }
bool kml(const View& v) noexcept { return xml_with(v, "<kml"); }
bool xliff(const View& v) noexcept { return xml_with(v, "<xliff"); }
bool collada(const View& v) noexcept { return xml_with(v, "<COLLADA"); }
bool gml(const View& v) noexcept { return xml_with(v, "<gml"); }
bool gpx(const View& v) noexcept { return xml_with(v, "<gpx"); }
// The root element name of the TCX schema, cut to twenty letters.
bool tcx(const View& v) noexcept { return xml_with(v, "TrainingCenterDataba"); }
bool amf(const View& v) noexcept { return xml_with(v, "<amf"); }
bool threemf(const View& v) noexcept { return xml_with(v, "<model"); }
bool xfdf(const View& v) noexcept { return xml_with(v, "<xfdf"); }
bool owl2(const View& v) noexcept { return xml_with(v, "<owl"); }
bool xhtml(const View& v) noexcept { return xml_with(v, XHTML_NAMESPACE_START); }

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
