// The root of the type tree and the priority order of the first level.
#include "first_level.hpp"
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

bool root(const View&) noexcept { return true; }

// Lead bytes of a view that can be UTF-8 text: ASCII other than the refused
// control bytes, and the lead bytes of multi-byte sequences.
constexpr ByteSet UTF8_LEAD = of({0x09, 0x0A, 0x0C, 0x0D, 0x1B}) | range(0x20, 0x7F) | range(0xC2, 0xF4);

// First-level types in the order the walk tries them: of two that would both
// accept a buffer, the earlier one wins. Each comes with the first bytes of
// the views its matcher can accept (ANY when its test does not fix byte 0),
// from which the walk's dispatch table is built.
constexpr FirstLevelEntry FIRST_LEVEL[] = {
    {&XPM,                of("/")},
    {&SEVEN_Z,            of("7")},
    {&ZIP,                of("P")},
    {&PDF,                of("%")},
    {&FDF,                of("%")},
    {&OLE,                of({0xD0})},
    {&UTF8_BOM,           of({0xEF})},
    {&UTF16_BE,           of({0xFE})},
    {&UTF16_LE,           of({0xFF})},
    {&PS,                 of("%")},
    {&PSD,                of("8")},
    {&PBM,                of("P")},
    {&PGM,                of("P")},
    {&PPM,                of("P")},
    {&PAM,                of("P")},
    {&P7S,                of("-")},
    {&OGG,                of("O")},
    {&PNG,                of({0x89})},
    {&JPG,                of({0xFF})},
    {&JXL,                of({0xFF, 0x00})},
    {&JP2,                ANY},
    {&JPX,                ANY},
    {&JPM,                ANY},
    {&JXS,                of({0x00})},
    {&GIF,                of("G")},
    {&WEBP,               of("R")},
    {&EXE,                of("M")},
    {&ELF,                of({0x7F})},
    {&AR,                 of("!")},
    {&TAR,                ANY},
    {&XAR,                of("x")},
    {&BZ2,                of("B")},
    {&FITS,               of("S")},
    {&TIFF,               of("IM")},
    {&BMP,                of("B")},
    {&LOTUS123,           ANY},
    {&ICO,                of({0x00})},
    {&MP3,                of({'I', 0xFF})},
    {&FLAC,               of("f")},
    {&MIDI,               of("M")},
    {&APE,                of("M")},
    {&MUSEPACK,           of("M")},
    {&AMR,                of("#")},
    {&WAV,                of("R")},
    {&AIFF,               of("F")},
    {&AU,                 of(".")},
    {&MPEG,               of({0x00})},
    {&QUICKTIME,          ANY},
    {&MQV,                ANY},
    {&MP4_PRECISE,        of({0x00})},
    {&WEBM,               of({0x1A})},
    {&AVI,                of("R")},
    {&FLV,                of("F")},
    {&MKV,                of({0x1A})},
    {&ASF,                of({0x30})},
    {&AAC,                of({0xFF})},
    {&VOC,                of("C")},
    {&M3U,                of("#")},
    {&RMVB,               of(".")},
    {&GZIP,               of({0x1F})},
    {&CLASS,              of({0xCA})},
    {&SWF,                of("FCZ")},
    {&CRX,                of("C")},
    {&TTF,                of({0x00, 't'})},
    {&WOFF,               of("w")},
    {&WOFF2,              of("w")},
    {&OTF,                of("O")},
    {&TTC,                of("t")},
    {&EOT,                ANY},
    {&WASM,               of({0x00})},
    {&SHX,                of({0x00})},
    {&DBF,                of({0x02, 0x03, 0x04, 0x05, 0x30, 0x31, 0x32, 0x83, 0x8B, 0x8E, 0xF5})},
    {&DCM,                ANY},
    {&RAR,                of("R")},
    {&DJVU,               of("A")},
    {&LIT,                of("I")},
    {&BPG,                of("B")},
    {&CBOR_FORMAT,        of({0xD9})},
    {&SQLITE3,            of("S")},
    {&DWG,                of("A")},
    {&NES,                of("N")},
    {&LNK,                of("L")},
    {&MACHO,              of({0xCE, 0xCF, 0xFE, 0xBE})},
    {&QCP,                of("R")},
    {&ICNS,               of("i")},
    {&HDR,                of("#")},
    {&HDF,                of({0x89, 0x0E})},
    {&MRC,                ANY},
    {&MDB,                ANY},
    {&ACCDB,              ANY},
    {&ZSTD,               range(0x22, 0x28) | range(0x50, 0x5F)},
    {&CAB,                of("M")},
    {&CHM,                of("I")},
    {&RPM,                of({0xED})},
    {&XZ,                 of({0xFD})},
    {&LZIP,               of("L")},
    {&TORRENT,            of("d")},
    {&CPIO,               of("0")},
    {&TZIF,               of("T")},
    {&XCF,                of("g")},
    {&PAT,                ANY},
    {&GBR,                ANY},
    {&GLB,                of("g")},
    {&INSTALL_SHIELD_CAB, of("I")},
    {&JXR,                of("I")},
    {&PARQUET,            of("P")},
    {&UTF8,               UTF8_LEAD},
};

constexpr auto ROOT_CHILDREN = records_of(FIRST_LEVEL);

}  // namespace

constinit const MimeType ROOT{"application/octet-stream", {}, "", {}, root, ROOT_CHILDREN};

constinit const FirstLevelTable FIRST_LEVEL_BY_BYTE = dispatch_table(FIRST_LEVEL);

}  // namespace taxon
