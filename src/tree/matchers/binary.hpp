// Binary formats recognised by a header structure or a signature further in.
#pragma once

#include "../mime_type.hpp"

namespace taxon {

extern const MimeType TAR;
extern const MimeType CPIO;
extern const MimeType AR;
extern const MimeType DEB;
extern const MimeType DBF;
extern const MimeType DWG;
extern const MimeType EOT;
extern const MimeType FITS;
extern const MimeType TORRENT;
extern const MimeType ELF;
extern const MimeType ELF_OBJ;
extern const MimeType ELF_EXE;
extern const MimeType ELF_LIB;
extern const MimeType ELF_DUMP;
extern const MimeType MACHO;
extern const MimeType CRX;
extern const MimeType P7S;
extern const MimeType TTF;
extern const MimeType ACCDB;
extern const MimeType MDB;
extern const MimeType SQLITE3;
extern const MimeType DJVU;
extern const MimeType JXL;
extern const MimeType JP2;
extern const MimeType JPM;
extern const MimeType JPX;
extern const MimeType INSTALL_SHIELD_CAB;
extern const MimeType LNK;
extern const MimeType MRC;
extern const MimeType GLB;
extern const MimeType HDF;
extern const MimeType DCM;
extern const MimeType TIFF;
extern const MimeType CBOR_FORMAT;

bool tar(const View& v) noexcept;
bool cpio(const View& v) noexcept;
bool ar(const View& v) noexcept;
bool deb(const View& v) noexcept;
bool dbf(const View& v) noexcept;
bool dwg(const View& v) noexcept;
bool eot(const View& v) noexcept;
bool fits(const View& v) noexcept;
bool torrent(const View& v) noexcept;
bool elf(const View& v) noexcept;
bool elf_obj(const View& v) noexcept;
bool elf_exe(const View& v) noexcept;
bool elf_lib(const View& v) noexcept;
bool elf_dump(const View& v) noexcept;
bool macho(const View& v) noexcept;
bool crx(const View& v) noexcept;
bool p7s(const View& v) noexcept;
bool ttf(const View& v) noexcept;
bool accdb(const View& v) noexcept;
bool mdb(const View& v) noexcept;
bool sqlite(const View& v) noexcept;
bool djvu(const View& v) noexcept;
bool jxl(const View& v) noexcept;
bool jp2(const View& v) noexcept;
bool jpm(const View& v) noexcept;
bool jpx(const View& v) noexcept;
bool install_shield_cab(const View& v) noexcept;
bool lnk(const View& v) noexcept;
bool marc(const View& v) noexcept;
bool glb(const View& v) noexcept;
bool hdf(const View& v) noexcept;
bool dcm(const View& v) noexcept;
bool tiff(const View& v) noexcept;
bool cbor_format(const View& v) noexcept;

}  // namespace taxon
