// Media containers: ISO base media, EBML, Ogg and raw MPEG streams.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType MP4_PRECISE;
extern const MimeType AVIF_FORMAT;
extern const MimeType THREE_GPP;
extern const MimeType THREE_GPP2;
extern const MimeType AMP4;
extern const MimeType M4V;
extern const MimeType HEIC;
extern const MimeType HEIC_SEQ;
extern const MimeType HEIF;
extern const MimeType HEIF_SEQ;
extern const MimeType MJ2;
extern const MimeType DVB;
extern const MimeType QUICKTIME;
extern const MimeType MQV;
extern const MimeType WEBM;
extern const MimeType MKV;
extern const MimeType OGG;
extern const MimeType OGG_AUDIO;
extern const MimeType OGG_VIDEO;
extern const MimeType MP3;
extern const MimeType MPEG;
extern const MimeType AAC;

bool mp4_precise(const View& v) noexcept;
bool avif_format(const View& v) noexcept;
bool three_gpp(const View& v) noexcept;
bool three_gpp2(const View& v) noexcept;
bool amp4(const View& v) noexcept;
bool m4v(const View& v) noexcept;
bool heic(const View& v) noexcept;
bool heic_sequence(const View& v) noexcept;
bool heif(const View& v) noexcept;
bool heif_sequence(const View& v) noexcept;
bool mj2(const View& v) noexcept;
bool dvb(const View& v) noexcept;
bool quicktime(const View& v) noexcept;
bool mqv(const View& v) noexcept;
bool webm(const View& v) noexcept;
bool mkv(const View& v) noexcept;
bool ogg(const View& v) noexcept;
bool ogg_audio(const View& v) noexcept;
bool ogg_video(const View& v) noexcept;
bool mp3(const View& v) noexcept;
bool mpeg(const View& v) noexcept;
bool aac(const View& v) noexcept;

}  // namespace taxon
