// Reading a whole file: the stub, an icon file.
#include "bytes.h"

#include <errno.h>
#include <string.h>

std::string pack_readWhole(const char* path, pack_Bytes* out)
{
    pack_File in(fopen(path, "rb"));
    if (!in) {
        return strerror(errno);
    }
    uint8_t piece[1 << 16];
    size_t got = 0;
    while ((got = fread(piece, 1, sizeof piece, in.get())) > 0) {
        out->insert(out->end(), piece, piece + got);
    }
    return ferror(in.get()) ? "read error" : "";
}
