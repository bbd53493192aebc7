// The first bytes of a cabinet: its header (CFHEADER) and folder entries (CFFOLDER), which say
// how large it is and whether its data is compressed. Pure: bytes in, answer out.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// The compression types of a folder (typeCompress, low 4 bits).
constexpr unsigned kPackCabNone = 0, kPackCabMszip = 1, kPackCabQuantum = 2, kPackCabLzx = 3;

struct pack_CabinetHeader {
    uint32_t size = 0;  // cbCabinet: the whole cabinet, in bytes
    uint16_t folders = 0;
    uint16_t files = 0;
    uint16_t compressedFolders = 0;
    unsigned types = 0;  // bit (1 << type) for each compression type that occurs
    bool spanned = false;  // continues a previous cabinet or into a next one
};

// A header and all its folder entries take at most this much: the reserve areas are at most
// 65535 bytes for the header and 255 per folder, the four cabinet and disk names 256 each.
constexpr size_t kPackCabHeaderMax = 36 + 4 + 65535 + 4 * 256 + 65535 * (8 + 255);

// Reads the header of the cabinet whose first size bytes are given. Returns "" or a one-line
// error; when the bytes end before the folder entries do, *needed (when given) is set to the
// number of bytes they take, else to 0.
std::string pack_readCabinetHeader(const uint8_t* bytes, size_t size, pack_CabinetHeader* header,
                                   size_t* needed = nullptr);

// "MSZIP", "LZX", "MSZIP and LZX": the compression types in header.types, none excepted.
std::string pack_cabinetTypesText(unsigned types);
