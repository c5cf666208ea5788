// Types told by constant bytes at fixed places in the header.
//
// A matcher belongs here when its test is a length check and comparisons of
// the view's bytes with constants: a few alternatives at most, or the absence
// of another type's constant, at any fixed offset. A test that reads a field
// as a number to find or sum something, scans a run of bytes or looks a value
// up in a table parses the header: it belongs in binary.cpp.
#include "signatures.hpp"

namespace taxon {

using namespace std::literals;

// Every matcher here is a length check followed by a few fixed comparisons
// near the start of the view: they run for nearly every buffer the walk
// sees, so they stay branch-light and never loop.

namespace {

// Signatures holding bytes that are easy to mistype as escapes; the sizes
// pin them down.
constexpr auto PNG_SIG = "\x89PNG\r\n\x1A\n"sv;
constexpr auto JXS_SIG = "\0\0\0\x0C" "JXS \r\n\x87\n"sv;
constexpr auto APE_SIG = "MAC \x96\x0F\0\0" "4\0\0\0" "\x18\0\0\0" "\x90\xE3"sv;
constexpr auto ASF_SIG = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv;
constexpr auto RAR4_SIG = "Rar!\x1A\x07\0"sv;
constexpr auto RAR5_SIG = "Rar!\x1A\x07\x01\0"sv;
constexpr auto SEVEN_Z_SIG = "7z\xBC\xAF\x27\x1C"sv;
constexpr auto XZ_SIG = "\xFD" "7zXZ\0"sv;
constexpr auto CHM_SIG = "ITSF\x03\0\0\0"sv;
static_assert(PNG_SIG.size() == 8 && JXS_SIG.size() == 12 && APE_SIG.size() == 18 && ASF_SIG.size() == 16);
static_assert(RAR4_SIG.size() == 7 && RAR5_SIG.size() == 8 && SEVEN_Z_SIG.size() == 6 && XZ_SIG.size() == 6);
static_assert(CHM_SIG.size() == 8);
constexpr auto ELF_MAGIC = "\x7F" "ELF"sv;
constexpr auto JXL_BOX = "\0\0\0\x0C" "JXL \r\n\x87\n"sv;
constexpr auto HDF5_SIG = "\x89" "HDF\r\n\x1A\n"sv;
constexpr auto LNK_SIG = "L\0\0\0\x01\x14\x02\0"sv;
static_assert(ELF_MAGIC.size() == 4 && JXL_BOX.size() == 12 && HDF5_SIG.size() == 8 && LNK_SIG.size() == 8);

// A RIFF or IFF container whose form type at offset 8 is `form`.
bool riff_form(const View& v, std::string_view magic, std::string_view form) noexcept {
    return v.size >= 12 && v.starts_with(magic) && v.has_at(8, form);
}

// "P" followed by one of two digits: the plain and raw forms of a portable map.
bool netpbm(const View& v, std::uint8_t plain, std::uint8_t raw) noexcept {
    return v.size >= 2 && v[0] == 'P' && (v[1] == plain || v[1] == raw);
}

// An ELF header of the given object-file type (little-endian e_type).
bool elf_type(const View& v, std::uint8_t type) noexcept {
    return v.size >= 18 && v.starts_with(ELF_MAGIC) && v[16] == type && v[17] == 0;
}

// JPEG 2000 family: a signature box ("jP  ", or "jP2 " in some old writers)
// then a file-type box whose brand at offset 20 names the variant.
bool jpeg2000(const View& v, std::string_view brand) noexcept {
    return v.size >= 24 && (v.has_at(4, "jP  ") || v.has_at(4, "jP2 ")) && v.has_at(20, brand);
}

// Images

bool bmp(const View& v) noexcept { return v.starts_with("BM"); }
bool bpg(const View& v) noexcept { return v.starts_with("BPG\xFB"); }
bool gif(const View& v) noexcept { return v.starts_with("GIF87a") || v.starts_with("GIF89a"); }
bool hdr(const View& v) noexcept { return v.starts_with("#?RADIANCE\n"); }
bool ico(const View& v) noexcept { return v.starts_with("\0\0\x01\0"sv); }
bool icns(const View& v) noexcept { return v.starts_with("icns"); }
bool jpg(const View& v) noexcept { return v.starts_with("\xFF\xD8\xFF"); }
bool jxr(const View& v) noexcept { return v.starts_with("II\xBC\x01"); }
bool jxs(const View& v) noexcept { return v.starts_with(JXS_SIG); }
bool png(const View& v) noexcept { return v.starts_with(PNG_SIG); }
// Offset 37 is the type of the second chunk when the first is the 13-byte
// IHDR; an animated PNG puts its acTL chunk there.
bool apng(const View& v) noexcept { return v.size >= 41 && v.starts_with(PNG_SIG) && v.has_at(37, "acTL"); }
bool pam(const View& v) noexcept { return v.starts_with("P7"); }
bool pbm(const View& v) noexcept { return netpbm(v, '1', '4'); }
bool pgm(const View& v) noexcept { return netpbm(v, '2', '5'); }
bool ppm(const View& v) noexcept { return netpbm(v, '3', '6'); }
bool psd(const View& v) noexcept { return v.starts_with("8BPS"); }
bool xcf(const View& v) noexcept { return v.starts_with("gimp xcf"); }
bool xpm(const View& v) noexcept { return v.starts_with("/* XPM */"); }
// GIMP brushes and patterns carry their magic after a 20-byte header and
// need at least one byte past it.
bool gbr(const View& v) noexcept { return v.size >= 25 && v.has_at(20, "GIMP"); }
bool pat(const View& v) noexcept { return v.size >= 25 && v.has_at(20, "GPAT"); }
bool webp(const View& v) noexcept { return riff_form(v, "RIFF", "WEBP"); }
bool tiff(const View& v) noexcept { return v.starts_with("II\x2A\0"sv) || v.starts_with("MM\0\x2A"sv); }
bool djvu(const View& v) noexcept { return v.size >= 16 && v.starts_with("AT&TFORM") && v.has_at(12, "DJVU"); }
// A bare JPEG XL codestream, or the container's signature box.
bool jxl(const View& v) noexcept { return v.starts_with("\xFF\x0A") || v.starts_with(JXL_BOX); }
bool jp2(const View& v) noexcept { return jpeg2000(v, "jp2 "); }
bool jpm(const View& v) noexcept { return jpeg2000(v, "jpm "); }
bool jpx(const View& v) noexcept { return jpeg2000(v, "jpx "); }

// Audio and video

bool au(const View& v) noexcept { return v.starts_with(".snd"); }
bool amr(const View& v) noexcept { return v.starts_with("#!AMR"); }
bool ape(const View& v) noexcept { return v.starts_with(APE_SIG); }
bool asf(const View& v) noexcept { return v.starts_with(ASF_SIG); }
bool avi(const View& v) noexcept { return v.size >= 17 && v.starts_with("RIFF") && v.has_at(8, "AVI LIST"); }
bool flv(const View& v) noexcept { return v.starts_with("FLV"); }
bool qcp(const View& v) noexcept { return riff_form(v, "RIFF", "QLCM"); }
bool voc(const View& v) noexcept { return v.starts_with("Creative Voice File"); }
bool wav(const View& v) noexcept { return riff_form(v, "RIFF", "WAVE"); }
bool aiff(const View& v) noexcept { return riff_form(v, "FORM", "AIFF"); }
bool flac(const View& v) noexcept { return v.starts_with("fLaC"); }
bool midi(const View& v) noexcept { return v.starts_with("MThd"); }
bool rmvb(const View& v) noexcept { return v.starts_with(".RMF"); }
bool musepack(const View& v) noexcept { return v.starts_with("MPCK"); }

// Archives and compressed streams

bool bz2(const View& v) noexcept { return v.starts_with("BZ"); }
bool cab(const View& v) noexcept { return v.starts_with("MSCF"); }
bool gzip(const View& v) noexcept { return v.starts_with("\x1F\x8B"); }
bool lzip(const View& v) noexcept { return v.starts_with("LZIP"); }
// RAR 1.5-4.x and RAR 5 signatures differ in length.
bool rar(const View& v) noexcept { return v.starts_with(RAR4_SIG) || v.starts_with(RAR5_SIG); }
bool rpm(const View& v) noexcept { return v.starts_with("\xED\xAB\xEE\xDB"); }
bool seven_z(const View& v) noexcept { return v.starts_with(SEVEN_Z_SIG); }
bool xar(const View& v) noexcept { return v.starts_with("xar!"); }
bool xz(const View& v) noexcept { return v.starts_with(XZ_SIG); }
// Little-endian magic 0xFD2FB522..0xFD2FB528 (frames of the format's
// versions) or 0x184D2A50..0x184D2A5F (skippable frames).
bool zstd(const View& v) noexcept {
    if (v.size < 4) return false;
    const std::uint8_t b = v[0];
    return (b >= 0x22 && b <= 0x28 && v.has_at(1, "\xB5\x2F\xFD")) ||
           (b >= 0x50 && b <= 0x5F && v.has_at(1, "\x2A\x4D\x18"));
}

// New ASCII, new ASCII with CRC, and old portable ASCII headers.
bool cpio(const View& v) noexcept {
    return v.size >= 6 && v.starts_with("07070") && (v[5] == '1' || v[5] == '2' || v[5] == '7');
}

bool ar(const View& v) noexcept { return v.starts_with("!<arch>"); }
// A Debian package is an ar archive whose first member is "debian-binary".
bool deb(const View& v) noexcept { return v.size >= 22 && v.has_at(8, "debian-binary"); }
// InstallShield cabinet: "ISc(", then a version whose byte 7 is 1, 2 or 4.
bool install_shield_cab(const View& v) noexcept {
    return v.size >= 8 && v.starts_with("ISc(") && v[6] == 0 && (v[7] == 1 || v[7] == 2 || v[7] == 4);
}

// Executables and bytecode

bool exe(const View& v) noexcept { return v.starts_with("MZ"); }
// A matcher is named after its record in lower case; `class` is a keyword.
bool class_file(const View& v) noexcept { return v.starts_with("\xCA\xFE\xBA\xBE"); }
bool wasm(const View& v) noexcept { return v.starts_with("\0asm"sv); }
// Uncompressed, zlib- and LZMA-compressed Flash.
bool swf(const View& v) noexcept {
    return v.size >= 3 && (v[0] == 'F' || v[0] == 'C' || v[0] == 'Z') && v.has_at(1, "WS");
}

bool nes(const View& v) noexcept { return v.starts_with("NES\x1A"); }
bool elf(const View& v) noexcept { return v.starts_with(ELF_MAGIC); }
bool elf_obj(const View& v) noexcept { return elf_type(v, 1); }
bool elf_exe(const View& v) noexcept { return elf_type(v, 2); }
bool elf_lib(const View& v) noexcept { return elf_type(v, 3); }
bool elf_dump(const View& v) noexcept { return elf_type(v, 4); }
// 32- and 64-bit Mach-O in either byte order, and the little-endian form of
// the fat header (the big-endian one is shared with Java class files).
bool macho(const View& v) noexcept {
    if (v.size < 4) return false;
    const std::uint32_t magic = v.be32(0);
    return magic == 0xCEFAEDFE || magic == 0xCFFAEDFE || magic == 0xFEEDFACE || magic == 0xFEEDFACF ||
           magic == 0xBEBAFECA;
}

bool lnk(const View& v) noexcept { return v.starts_with(LNK_SIG); }

// Fonts

bool otf(const View& v) noexcept { return v.starts_with("OTTO"); }
bool ttc(const View& v) noexcept { return v.starts_with("ttcf"); }
bool woff(const View& v) noexcept { return v.starts_with("wOFF"); }
bool woff2(const View& v) noexcept { return v.starts_with("wOF2"); }
// TrueType outlines (00 01 00 00, or Apple's "true"), or a PostScript Type 1
// wrapped in sfnt. An Access database opens with 00 01 00 00 as well and
// names its engine right after; leave those to the Access records.
bool ttf(const View& v) noexcept {
    if (!(v.starts_with("\0\x01\0\0"sv) || v.starts_with("true") || v.starts_with("typ1"))) return false;
    return !(v.has_at(4, "Standard Jet DB") || v.has_at(4, "Standard ACE DB"));
}

// Embedded OpenType: the sizes come first, then the version at offset 8
// (1.0, 2.1 or 2.2, little-endian) and the "LP" magic at offset 34.
bool eot(const View& v) noexcept {
    if (v.size < 36 || !v.has_at(34, "LP")) return false;
    const std::uint32_t version = v.le32(8);
    return version == 0x00010000 || version == 0x00020001 || version == 0x00020002;
}

// Documents

bool pdf(const View& v) noexcept { return v.starts_with("%PDF-"); }
bool fdf(const View& v) noexcept { return v.starts_with("%FDF-"); }
bool ps(const View& v) noexcept { return v.starts_with("%!PS-Adobe-"); }
bool chm(const View& v) noexcept { return v.starts_with(CHM_SIG); }
bool lit(const View& v) noexcept { return v.starts_with("ITOLITLS"); }
// Only bytes 4-7 are looked at; the records tried before it keep this loose
// test from claiming files that have a signature of their own.
bool lotus123(const View& v) noexcept {
    return v.size >= 8 && (v.has_at(4, "\0\x02\0\0"sv) || v.has_at(4, "\0\x1A\0\0"sv));
}

// Databases

bool sqlite3(const View& v) noexcept { return v.starts_with("SQLite format 3\0"sv); }
// Access: Jet (MDB) and ACE (ACCDB) engines name themselves at offset 4.
bool accdb(const View& v) noexcept { return v.size >= 32 && v.has_at(4, "Standard ACE DB"); }
bool mdb(const View& v) noexcept { return v.size >= 32 && v.has_at(4, "Standard Jet DB"); }
// MARC 21 leader: indicator and subfield-code counts "22", and the entry map
// "4500" at its end.
bool mrc(const View& v) noexcept { return v.size >= 24 && v[10] == '2' && v[11] == '2' && v.has_at(20, "4500"); }

// Other data

bool parquet(const View& v) noexcept { return v.starts_with("PAR1"); }
bool shx(const View& v) noexcept { return v.starts_with("\0\0\x27\x0A"sv); }
// Shapefiles share the index's file code; a main file always has its full
// 100-byte header, which is what tells the two apart.
bool shp(const View& v) noexcept { return v.size >= 100 && v.starts_with("\0\0\x27\x0A"sv); }
bool tzif(const View& v) noexcept { return v.starts_with("TZif"); }
bool p7s(const View& v) noexcept { return v.starts_with("-----BEGIN PKCS7-----"); }
// A bencoded dictionary whose first key is one a torrent starts with.
bool torrent(const View& v) noexcept {
    return v.starts_with("d8:announce") || v.starts_with("d7:comment") || v.starts_with("d4:info");
}

bool cbor_format(const View& v) noexcept { return v.starts_with("\xD9\xD9\xF7"); }
bool glb(const View& v) noexcept { return v.starts_with("glTF\x02\0\0\0"sv) || v.starts_with("glTF\x01\0\0\0"sv); }
bool fits(const View& v) noexcept { return v.starts_with("SIMPLE  =                    T"); }
// HDF5, or the older HDF4.
bool hdf(const View& v) noexcept { return v.starts_with(HDF5_SIG) || v.starts_with("\x0E\x03\x13\x01"); }
// DICOM: a 128-byte preamble, then "DICM".
bool dcm(const View& v) noexcept { return v.size >= 132 && v.has_at(128, "DICM"); }

}  // namespace

// Records

namespace {
constexpr std::string_view BMP_MIME_ALIASES[] = {"image/x-bmp", "image/x-ms-bmp"};
constexpr std::string_view BMP_EXT_ALIASES[] = {".dib"};
constexpr std::string_view JPG_EXT_ALIASES[] = {".jpeg", ".jpe", ".jif", ".jfif", ".jfi"};
constexpr std::string_view JXR_MIME_ALIASES[] = {"image/vnd.ms-photo"};
constexpr const MimeType* PNG_CHILDREN[] = {&APNG};
constexpr std::string_view PSD_MIME_ALIASES[] = {"image/x-psd", "application/photoshop"};
constexpr std::string_view TIFF_EXT_ALIASES[] = {".tif"};
constexpr std::string_view JPM_MIME_ALIASES[] = {"video/jpm"};
constexpr std::string_view AU_EXT_ALIASES[] = {".snd"};
constexpr std::string_view AMR_MIME_ALIASES[] = {"audio/amr-nb"};
constexpr std::string_view ASF_MIME_ALIASES[] = {"video/asf", "video/x-ms-wmv"};
constexpr std::string_view AVI_MIME_ALIASES[] = {"video/avi", "video/msvideo"};
constexpr std::string_view WAV_MIME_ALIASES[] = {"audio/x-wav", "audio/vnd.wave", "audio/wave"};
constexpr std::string_view AIFF_EXT_ALIASES[] = {".aif"};
constexpr std::string_view MIDI_MIME_ALIASES[] = {"audio/mid"};
constexpr std::string_view MIDI_EXT_ALIASES[] = {".mid"};
constexpr std::string_view GZIP_MIME_ALIASES[] = {"application/x-gzip", "application/x-gunzip", "application/gzipped", "application/gzip-compressed", "application/x-gzip-compressed", "gzip/document"};
constexpr std::string_view GZIP_EXT_ALIASES[] = {".tgz", ".taz"};
constexpr std::string_view LZIP_MIME_ALIASES[] = {"application/x-lzip"};
constexpr std::string_view RAR_MIME_ALIASES[] = {"application/x-rar"};
constexpr std::string_view AR_MIME_ALIASES[] = {"application/x-unix-archive"};
constexpr std::string_view AR_EXT_ALIASES[] = {".deb"};
constexpr const MimeType* AR_CHILDREN[] = {&DEB};
constexpr std::string_view CLASS_MIME_ALIASES[] = {"application/x-java-applet"};
constexpr std::string_view ELF_EXT_ALIASES[] = {".so"};
constexpr const MimeType* ELF_CHILDREN[] = {&ELF_OBJ, &ELF_EXE, &ELF_LIB, &ELF_DUMP};
constexpr std::string_view TTF_MIME_ALIASES[] = {"font/sfnt", "application/x-font-ttf", "application/font-sfnt"};
constexpr std::string_view PDF_MIME_ALIASES[] = {"application/x-pdf"};
constexpr std::string_view SQLITE3_MIME_ALIASES[] = {"application/x-sqlite3"};
constexpr std::string_view PARQUET_MIME_ALIASES[] = {"application/x-parquet"};
constexpr const MimeType* SHX_CHILDREN[] = {&SHP};
constexpr std::string_view FITS_MIME_ALIASES[] = {"image/fits"};
}  // namespace

constinit const MimeType BMP{"image/bmp", BMP_MIME_ALIASES, ".bmp", BMP_EXT_ALIASES, bmp, {}};
constinit const MimeType BPG{"image/bpg", {}, ".bpg", {}, bpg, {}};
constinit const MimeType GIF{"image/gif", {}, ".gif", {}, gif, {}};
constinit const MimeType HDR{"image/vnd.radiance", {}, ".hdr", {}, hdr, {}};
constinit const MimeType ICO{"image/x-icon", {}, ".ico", {}, ico, {}};
constinit const MimeType ICNS{"image/x-icns", {}, ".icns", {}, icns, {}};
constinit const MimeType JPG{"image/jpeg", {}, ".jpg", JPG_EXT_ALIASES, jpg, {}};
constinit const MimeType JXR{"image/jxr", JXR_MIME_ALIASES, ".jxr", {}, jxr, {}};
constinit const MimeType JXS{"image/jxs", {}, ".jxs", {}, jxs, {}};
constinit const MimeType PNG{"image/png", {}, ".png", {}, png, PNG_CHILDREN};
constinit const MimeType APNG{"image/vnd.mozilla.apng", {}, ".apng", {}, apng, {}};
constinit const MimeType PAM{"image/x-portable-arbitrarymap", {}, ".pam", {}, pam, {}};
constinit const MimeType PBM{"image/x-portable-bitmap", {}, ".pbm", {}, pbm, {}};
constinit const MimeType PGM{"image/x-portable-graymap", {}, ".pgm", {}, pgm, {}};
constinit const MimeType PPM{"image/x-portable-pixmap", {}, ".ppm", {}, ppm, {}};
constinit const MimeType PSD{"image/vnd.adobe.photoshop", PSD_MIME_ALIASES, ".psd", {}, psd, {}};
constinit const MimeType XCF{"image/x-xcf", {}, ".xcf", {}, xcf, {}};
constinit const MimeType XPM{"image/x-xpixmap", {}, ".xpm", {}, xpm, {}};
constinit const MimeType GBR{"image/x-gimp-gbr", {}, ".gbr", {}, gbr, {}};
constinit const MimeType PAT{"image/x-gimp-pat", {}, ".pat", {}, pat, {}};
constinit const MimeType WEBP{"image/webp", {}, ".webp", {}, webp, {}};
constinit const MimeType TIFF{"image/tiff", {}, ".tiff", TIFF_EXT_ALIASES, tiff, {}};
constinit const MimeType DJVU{"image/vnd.djvu", {}, ".djvu", {}, djvu, {}};
constinit const MimeType JXL{"image/jxl", {}, ".jxl", {}, jxl, {}};
constinit const MimeType JP2{"image/jp2", {}, ".jp2", {}, jp2, {}};
constinit const MimeType JPM{"image/jpm", JPM_MIME_ALIASES, ".jpm", {}, jpm, {}};
constinit const MimeType JPX{"image/jpx", {}, ".jpx", {}, jpx, {}};
constinit const MimeType AU{"audio/basic", {}, ".au", AU_EXT_ALIASES, au, {}};
constinit const MimeType AMR{"audio/amr", AMR_MIME_ALIASES, ".amr", {}, amr, {}};
constinit const MimeType APE{"audio/ape", {}, ".ape", {}, ape, {}};
constinit const MimeType ASF{"video/x-ms-asf", ASF_MIME_ALIASES, ".asf", {}, asf, {}};
constinit const MimeType AVI{"video/x-msvideo", AVI_MIME_ALIASES, ".avi", {}, avi, {}};
constinit const MimeType FLV{"video/x-flv", {}, ".flv", {}, flv, {}};
constinit const MimeType QCP{"audio/qcelp", {}, ".qcp", {}, qcp, {}};
constinit const MimeType VOC{"audio/x-unknown", {}, ".voc", {}, voc, {}};
constinit const MimeType WAV{"audio/wav", WAV_MIME_ALIASES, ".wav", {}, wav, {}};
constinit const MimeType AIFF{"audio/aiff", {}, ".aiff", AIFF_EXT_ALIASES, aiff, {}};
constinit const MimeType FLAC{"audio/flac", {}, ".flac", {}, flac, {}};
constinit const MimeType MIDI{"audio/midi", MIDI_MIME_ALIASES, ".midi", MIDI_EXT_ALIASES, midi, {}};
constinit const MimeType RMVB{"application/vnd.rn-realmedia-vbr", {}, ".rmvb", {}, rmvb, {}};
constinit const MimeType MUSEPACK{"audio/musepack", {}, ".mpc", {}, musepack, {}};
constinit const MimeType BZ2{"application/x-bzip2", {}, ".bz2", {}, bz2, {}};
constinit const MimeType CAB{"application/vnd.ms-cab-compressed", {}, ".cab", {}, cab, {}};
constinit const MimeType GZIP{"application/gzip", GZIP_MIME_ALIASES, ".gz", GZIP_EXT_ALIASES, gzip, {}};
constinit const MimeType LZIP{"application/lzip", LZIP_MIME_ALIASES, ".lz", {}, lzip, {}};
constinit const MimeType RAR{"application/x-rar-compressed", RAR_MIME_ALIASES, ".rar", {}, rar, {}};
constinit const MimeType RPM{"application/x-rpm", {}, ".rpm", {}, rpm, {}};
constinit const MimeType SEVEN_Z{"application/x-7z-compressed", {}, ".7z", {}, seven_z, {}};
constinit const MimeType XAR{"application/x-xar", {}, ".xar", {}, xar, {}};
constinit const MimeType XZ{"application/x-xz", {}, ".xz", {}, xz, {}};
constinit const MimeType ZSTD{"application/zstd", {}, ".zst", {}, zstd, {}};
constinit const MimeType CPIO{"application/x-cpio", {}, ".cpio", {}, cpio, {}};
constinit const MimeType AR{"application/x-archive", AR_MIME_ALIASES, ".a", AR_EXT_ALIASES, ar, AR_CHILDREN};
constinit const MimeType DEB{"application/vnd.debian.binary-package", {}, ".deb", {}, deb, {}};
constinit const MimeType INSTALL_SHIELD_CAB{"application/x-installshield", {}, ".cab", {}, install_shield_cab, {}};
constinit const MimeType EXE{"application/vnd.microsoft.portable-executable", {}, ".exe", {}, exe, {}};
constinit const MimeType CLASS{"application/x-java-applet; charset=binary", CLASS_MIME_ALIASES, ".class", {}, class_file, {}};
constinit const MimeType WASM{"application/wasm", {}, ".wasm", {}, wasm, {}};
constinit const MimeType SWF{"application/x-shockwave-flash", {}, ".swf", {}, swf, {}};
constinit const MimeType NES{"application/vnd.nintendo.snes.rom", {}, ".nes", {}, nes, {}};
constinit const MimeType ELF{"application/x-elf", {}, "", ELF_EXT_ALIASES, elf, ELF_CHILDREN};
constinit const MimeType ELF_OBJ{"application/x-object", {}, "", {}, elf_obj, {}};
constinit const MimeType ELF_EXE{"application/x-executable", {}, "", {}, elf_exe, {}};
constinit const MimeType ELF_LIB{"application/x-sharedlib", {}, ".so", {}, elf_lib, {}};
constinit const MimeType ELF_DUMP{"application/x-coredump", {}, "", {}, elf_dump, {}};
constinit const MimeType MACHO{"application/x-mach-binary", {}, ".macho", {}, macho, {}};
constinit const MimeType LNK{"application/x-ms-shortcut", {}, ".lnk", {}, lnk, {}};
constinit const MimeType OTF{"font/otf", {}, ".otf", {}, otf, {}};
constinit const MimeType TTC{"font/collection", {}, ".ttc", {}, ttc, {}};
constinit const MimeType WOFF{"font/woff", {}, ".woff", {}, woff, {}};
constinit const MimeType WOFF2{"font/woff2", {}, ".woff2", {}, woff2, {}};
constinit const MimeType TTF{"font/ttf", TTF_MIME_ALIASES, ".ttf", {}, ttf, {}};
constinit const MimeType EOT{"application/vnd.ms-fontobject", {}, ".eot", {}, eot, {}};
constinit const MimeType PDF{"application/pdf", PDF_MIME_ALIASES, ".pdf", {}, pdf, {}};
constinit const MimeType FDF{"application/vnd.fdf", {}, ".fdf", {}, fdf, {}};
constinit const MimeType PS{"application/postscript", {}, ".ps", {}, ps, {}};
constinit const MimeType CHM{"application/vnd.ms-htmlhelp", {}, ".chm", {}, chm, {}};
constinit const MimeType LIT{"application/x-ms-reader", {}, ".lit", {}, lit, {}};
constinit const MimeType LOTUS123{"application/vnd.lotus-1-2-3", {}, ".123", {}, lotus123, {}};
constinit const MimeType SQLITE3{"application/vnd.sqlite3", SQLITE3_MIME_ALIASES, ".sqlite", {}, sqlite3, {}};
constinit const MimeType ACCDB{"application/x-msaccess", {}, ".accdb", {}, accdb, {}};
constinit const MimeType MDB{"application/x-msaccess", {}, ".mdb", {}, mdb, {}};
constinit const MimeType MRC{"application/marc", {}, ".mrc", {}, mrc, {}};
constinit const MimeType PARQUET{"application/vnd.apache.parquet", PARQUET_MIME_ALIASES, ".parquet", {}, parquet, {}};
constinit const MimeType SHX{"application/vnd.shx", {}, ".shx", {}, shx, SHX_CHILDREN};
constinit const MimeType SHP{"application/vnd.shp", {}, ".shp", {}, shp, {}};
constinit const MimeType TZIF{"application/tzif", {}, "", {}, tzif, {}};
constinit const MimeType P7S{"application/pkcs7-signature", {}, ".p7s", {}, p7s, {}};
constinit const MimeType TORRENT{"application/x-bittorrent", {}, ".torrent", {}, torrent, {}};
constinit const MimeType CBOR_FORMAT{"application/cbor", {}, ".cbor", {}, cbor_format, {}};
constinit const MimeType GLB{"model/gltf-binary", {}, ".glb", {}, glb, {}};
constinit const MimeType FITS{"application/fits", FITS_MIME_ALIASES, ".fits", {}, fits, {}};
constinit const MimeType HDF{"application/x-hdf", {}, ".hdf", {}, hdf, {}};
constinit const MimeType DCM{"application/dicom", {}, ".dcm", {}, dcm, {}};

}  // namespace taxon
