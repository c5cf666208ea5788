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

bool tar(View v) noexcept;
bool cpio(View v) noexcept;
bool ar(View v) noexcept;
bool deb(View v) noexcept;
bool dbf(View v) noexcept;
bool dwg(View v) noexcept;
bool eot(View v) noexcept;
bool fits(View v) noexcept;
bool torrent(View v) noexcept;
bool elf(View v) noexcept;
bool elf_obj(View v) noexcept;
bool elf_exe(View v) noexcept;
bool elf_lib(View v) noexcept;
bool elf_dump(View v) noexcept;
bool macho(View v) noexcept;
bool crx(View v) noexcept;
bool p7s(View v) noexcept;
bool ttf(View v) noexcept;
bool accdb(View v) noexcept;
bool mdb(View v) noexcept;
bool sqlite(View v) noexcept;
bool djvu(View v) noexcept;
bool jxl(View v) noexcept;
bool jp2(View v) noexcept;
bool jpm(View v) noexcept;
bool jpx(View v) noexcept;
bool install_shield_cab(View v) noexcept;
bool lnk(View v) noexcept;
bool marc(View v) noexcept;
bool glb(View v) noexcept;
bool hdf(View v) noexcept;
bool dcm(View v) noexcept;
bool tiff(View v) noexcept;
bool cbor_format(View v) noexcept;

}  // namespace taxon
