// Binary formats recognised by a header structure or a signature further in.
#include "binary.hpp"

namespace taxon {

bool tar(View) noexcept { return false; }  // not yet written
bool cpio(View) noexcept { return false; }  // not yet written
bool ar(View) noexcept { return false; }  // not yet written
bool deb(View) noexcept { return false; }  // not yet written
bool dbf(View) noexcept { return false; }  // not yet written
bool dwg(View) noexcept { return false; }  // not yet written
bool eot(View) noexcept { return false; }  // not yet written
bool fits(View) noexcept { return false; }  // not yet written
bool torrent(View) noexcept { return false; }  // not yet written
bool elf(View) noexcept { return false; }  // not yet written
bool elf_obj(View) noexcept { return false; }  // not yet written
bool elf_exe(View) noexcept { return false; }  // not yet written
bool elf_lib(View) noexcept { return false; }  // not yet written
bool elf_dump(View) noexcept { return false; }  // not yet written
bool macho(View) noexcept { return false; }  // not yet written
bool crx(View) noexcept { return false; }  // not yet written
bool p7s(View) noexcept { return false; }  // not yet written
bool ttf(View) noexcept { return false; }  // not yet written
bool accdb(View) noexcept { return false; }  // not yet written
bool mdb(View) noexcept { return false; }  // not yet written
bool sqlite(View) noexcept { return false; }  // not yet written
bool djvu(View) noexcept { return false; }  // not yet written
bool jxl(View) noexcept { return false; }  // not yet written
bool jp2(View) noexcept { return false; }  // not yet written
bool jpm(View) noexcept { return false; }  // not yet written
bool jpx(View) noexcept { return false; }  // not yet written
bool install_shield_cab(View) noexcept { return false; }  // not yet written
bool lnk(View) noexcept { return false; }  // not yet written
bool marc(View) noexcept { return false; }  // not yet written
bool glb(View) noexcept { return false; }  // not yet written
bool hdf(View) noexcept { return false; }  // not yet written
bool dcm(View) noexcept { return false; }  // not yet written
bool tiff(View) noexcept { return false; }  // not yet written
bool cbor_format(View) noexcept { return false; }  // not yet written

// Records

namespace {
constexpr std::string_view AR_MIME_ALIASES[] = {"application/x-unix-archive"};
constexpr std::string_view AR_EXT_ALIASES[] = {".deb"};
constexpr const MimeType* AR_CHILDREN[] = {&DEB};
constexpr std::string_view DWG_MIME_ALIASES[] = {"image/x-dwg", "application/acad", "application/x-acad", "application/autocad_dwg", "application/dwg", "application/x-dwg", "application/x-autocad", "drawing/dwg"};
constexpr std::string_view FITS_MIME_ALIASES[] = {"image/fits"};
constexpr std::string_view ELF_EXT_ALIASES[] = {".so"};
constexpr const MimeType* ELF_CHILDREN[] = {&ELF_OBJ, &ELF_EXE, &ELF_LIB, &ELF_DUMP};
constexpr std::string_view TTF_MIME_ALIASES[] = {"font/sfnt", "application/x-font-ttf", "application/font-sfnt"};
constexpr std::string_view SQLITE3_MIME_ALIASES[] = {"application/x-sqlite3"};
constexpr std::string_view JPM_MIME_ALIASES[] = {"video/jpm"};
constexpr std::string_view TIFF_EXT_ALIASES[] = {".tif"};
}  // namespace

constinit const MimeType TAR{"application/x-tar", {}, ".tar", {}, tar, {}};
constinit const MimeType CPIO{"application/x-cpio", {}, ".cpio", {}, cpio, {}};
constinit const MimeType AR{"application/x-archive", AR_MIME_ALIASES, ".a", AR_EXT_ALIASES, ar, AR_CHILDREN};
constinit const MimeType DEB{"application/vnd.debian.binary-package", {}, ".deb", {}, deb, {}};
constinit const MimeType DBF{"application/x-dbf", {}, ".dbf", {}, dbf, {}};
constinit const MimeType DWG{"image/vnd.dwg", DWG_MIME_ALIASES, ".dwg", {}, dwg, {}};
constinit const MimeType EOT{"application/vnd.ms-fontobject", {}, ".eot", {}, eot, {}};
constinit const MimeType FITS{"application/fits", FITS_MIME_ALIASES, ".fits", {}, fits, {}};
constinit const MimeType TORRENT{"application/x-bittorrent", {}, ".torrent", {}, torrent, {}};
constinit const MimeType ELF{"application/x-elf", {}, "", ELF_EXT_ALIASES, elf, ELF_CHILDREN};
constinit const MimeType ELF_OBJ{"application/x-object", {}, "", {}, elf_obj, {}};
constinit const MimeType ELF_EXE{"application/x-executable", {}, "", {}, elf_exe, {}};
constinit const MimeType ELF_LIB{"application/x-sharedlib", {}, ".so", {}, elf_lib, {}};
constinit const MimeType ELF_DUMP{"application/x-coredump", {}, "", {}, elf_dump, {}};
constinit const MimeType MACHO{"application/x-mach-binary", {}, ".macho", {}, macho, {}};
constinit const MimeType CRX{"application/x-chrome-extension", {}, ".crx", {}, crx, {}};
constinit const MimeType P7S{"application/pkcs7-signature", {}, ".p7s", {}, p7s, {}};
constinit const MimeType TTF{"font/ttf", TTF_MIME_ALIASES, ".ttf", {}, ttf, {}};
constinit const MimeType ACCDB{"application/x-msaccess", {}, ".accdb", {}, accdb, {}};
constinit const MimeType MDB{"application/x-msaccess", {}, ".mdb", {}, mdb, {}};
constinit const MimeType SQLITE3{"application/vnd.sqlite3", SQLITE3_MIME_ALIASES, ".sqlite", {}, sqlite, {}};
constinit const MimeType DJVU{"image/vnd.djvu", {}, ".djvu", {}, djvu, {}};
constinit const MimeType JXL{"image/jxl", {}, ".jxl", {}, jxl, {}};
constinit const MimeType JP2{"image/jp2", {}, ".jp2", {}, jp2, {}};
constinit const MimeType JPM{"image/jpm", JPM_MIME_ALIASES, ".jpm", {}, jpm, {}};
constinit const MimeType JPX{"image/jpx", {}, ".jpx", {}, jpx, {}};
constinit const MimeType INSTALL_SHIELD_CAB{"application/x-installshield", {}, ".cab", {}, install_shield_cab, {}};
constinit const MimeType LNK{"application/x-ms-shortcut", {}, ".lnk", {}, lnk, {}};
constinit const MimeType MRC{"application/marc", {}, ".mrc", {}, marc, {}};
constinit const MimeType GLB{"model/gltf-binary", {}, ".glb", {}, glb, {}};
constinit const MimeType HDF{"application/x-hdf", {}, ".hdf", {}, hdf, {}};
constinit const MimeType DCM{"application/dicom", {}, ".dcm", {}, dcm, {}};
constinit const MimeType TIFF{"image/tiff", {}, ".tiff", TIFF_EXT_ALIASES, tiff, {}};
constinit const MimeType CBOR_FORMAT{"application/cbor", {}, ".cbor", {}, cbor_format, {}};

}  // namespace taxon
