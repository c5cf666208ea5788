// Media containers: ISO base media, EBML, Ogg and raw MPEG streams.
#include "media.hpp"

namespace taxon {

bool mp4_precise(View) noexcept { return false; }  // not yet written
bool avif_format(View) noexcept { return false; }  // not yet written
bool three_gpp(View) noexcept { return false; }  // not yet written
bool three_gpp2(View) noexcept { return false; }  // not yet written
bool amp4(View) noexcept { return false; }  // not yet written
bool m4v(View) noexcept { return false; }  // not yet written
bool heic(View) noexcept { return false; }  // not yet written
bool heic_sequence(View) noexcept { return false; }  // not yet written
bool heif(View) noexcept { return false; }  // not yet written
bool heif_sequence(View) noexcept { return false; }  // not yet written
bool mj2(View) noexcept { return false; }  // not yet written
bool dvb(View) noexcept { return false; }  // not yet written
bool quicktime(View) noexcept { return false; }  // not yet written
bool mqv(View) noexcept { return false; }  // not yet written
bool webm(View) noexcept { return false; }  // not yet written
bool mkv(View) noexcept { return false; }  // not yet written
bool ogg(View) noexcept { return false; }  // not yet written
bool ogg_audio(View) noexcept { return false; }  // not yet written
bool ogg_video(View) noexcept { return false; }  // not yet written
bool mp3(View) noexcept { return false; }  // not yet written
bool mpeg(View) noexcept { return false; }  // not yet written
bool aac(View) noexcept { return false; }  // not yet written

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
constinit const MimeType HEIC_SEQ{"image/heic-sequence", {}, ".heic", {}, heic_sequence, {}};
constinit const MimeType HEIF{"image/heif", {}, ".heif", {}, heif, {}};
constinit const MimeType HEIF_SEQ{"image/heif-sequence", {}, ".heif", {}, heif_sequence, {}};
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
