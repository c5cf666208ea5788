// Prints the core's answers for a set of inputs, one line each, so that two
// builds (another architecture, another compiler, SIMD on or off) can be
// compared line by line:
//
//   platform_answers FILE...          the files' contents
//   platform_answers --generate N S   N inputs made from seed S
//
// A line holds the walk's answer and what the helpers with vector paths
// made of the same bytes: UTF-8 validity, UTF-16 decoding in both byte
// orders (a digest of the text), the XML and JSON key searches, the JSON
// scan, the keyword search and the first ZIP headers. Generated inputs come
// from a fixed pseudo-random generator, so every build sees the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tree/cpu.hpp"
#include "tree/matchers/encodings.hpp"
#include "tree/matchers/vector_twins.hpp"
#include "tree/mime_type.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// splitmix64: small, and the same sequence on every platform.
struct Rng {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }
    bool one_in(std::size_t n) { return below(n) == 0; }
    std::uint8_t byte() { return static_cast<std::uint8_t>(next()); }
};

void put(Bytes& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }

void put_utf8(Bytes& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<std::uint8_t>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<std::uint8_t>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<std::uint8_t>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<std::uint8_t>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<std::uint8_t>(0x80 | (cp & 0x3F)));
    }
}

// A code point of a kind text holds: mostly ASCII, then two-, three- and
// four-byte characters, now and then a surrogate or a control character.
std::uint32_t code_point(Rng& r, unsigned mix) {
    switch (r.below(mix)) {
        case 0: return static_cast<std::uint32_t>(0x80 + r.below(0x800 - 0x80));
        case 1: return static_cast<std::uint32_t>(0x800 + r.below(0x10000 - 0x800));
        case 2: return static_cast<std::uint32_t>(0x10000 + r.below(0x110000 - 0x10000));
        case 3: return r.one_in(400) ? static_cast<std::uint32_t>(r.below(0x20)) : 0x0A;
        default: return static_cast<std::uint32_t>(0x20 + r.below(0x5F));
    }
}

Bytes ascii_text(Rng& r) {
    static constexpr std::string_view WORDS[] = {"the ", "function ", "var ", "<html>", "{\"a\": 1}", ", ", "\t",
                                                 "\r\n", "\n", "http://www.w3.org/1999/xhtml", "TrainingCenterDatabase"};
    Bytes out;
    const std::size_t size = r.below(3300);
    while (out.size() < size) {
        if (r.one_in(4)) put(out, WORDS[r.below(std::size(WORDS))]);
        else out.push_back(static_cast<std::uint8_t>(0x20 + r.below(0x5F)));
    }
    return out;
}

Bytes utf8_text(Rng& r) {
    Bytes out;
    const unsigned mix = static_cast<unsigned>(4 + r.below(12));
    const std::size_t size = 2900 + r.below(400);
    while (out.size() < size) {
        std::uint32_t cp = code_point(r, mix);
        if (cp >= 0xD800 && cp <= 0xDFFF && !r.one_in(50)) cp = 0x41;
        put_utf8(out, cp);
    }
    if (r.one_in(4)) out.resize(3072);  // cut inside a character, as the walk does
    if (r.one_in(10)) out[r.below(out.size())] = r.byte();
    return out;
}

Bytes utf16_text(Rng& r) {
    const bool big = r.one_in(2);
    Bytes out;
    if (r.below(3) != 0) put(out, big ? "\xFE\xFF" : "\xFF\xFE");
    static constexpr std::string_view OPENINGS[] = {"", "{\\rtf1 ", "<?xml version=\"1.0\"?><svg>", "[{\"k\": 1}]", "a,b,c\n1,2,3\n",
                                                    "1\n00:00:01,000 --> 00:00:02,000\nhi\n", "BEGIN:VCARD\n", "<html>"};
    std::vector<std::uint32_t> cps;
    for (char c : OPENINGS[r.below(std::size(OPENINGS))]) cps.push_back(static_cast<std::uint8_t>(c));
    const unsigned mix = static_cast<unsigned>(4 + r.below(12));
    const std::size_t units = r.below(1600);
    while (cps.size() < units) {
        std::uint32_t cp = code_point(r, mix);
        if (cp >= 0xD800 && cp <= 0xDFFF && !r.one_in(20)) cp = 0x42;
        cps.push_back(cp);
    }
    auto unit = [&](std::uint32_t u) {
        out.push_back(static_cast<std::uint8_t>(big ? u >> 8 : u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(big ? u & 0xFF : u >> 8));
    };
    for (std::uint32_t cp : cps) {
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    if (r.one_in(3) && out.size() > 3072) out.resize(3072);
    if (r.one_in(10) && !out.empty()) out.pop_back();
    return out;
}

Bytes zip_like(Rng& r) {
    static constexpr std::string_view NAMES[] = {"mimetype", "[Content_Types].xml", "word/document.xml", "xl/workbook.xml",
                                                 "ppt/slide1.xml", "META-INF/MANIFEST.MF", "AndroidManifest.xml",
                                                 "classes.dex", "doc.kml", "visio/page.xml", "_rels/.rels", "a.txt"};
    static constexpr std::string_view MIMES[] = {"application/epub+zip", "application/vnd.oasis.opendocument.text",
                                                 "application/vnd.oasis.opendocument.spreadsheet", "x"};
    Bytes out;
    const std::size_t entries = 1 + r.below(12);
    for (std::size_t e = 0; e < entries && out.size() < 3500; ++e) {
        const std::string_view name = NAMES[r.below(std::size(NAMES))];
        const std::size_t extra = r.one_in(4) ? r.below(20) : 0;
        put(out, "PK\x03\x04");
        for (int k = 0; k < 22; ++k) out.push_back(r.one_in(2) ? 0 : r.byte());
        out.push_back(static_cast<std::uint8_t>(name.size()));
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(extra));
        out.push_back(0);
        put(out, name);
        for (std::size_t k = 0; k < extra; ++k) out.push_back(r.byte());
        if (name == "mimetype") put(out, MIMES[r.below(std::size(MIMES))]);
        const std::size_t data = r.below(600);
        for (std::size_t k = 0; k < data; ++k) out.push_back(r.one_in(300) ? 'P' : r.byte());
    }
    return out;
}

Bytes xml_like(Rng& r) {
    static constexpr std::string_view PARTS[] = {"<rss", "<feed", "<X3D", "<kml", "<xliff", "<COLLADA", "<gml", "<gpx",
                                                 "TrainingCenterDatabase", "<amf", "<model", "<xfdf", "<owl",
                                                 "http://www.w3.org/1999/xhtml", "<svg", "http://www.w3.org/2000/svg",
                                                 "<item>", "</item>", " a=\"b\"", "\n  ", "text ", "<", ">"};
    Bytes out;
    if (r.below(4) != 0) put(out, "<?xml version=\"1.0\"?>\n");
    const std::size_t size = r.below(3400);
    const std::size_t rarity = 6 + r.below(600);  // of the vocabulary needles
    while (out.size() < size) {
        if (r.one_in(rarity)) put(out, PARTS[r.below(std::size(PARTS))]);
        else put(out, PARTS[16 + r.below(std::size(PARTS) - 16)]);
    }
    return out;
}

Bytes json_like(Rng& r) {
    static constexpr std::string_view PARTS[] = {"{", "}", "[", "]", "\"", "\\", ": ", ", ", "\"FeatureCollection\"",
                                                 "\"features\"", "\"type\"", "\"log\"", "\"version\"", "\"asset\"",
                                                 "\"scenes\"", "\"nodes\"", "\"key\"", "1.5", "null", "\n", " ", "\"s\\\"x\""};
    Bytes out;
    put(out, r.one_in(2) ? "{" : "[");
    const std::size_t size = r.below(3400);
    const std::size_t rarity = 1 + r.below(300);  // of the keys looked for
    while (out.size() < size) {
        const std::size_t k = r.below(std::size(PARTS));
        if (k < 8 || k >= 16 || r.one_in(rarity)) put(out, PARTS[k]);
    }
    return out;
}

Bytes random_bytes(Rng& r) {
    Bytes out(r.below(4200));
    for (auto& b : out) b = r.byte();
    return out;
}

Bytes generate(Rng& r, std::size_t i) {
    switch (i % 7) {
        case 0: return random_bytes(r);
        case 1: return ascii_text(r);
        case 2: return utf8_text(r);
        case 3: return utf16_text(r);
        case 4: return zip_like(r);
        case 5: return xml_like(r);
        default: return json_like(r);
    }
}

// FNV-1a, for a short digest of decoded text.
std::uint32_t digest(std::string_view s) {
    std::uint32_t h = 2166136261u;
    for (char c : s) h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return h;
}

void report(const std::string& label, const Bytes& input) {
    namespace twins = taxon::twins;
    const taxon::cpu::Path path = taxon::cpu::best_path();
    const taxon::MimeType& answer = taxon::detect(input.data(), input.size());
    const std::size_t n = input.size() < taxon::READ_LIMIT ? input.size() : taxon::READ_LIMIT;
    const taxon::View v{input.data(), n, nullptr};
    static std::unique_ptr<char[]> out(new char[taxon::UTF16_TEXT_CAPACITY]);
    const std::span<char, taxon::UTF16_TEXT_CAPACITY> buf(out.get(), taxon::UTF16_TEXT_CAPACITY);
    std::string utf16;
    for (const bool big : {true, false}) {
        const auto text = twins::utf16_to_text(v, big, buf, path);
        utf16 += text ? std::to_string(digest(*text)) : "-";
        utf16 += big ? "/" : "";
    }
    std::string zip;
    std::size_t from = 0;
    for (int k = 0; k < 4; ++k) {
        const auto at = twins::zip_local_header(v, from, path);
        if (!at) break;
        zip += std::to_string(*at) + ",";
        from = *at + 1;
    }
    std::printf("%s %.*s %.*s u%d %s x%u j%u/%d k%d z%s\n", label.c_str(), static_cast<int>(answer.mime.size()),
                answer.mime.data(), static_cast<int>(answer.extension.size()), answer.extension.data(),
                twins::utf8(v, path) ? 1 : 0, utf16.c_str(), twins::xml_needles(v, path),
                twins::json_lead_keys(v, path), twins::json(v, path) ? 1 : 0,
                twins::js_keyword(v.first(256), path) ? 1 : 0, zip.c_str());
}

bool read_file(const char* name, Bytes& out) {
    std::FILE* f = std::fopen(name, "rb");
    if (f == nullptr) return false;
    out.clear();
    std::uint8_t chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + got);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
        const auto count = static_cast<std::size_t>(std::strtoull(argv[2], nullptr, 10));
        Rng r{std::strtoull(argv[3], nullptr, 10)};
        for (std::size_t i = 0; i < count; ++i) report("g" + std::to_string(i), generate(r, i));
        return 0;
    }
    Bytes input;
    for (int i = 1; i < argc; ++i) {
        if (!read_file(argv[i], input)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        report(argv[i], input);
    }
    return 0;
}
