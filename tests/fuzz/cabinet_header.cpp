// Fuzzes the cabinet header reader, which reads the first bytes of any stream a package's Media
// table names.
//
// Input: the first bytes of a cabinet. A cut must ask for more bytes than it had, and never for
// more than a header can take; what reads must count its folders consistently.
//
// Seeds: wixl's MSZIP cabinet header (one folder) and gcab's stored one.
#include <stdlib.h>

#include "cabinet_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pack_CabinetHeader header;
    size_t needed = 0;
    std::string error = pack_readCabinetHeader(data, size, &header, &needed);
    if (!error.empty()) {
        if (needed != 0 && (needed <= size || needed > kPackCabHeaderMax)) {
            abort();
        }
        return 0;
    }
    if (needed != 0 || header.compressedFolders > header.folders || (header.types >> 4) != 0
        || (header.folders > 0 && header.types == 0)) {
        abort();
    }
    return 0;
}
