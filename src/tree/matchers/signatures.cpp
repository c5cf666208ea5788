// Fixed signatures: images, audio and video, archives, executables, fonts, documents.
#include "signatures.hpp"

namespace taxon {

bool bmp(View) noexcept { return false; }  // not yet written
bool bpg(View) noexcept { return false; }  // not yet written
bool gif(View) noexcept { return false; }  // not yet written
bool hdr(View) noexcept { return false; }  // not yet written
bool ico(View) noexcept { return false; }  // not yet written
bool icns(View) noexcept { return false; }  // not yet written
bool jpg(View) noexcept { return false; }  // not yet written
bool jxr(View) noexcept { return false; }  // not yet written
bool jxs(View) noexcept { return false; }  // not yet written
bool png(View) noexcept { return false; }  // not yet written
bool apng(View) noexcept { return false; }  // not yet written
bool pam(View) noexcept { return false; }  // not yet written
bool pbm(View) noexcept { return false; }  // not yet written
bool pgm(View) noexcept { return false; }  // not yet written
bool ppm(View) noexcept { return false; }  // not yet written
bool psd(View) noexcept { return false; }  // not yet written
bool xcf(View) noexcept { return false; }  // not yet written
bool xpm(View) noexcept { return false; }  // not yet written
bool gbr(View) noexcept { return false; }  // not yet written
bool pat(View) noexcept { return false; }  // not yet written
bool webp(View) noexcept { return false; }  // not yet written
bool au(View) noexcept { return false; }  // not yet written
bool amr(View) noexcept { return false; }  // not yet written
bool ape(View) noexcept { return false; }  // not yet written
bool asf(View) noexcept { return false; }  // not yet written
bool avi(View) noexcept { return false; }  // not yet written
bool flv(View) noexcept { return false; }  // not yet written
bool qcp(View) noexcept { return false; }  // not yet written
bool voc(View) noexcept { return false; }  // not yet written
bool wav(View) noexcept { return false; }  // not yet written
bool aiff(View) noexcept { return false; }  // not yet written
bool flac(View) noexcept { return false; }  // not yet written
bool midi(View) noexcept { return false; }  // not yet written
bool rmvb(View) noexcept { return false; }  // not yet written
bool musepack(View) noexcept { return false; }  // not yet written
bool bz2(View) noexcept { return false; }  // not yet written
bool cab(View) noexcept { return false; }  // not yet written
bool gzip(View) noexcept { return false; }  // not yet written
bool lzip(View) noexcept { return false; }  // not yet written
bool rar(View) noexcept { return false; }  // not yet written
bool rpm(View) noexcept { return false; }  // not yet written
bool seven_z(View) noexcept { return false; }  // not yet written
bool xar(View) noexcept { return false; }  // not yet written
bool xz(View) noexcept { return false; }  // not yet written
bool zstd(View) noexcept { return false; }  // not yet written
bool exe(View) noexcept { return false; }  // not yet written
bool class_file(View) noexcept { return false; }  // not yet written
bool wasm(View) noexcept { return false; }  // not yet written
bool swf(View) noexcept { return false; }  // not yet written
bool nes(View) noexcept { return false; }  // not yet written
bool otf(View) noexcept { return false; }  // not yet written
bool ttc(View) noexcept { return false; }  // not yet written
bool woff(View) noexcept { return false; }  // not yet written
bool woff2(View) noexcept { return false; }  // not yet written
bool pdf(View) noexcept { return false; }  // not yet written
bool fdf(View) noexcept { return false; }  // not yet written
bool ps(View) noexcept { return false; }  // not yet written
bool chm(View) noexcept { return false; }  // not yet written
bool lit(View) noexcept { return false; }  // not yet written
bool lotus123(View) noexcept { return false; }  // not yet written
bool parquet(View) noexcept { return false; }  // not yet written
bool shx(View) noexcept { return false; }  // not yet written
bool shp(View) noexcept { return false; }  // not yet written
bool tzif(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view BMP_MIME_ALIASES[] = {"image/x-bmp", "image/x-ms-bmp"};
constexpr std::string_view BMP_EXT_ALIASES[] = {".dib"};
constexpr std::string_view JPG_EXT_ALIASES[] = {".jpeg", ".jpe", ".jif", ".jfif", ".jfi"};
constexpr std::string_view JXR_MIME_ALIASES[] = {"image/vnd.ms-photo"};
constexpr const MimeType* PNG_CHILDREN[] = {&APNG};
constexpr std::string_view PSD_MIME_ALIASES[] = {"image/x-psd", "application/photoshop"};
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
constexpr std::string_view CLASS_MIME_ALIASES[] = {"application/x-java-applet"};
constexpr std::string_view PDF_MIME_ALIASES[] = {"application/x-pdf"};
constexpr std::string_view PARQUET_MIME_ALIASES[] = {"application/x-parquet"};
constexpr const MimeType* SHX_CHILDREN[] = {&SHP};
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
constinit const MimeType EXE{"application/vnd.microsoft.portable-executable", {}, ".exe", {}, exe, {}};
constinit const MimeType CLASS{"application/x-java-applet; charset=binary", CLASS_MIME_ALIASES, ".class", {}, class_file, {}};
constinit const MimeType WASM{"application/wasm", {}, ".wasm", {}, wasm, {}};
constinit const MimeType SWF{"application/x-shockwave-flash", {}, ".swf", {}, swf, {}};
constinit const MimeType NES{"application/vnd.nintendo.snes.rom", {}, ".nes", {}, nes, {}};
constinit const MimeType OTF{"font/otf", {}, ".otf", {}, otf, {}};
constinit const MimeType TTC{"font/collection", {}, ".ttc", {}, ttc, {}};
constinit const MimeType WOFF{"font/woff", {}, ".woff", {}, woff, {}};
constinit const MimeType WOFF2{"font/woff2", {}, ".woff2", {}, woff2, {}};
constinit const MimeType PDF{"application/pdf", PDF_MIME_ALIASES, ".pdf", {}, pdf, {}};
constinit const MimeType FDF{"application/vnd.fdf", {}, ".fdf", {}, fdf, {}};
constinit const MimeType PS{"application/postscript", {}, ".ps", {}, ps, {}};
constinit const MimeType CHM{"application/vnd.ms-htmlhelp", {}, ".chm", {}, chm, {}};
constinit const MimeType LIT{"application/x-ms-reader", {}, ".lit", {}, lit, {}};
constinit const MimeType LOTUS123{"application/vnd.lotus-1-2-3", {}, ".123", {}, lotus123, {}};
constinit const MimeType PARQUET{"application/vnd.apache.parquet", PARQUET_MIME_ALIASES, ".parquet", {}, parquet, {}};
constinit const MimeType SHX{"application/vnd.shx", {}, ".shx", {}, shx, SHX_CHILDREN};
constinit const MimeType SHP{"application/vnd.shp", {}, ".shp", {}, shp, {}};
constinit const MimeType TZIF{"application/tzif", {}, "", {}, tzif, {}};

}  // namespace taxon
