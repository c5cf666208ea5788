// The root of the type tree and the priority order of the first level.
#include "mime_type.hpp"
#include "matchers/binary.hpp"
#include "matchers/encodings.hpp"
#include "matchers/json.hpp"
#include "matchers/lines.hpp"
#include "matchers/markup.hpp"
#include "matchers/media.hpp"
#include "matchers/ole.hpp"
#include "matchers/scripts.hpp"
#include "matchers/signatures.hpp"
#include "matchers/utf16.hpp"
#include "matchers/zip.hpp"

namespace taxon {

namespace {

bool root(View) noexcept { return true; }

// First-level types in the order the walk tries them: of two that would both
// accept a buffer, the earlier one wins.
constexpr const MimeType* ROOT_CHILDREN[] = {
    &XPM,
    &SEVEN_Z,
    &ZIP,
    &PDF,
    &FDF,
    &OLE,
    &UTF8_BOM,
    &UTF16_BE,
    &UTF16_LE,
    &PS,
    &PSD,
    &PBM,
    &PGM,
    &PPM,
    &PAM,
    &P7S,
    &OGG,
    &PNG,
    &JPG,
    &JXL,
    &JP2,
    &JPX,
    &JPM,
    &JXS,
    &GIF,
    &WEBP,
    &EXE,
    &ELF,
    &AR,
    &TAR,
    &XAR,
    &BZ2,
    &FITS,
    &TIFF,
    &BMP,
    &LOTUS123,
    &ICO,
    &MP3,
    &FLAC,
    &MIDI,
    &APE,
    &MUSEPACK,
    &AMR,
    &WAV,
    &AIFF,
    &AU,
    &MPEG,
    &QUICKTIME,
    &MQV,
    &MP4_PRECISE,
    &WEBM,
    &AVI,
    &FLV,
    &MKV,
    &ASF,
    &AAC,
    &VOC,
    &M3U,
    &RMVB,
    &GZIP,
    &CLASS,
    &SWF,
    &CRX,
    &TTF,
    &WOFF,
    &WOFF2,
    &OTF,
    &TTC,
    &EOT,
    &WASM,
    &SHX,
    &DBF,
    &DCM,
    &RAR,
    &DJVU,
    &LIT,
    &BPG,
    &CBOR_FORMAT,
    &SQLITE3,
    &DWG,
    &NES,
    &LNK,
    &MACHO,
    &QCP,
    &ICNS,
    &HDR,
    &HDF,
    &MRC,
    &MDB,
    &ACCDB,
    &ZSTD,
    &CAB,
    &CHM,
    &RPM,
    &XZ,
    &LZIP,
    &TORRENT,
    &CPIO,
    &TZIF,
    &XCF,
    &PAT,
    &GBR,
    &GLB,
    &INSTALL_SHIELD_CAB,
    &JXR,
    &PARQUET,
    &UTF8,
};

}  // namespace

constinit const MimeType ROOT{"application/octet-stream", {}, "", {}, root, ROOT_CHILDREN};

}  // namespace taxon
