// The PE checksum, as the loader and the signing tools compute it: 16-bit words summed with
// their carries folded back, the checksum field itself left out, plus the file's length. Bytes
// come in pieces, in file order, so that the written file is summed as it is read back.
#include "pe.h"

void pack_checksumAdd(pack_Checksum* c, const uint8_t* data, size_t size)
{
    for (size_t i = 0; i < size; ++i, ++c->size) {
        if ((c->size & 1) == 0) {
            c->low = data[i];
            continue;
        }
        uint64_t word = c->size - 1;
        if (word != c->field && word != c->field + 2) {
            c->sum += c->low | uint32_t(data[i]) << 8;
            c->sum = (c->sum & 0xFFFF) + (c->sum >> 16);
        }
    }
}

uint32_t pack_checksumEnd(const pack_Checksum& c)
{
    uint64_t sum = c.sum, word = c.size - 1;
    if ((c.size & 1) != 0 && word != c.field && word != c.field + 2) {
        sum += c.low;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + c.size);
}

uint32_t pack_checksum(const pack_Bytes& file, size_t checksumOffset)
{
    pack_Checksum c;
    c.field = checksumOffset;
    pack_checksumAdd(&c, file.data(), file.size());
    return pack_checksumEnd(c);
}
