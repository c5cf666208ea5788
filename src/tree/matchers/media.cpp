// Media containers: ISO base media, EBML, Ogg and raw MPEG streams.
#include "media.hpp"

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace taxon {

namespace {

using namespace std::string_view_literals;

// ISO base media: a box is a 32-bit big-endian size and a 4-byte type; the
// file-type box "ftyp" opens with the major brand, at offset 8 of the file.
constexpr std::size_t BRAND_AT = 8;
constexpr std::size_t BRAND_END = BRAND_AT + 4;

bool has_ftyp(const View& v) noexcept { return v.size >= BRAND_END && v.has_at(4, "ftyp"); }

// The major brand is one of `brands`; the box size is not looked at.
bool major_brand_is(const View& v, std::initializer_list<std::string_view> brands) noexcept {
    if (!has_ftyp(v)) return false;
    for (std::string_view brand : brands)
        if (v.has_at(BRAND_AT, brand)) return true;
    return false;
}

// The major brand is `stem` (three bytes) followed by one of `last`.
bool major_brand_family(const View& v, std::string_view stem, std::string_view last) noexcept {
    return has_ftyp(v) && v.has_at(BRAND_AT, stem) && last.find(static_cast<char>(v[BRAND_AT + 3])) != std::string_view::npos;
}

// EBML: the header element's ID opens the file; the first DocType element
// (ID 42 82) names the document type after its variable-length size.
constexpr std::string_view EBML_HEADER_ID = "\x1A\x45\xDF\xA3"sv;
constexpr std::string_view DOCTYPE_ID = "\x42\x82"sv;
constexpr std::size_t DOCTYPE_SEARCH_LIMIT = 4096;

bool ebml_doctype_is(const View& v, std::string_view doctype) noexcept {
    if (!v.starts_with(EBML_HEADER_ID)) return false;
    const std::size_t limit = v.size < DOCTYPE_SEARCH_LIMIT ? v.size : DOCTYPE_SEARCH_LIMIT;
    const std::string_view area(reinterpret_cast<const char*>(v.data), limit);
    // Only the first occurrence counts, even when it turns out not to be a
    // DocType element.
    const std::size_t id_at = area.find(DOCTYPE_ID);
    if (id_at == std::string_view::npos) return false;
    const std::size_t size_at = id_at + DOCTYPE_ID.size();
    if (size_at >= v.size) return false;
    // The width of a variable-length integer is one more than the number of
    // leading zero bits of its first byte (a zero byte counts as width 8).
    const int zeros = std::countl_zero(v[size_at]);
    const std::size_t width = zeros >= 8 ? 8 : static_cast<std::size_t>(zeros) + 1;
    return v.has_at(size_at + width, doctype);
}

// Ogg: the first packet of the first page, right after a 27-byte page
// header with a one-entry segment table.
constexpr std::size_t OGG_PACKET_AT = 28;
constexpr std::size_t OGG_PACKET_MINIMUM = 37;

bool ogg_packet_is_any(const View& v, std::initializer_list<std::string_view> heads) noexcept {
    if (v.size < OGG_PACKET_MINIMUM) return false;
    for (std::string_view head : heads)
        if (v.has_at(OGG_PACKET_AT, head)) return true;
    return false;
}

bool mp4_precise(const View& v) noexcept {
    if (!has_ftyp(v)) return false;
    const std::uint32_t box_size = v.be32(0);
    return box_size >= BRAND_END && box_size <= v.size && box_size % 4 == 0;
}

bool avif_format(const View& v) noexcept { return major_brand_is(v, {"avif", "avis"}); }
bool three_gpp(const View& v) noexcept { return major_brand_family(v, "3gp", "456789ap"); }
bool three_gpp2(const View& v) noexcept { return major_brand_family(v, "3g2", "456789abc"); }
bool amp4(const View& v) noexcept { return major_brand_is(v, {"M4A "}); }
bool m4v(const View& v) noexcept { return major_brand_is(v, {"M4V "}); }
bool heic(const View& v) noexcept { return major_brand_is(v, {"heic", "heix"}); }
bool heic_seq(const View& v) noexcept { return major_brand_is(v, {"hevc"}); }
bool heif(const View& v) noexcept { return major_brand_is(v, {"mif1"}); }
bool heif_seq(const View& v) noexcept { return major_brand_is(v, {"msf1"}); }
bool mj2(const View& v) noexcept { return major_brand_is(v, {"mj2s", "mjp2"}); }
bool dvb(const View& v) noexcept { return major_brand_is(v, {"dvb1"}); }
bool quicktime(const View& v) noexcept { return major_brand_is(v, {"qt  "}); }
bool mqv(const View& v) noexcept { return major_brand_is(v, {"mqt "}); }

bool webm(const View& v) noexcept { return ebml_doctype_is(v, "webm"); }
bool mkv(const View& v) noexcept { return ebml_doctype_is(v, "matroska"); }

bool ogg(const View& v) noexcept { return v.starts_with("OggS"); }

bool ogg_audio(const View& v) noexcept {
    return ogg_packet_is_any(v, {"\x7F" "FLAC"sv, "\x01" "vorbis"sv, "OpusHead"sv, "Speex   "sv});
}

bool ogg_video(const View& v) noexcept {
    return ogg_packet_is_any(v, {"\x80" "theora"sv, "fishead\0"sv, "\x01" "video\0\0\0"sv});
}

bool mp3(const View& v) noexcept {
    if (v.size < 3) return false;
    if (v.starts_with("ID3")) return true;
    // Layer III frame sync; the protection bit (lowest of byte 1) is ignored.
    if (v[0] != 0xFF) return false;
    const std::uint8_t version_layer = v[1] & 0xFE;
    return version_layer == 0xE2 || version_layer == 0xF2 || version_layer == 0xFA;
}

bool mpeg(const View& v) noexcept {
    // Pack, system header or video sequence start code: 00 00 01 Bx.
    return v.size >= 4 && v.starts_with("\0\0\x01"sv) && (v[3] & 0xF0) == 0xB0;
}

bool aac(const View& v) noexcept {
    // ADTS sync word, layer 0, no CRC, MPEG-4 (F1) or MPEG-2 (F9).
    return v.size >= 2 && v[0] == 0xFF && (v[1] == 0xF1 || v[1] == 0xF9);
}

}  // namespace

// Records

namespace {
constexpr const MimeType* MP4_PRECISE_CHILDREN[] = {&AVIF_FORMAT, &THREE_GPP, &THREE_GPP2, &AMP4, &M4V, &HEIC, &HEIC_SEQ, &HEIF, &HEIF_SEQ, &MJ2, &DVB};
constexpr std::string_view THREE_GPP_MIME_ALIASES[] = {"video/3gp", "audio/3gpp"};
constexpr std::string_view THREE_GPP2_MIME_ALIASES[] = {"video/3g2", "audio/3gpp2"};
constexpr std::string_view AMP4_MIME_ALIASES[] = {"audio/x-m4a", "audio/x-mp4a"};
constexpr std::string_view WEBM_MIME_ALIASES[] = {"audio/webm"};
constexpr std::string_view MKV_EXT_ALIASES[] = {".mk3d", ".mka", ".mks"};
constexpr std::string_view OGG_EXT_ALIASES[] = {".oga", ".opus", ".ogv"};
constexpr const MimeType* OGG_CHILDREN[] = {&OGG_AUDIO, &OGG_VIDEO};
constexpr std::string_view MP3_MIME_ALIASES[] = {"audio/x-mpeg", "audio/mp3"};
}  // namespace

constinit const MimeType MP4_PRECISE{"video/mp4", {}, ".mp4", {}, mp4_precise, MP4_PRECISE_CHILDREN};
constinit const MimeType AVIF_FORMAT{"image/avif", {}, ".avif", {}, avif_format, {}};
constinit const MimeType THREE_GPP{"video/3gpp", THREE_GPP_MIME_ALIASES, ".3gp", {}, three_gpp, {}};
constinit const MimeType THREE_GPP2{"video/3gpp2", THREE_GPP2_MIME_ALIASES, ".3g2", {}, three_gpp2, {}};
constinit const MimeType AMP4{"audio/mp4", AMP4_MIME_ALIASES, ".mp4", {}, amp4, {}};
constinit const MimeType M4V{"video/x-m4v", {}, ".m4v", {}, m4v, {}};
constinit const MimeType HEIC{"image/heic", {}, ".heic", {}, heic, {}};
constinit const MimeType HEIC_SEQ{"image/heic-sequence", {}, ".heic", {}, heic_seq, {}};
constinit const MimeType HEIF{"image/heif", {}, ".heif", {}, heif, {}};
constinit const MimeType HEIF_SEQ{"image/heif-sequence", {}, ".heif", {}, heif_seq, {}};
constinit const MimeType MJ2{"video/mj2", {}, ".mj2", {}, mj2, {}};
constinit const MimeType DVB{"video/vnd.dvb.file", {}, ".dvb", {}, dvb, {}};
constinit const MimeType QUICKTIME{"video/quicktime", {}, ".mov", {}, quicktime, {}};
constinit const MimeType MQV{"video/quicktime", {}, ".mqv", {}, mqv, {}};
constinit const MimeType WEBM{"video/webm", WEBM_MIME_ALIASES, ".webm", {}, webm, {}};
constinit const MimeType MKV{"video/x-matroska", {}, ".mkv", MKV_EXT_ALIASES, mkv, {}};
constinit const MimeType OGG{"application/ogg", {}, ".ogg", OGG_EXT_ALIASES, ogg, OGG_CHILDREN};
constinit const MimeType OGG_AUDIO{"audio/ogg", {}, ".oga", {}, ogg_audio, {}};
constinit const MimeType OGG_VIDEO{"video/ogg", {}, ".ogv", {}, ogg_video, {}};
constinit const MimeType MP3{"audio/mpeg", MP3_MIME_ALIASES, ".mp3", {}, mp3, {}};
constinit const MimeType MPEG{"video/mpeg", {}, ".mpeg", {}, mpeg, {}};
constinit const MimeType AAC{"audio/aac", {}, ".aac", {}, aac, {}};

}  // namespace taxon
