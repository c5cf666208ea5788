// Cost of the core walk, `taxon::detect`, without the Python layer.
//
// Each benchmark times one representative buffer of a family; the name says
// family/case. The same buffers are also walked by `detect_without_dispatch`
// (every child of the root tried in order), which shows what the first-byte
// dispatch table saves. Files named on the command line are timed as well,
// one benchmark each, under the family "file".
//
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAXON_BENCH=ON -DTAXON_PYTHON=OFF
//   cmake --build build/bench --target detect_bench
//   build/bench/detect_bench [--benchmark_filter=REGEX] [FILE ...]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tree/first_level.hpp"
#include "tree/mime_type.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t WINDOW = taxon::READ_LIMIT;

Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes concat(std::initializer_list<std::string_view> parts) {
    Bytes out;
    for (std::string_view part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes padded(Bytes data, std::size_t size, std::uint8_t fill = 0) {
    if (data.size() < size) data.resize(size, fill);
    return data;
}

// Prose without commas, tabs or script keywords, cut to `size` bytes at an ASCII byte.
std::string prose(std::size_t size) {
    static constexpr std::string_view WORDS[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot",
                                                 "golf", "hotel", "india", "kilo", "lima", "caf\xc3\xa9",
                                                 "na\xc3\xafve", "\xc3\xbc" "ber", "oscar", "zulu"};
    std::mt19937 rng(7);
    std::string out;
    while (out.size() < size + 32) {
        for (int w = 0; w < 9; ++w) {
            if (w) out += ' ';
            out += WORDS[rng() % std::size(WORDS)];
        }
        out += ".\n";
    }
    out.resize(size);
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0x80)) out.back() = '.';
    return out;
}

std::string repeat_to(std::string_view head, std::string_view unit, std::string_view tail, std::size_t size) {
    std::string out(head);
    while (out.size() < size) out += unit;
    out.resize(size - std::min(size, tail.size()));
    return out + std::string(tail);
}

Bytes utf16_le(std::string_view ascii) {
    Bytes out{0xFF, 0xFE};
    for (char c : ascii) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

Bytes utf16_be(std::string_view ascii) {
    Bytes out{0xFE, 0xFF};
    for (char c : ascii) {
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(c));
    }
    return out;
}

Bytes random_bytes(std::size_t size) {
    std::mt19937 rng(20261208);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    out[0] = 0x80;  // a continuation byte: no record starts with it
    return out;
}

Bytes elf_shared_object() {
    Bytes out = padded(bytes_of(std::string_view("\x7f" "ELF\x02\x01\x01", 7)), 64);
    out[16] = 3;     // ET_DYN, little-endian
    out[18] = 0x3E;  // x86-64
    return out;
}

Bytes zip_entry(std::string_view name) {
    Bytes out = bytes_of(std::string_view("PK\x03\x04", 4));
    out.resize(30, 0);
    out[26] = static_cast<std::uint8_t>(name.size());
    out.insert(out.end(), name.begin(), name.end());
    out.push_back('x');
    return out;
}

Bytes docx() {
    Bytes out;
    for (std::string_view name : {"[Content_Types].xml", "_rels/.rels", "docProps/app.xml", "word/document.xml"}) {
        Bytes entry = zip_entry(name);
        out.insert(out.end(), entry.begin(), entry.end());
    }
    return out;
}

Bytes compound_file_doc() {
    Bytes out(1024, 0);
    const std::uint8_t signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), out.begin());
    out[26] = 3;  // 512-byte sectors; the directory starts at sector 0 (offset 512)
    const std::uint8_t doc_clsid[] = {0x06, 0x09, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    std::copy(std::begin(doc_clsid), std::end(doc_clsid), out.begin() + 512 + 80);
    return out;
}

struct Case {
    std::string family;
    std::string name;
    Bytes data;
};

std::vector<Case> cases() {
    using namespace std::string_view_literals;
    std::vector<Case> all;
    auto add = [&](std::string family, std::string name, Bytes data) {
        all.push_back({std::move(family), std::move(name), std::move(data)});
    };
    add("images", "png", padded(bytes_of("\x89PNG\r\n\x1a\n\0\0\0\rIHDR"sv), 64));
    add("images", "jpeg", padded(bytes_of("\xff\xd8\xff\xe0\0\x10JFIF\0"sv), 64));
    add("images", "gif", padded(bytes_of("GIF89a\x01\0\x01\0"sv), 64));
    add("images", "jpeg2000", bytes_of("\0\0\0\x0cjP  \r\n\x87\n\0\0\0\x14" "ftypjp2 \0\0\0\0jp2 "sv));
    add("audio-video", "mp4", bytes_of("\0\0\0\x18" "ftypisom\0\0\x02\0isomiso2"sv));
    add("audio-video", "ogg-vorbis", padded(concat({"OggS\0\x02"sv, std::string_view("\0\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\0\0\0\x01\x1e", 22), "\x01vorbis"sv}), 64));
    add("archives", "zip-docx", docx());
    add("archives", "gzip", padded(bytes_of("\x1f\x8b\x08\0"sv), 64));
    add("documents", "pdf", padded(bytes_of("%PDF-1.7\n"sv), 64, ' '));
    add("documents", "ole-doc", compound_file_doc());
    add("executables", "elf-lib", elf_shared_object());
    add("fonts", "ttf", padded(bytes_of("\0\x01\0\0\0\x0a\0\x80\0\x03\0\x20" "cmap"sv), 64));
    add("text", "plain-3072", bytes_of(prose(WINDOW)));
    add("text", "csv-3072", bytes_of(repeat_to("id,name,city\n", "17,alpha,bravo\n", "", WINDOW)));
    add("text", "json-3072", bytes_of(repeat_to("[\n", "  {\"id\": 1, \"tags\": [\"alpha\"]},\n", "", WINDOW)));
    add("text", "html-3072", bytes_of(repeat_to("<!DOCTYPE html>\n<html><body>\n", "<p>alpha bravo</p>\n", "", WINDOW)));
    add("text", "xml-3072", bytes_of(repeat_to("<?xml version=\"1.0\"?>\n<catalog>\n", "  <item>alpha</item>\n", "", WINDOW)));
    const std::string rtf = repeat_to("{\\rtf1\\ansi\\deff0 ", "Hello world plain text. ", "", WINDOW / 2 - 1);
    add("utf16-text", "rtf-le-3072", utf16_le(rtf));
    add("utf16-text", "rtf-be-3072", utf16_be(rtf));
    add("utf16-text", "plain-le-3072", utf16_le(prose(WINDOW / 2 - 1)));
    add("no-match", "random-3072", random_bytes(WINDOW));
    add("no-match", "empty", {});
    return all;
}

template <const taxon::MimeType& (*Walk)(const std::uint8_t*, std::size_t) noexcept>
void walk(benchmark::State& state, const Bytes* data) {
    const taxon::MimeType* record = &Walk(data->data(), data->size());
    for (auto _ : state) {
        record = &Walk(data->data(), data->size());
        benchmark::DoNotOptimize(record);
    }
    state.SetLabel(std::string(record->mime));
}

Bytes read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() > WINDOW) data.resize(WINDOW);  // the walk never sees more
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    static std::vector<Case> all = cases();
    for (int i = 1; i < argc; ++i) all.push_back({"file", argv[i], read_file(argv[i])});
    for (const Case& c : all) {
        benchmark::RegisterBenchmark(("detect/" + c.family + "/" + c.name).c_str(), walk<taxon::detect>, &c.data);
        benchmark::RegisterBenchmark(("without_dispatch/" + c.family + "/" + c.name).c_str(),
                                     walk<taxon::detect_without_dispatch>, &c.data);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
