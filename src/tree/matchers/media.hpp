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

bool mp4_precise(View v) noexcept;
bool avif_format(View v) noexcept;
bool three_gpp(View v) noexcept;
bool three_gpp2(View v) noexcept;
bool amp4(View v) noexcept;
bool m4v(View v) noexcept;
bool heic(View v) noexcept;
bool heic_sequence(View v) noexcept;
bool heif(View v) noexcept;
bool heif_sequence(View v) noexcept;
bool mj2(View v) noexcept;
bool dvb(View v) noexcept;
bool quicktime(View v) noexcept;
bool mqv(View v) noexcept;
bool webm(View v) noexcept;
bool mkv(View v) noexcept;
bool ogg(View v) noexcept;
bool ogg_audio(View v) noexcept;
bool ogg_video(View v) noexcept;
bool mp3(View v) noexcept;
bool mpeg(View v) noexcept;
bool aac(View v) noexcept;

}  // namespace taxon
