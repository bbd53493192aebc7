// image_size STUB XZ PAD OUT laa|plain: STUB with the payload XZ followed by PAD zero bytes
// (which the decoder passes over), with the large-address-aware flag set or cleared. Gives
// images of any size in a second, for bench/image-size.sh.
#include "pe.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char* argv[])
{
    pack_Bytes stub, payload, out;
    if (argc != 6 || !pack_readWhole(argv[1], &stub).empty()
        || !pack_readWhole(argv[2], &payload).empty()) {
        fputs("usage: image_size STUB XZ PAD OUT laa|plain\n", stderr);
        return 2;
    }
    payload.resize(payload.size() + strtoull(argv[3], nullptr, 10), 0);
    bool removedSignature = false;
    pack_Image image;
    std::string error = pack_replacePayload(stub, payload, &out, &removedSignature);
    if (error.empty()) {
        error = pack_readImage(out, &image);
    }
    if (!error.empty()) {
        fprintf(stderr, "image_size: %s\n", error.c_str());
        return 1;
    }
    constexpr uint32_t kLargeAddressAware = 0x20;
    size_t characteristics = image.coffOffset + 18;
    uint32_t flags = pack_get16(out, characteristics) & ~kLargeAddressAware;
    pack_put16(out, characteristics,
               strcmp(argv[5], "laa") == 0 ? flags | kLargeAddressAware : flags);
    FILE* f = fopen(argv[4], "wb");
    bool written = f != nullptr && fwrite(out.data(), 1, out.size(), f) == out.size();
    return (f != nullptr && fclose(f) == 0 && written) ? 0 : 1;
}
