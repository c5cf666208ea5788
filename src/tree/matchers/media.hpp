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

}  // namespace taxon
