// Fuzzes setup-pack's PE reading and rewriting with hostile stubs.
//
// Input: the stub's bytes. A stub that is taken must give an image that reads back with the
// payload in place (also where the file reader finds it through the headers alone), the other
// resources kept, a true checksum, and that is a fixed point: packing the result again changes
// nothing. The file reader also meets the hostile stub itself.
//
// Seeds (also the unit tests' stubs): the smallest MinGW images with the layout of ours, for
// i686 and x86_64, .rsrc followed by .reloc, linked with `-nostdlib -s -Wl,--dynamicbase` from
// one pointer variable and a resource script with RCDATA 12 in two languages, a named
// resource, a resource of a named type and a string table; one of them signed by osslsigncode.
#include <stdlib.h>

#include <algorithm>

#include "pe.h"

namespace {

const pack_Bytes kPayload = {0xFD, '7', 'z', 'X', 'Z', 0, 0, 4, 'p', 'a', 'y'};

uint64_t dataTotal(const pack_Bytes& file, size_t* count)
{
    pack_Image image;
    std::vector<pack_Resource> resources;
    if (!pack_readImage(file, &image).empty()
        || !pack_readResources(file, image, &resources).empty()) {
        abort();
    }
    uint64_t total = 0;
    *count = 0;
    for (const pack_Resource& r : resources) {
        bool payload = !r.type.isName && r.type.id == kPackRtRcdata && !r.name.isName
            && r.name.id == kPackPayloadId;
        if (!payload) {
            total += r.data.size();
            ++*count;
        }
    }
    return total;
}

// Where pack_locatePayload finds the payload in file; empty when it does not.
pack_Bytes located(const pack_Bytes& file)
{
    uint64_t at = 0;
    uint32_t size = 0;
    auto read = [&](uint64_t offset, uint8_t* to, size_t n) {
        std::copy(file.begin() + offset, file.begin() + offset + n, to);
        return true;
    };
    if (!pack_locatePayload(read, file.size(), &at, &size).empty()) {
        return {};
    }
    return pack_Bytes(file.begin() + at, file.begin() + at + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pack_Bytes stub(data, data + size), out, again, back;
    bool removed = false;
    located(stub);
    if (!pack_replacePayload(stub, kPayload, &out, &removed).empty()) {
        return 0;
    }
    if (!pack_findPayload(out, &back).empty() || back != kPayload || located(out) != kPayload) {
        abort();
    }
    size_t before = 0, after = 0;
    if (dataTotal(stub, &before) != dataTotal(out, &after) || before != after) {
        abort();
    }
    pack_Image image;
    pack_readImage(out, &image);
    size_t checksumAt = image.optionalOffset + 64;
    if (pack_get32(out, checksumAt) != pack_checksum(out, checksumAt)) {
        abort();
    }
    if (!pack_replacePayload(out, kPayload, &again, &removed).empty() || again != out || removed) {
        abort();
    }
    return 0;
}
