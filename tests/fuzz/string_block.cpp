// An arbitrary string-table block: every text that the reader finds lies inside the block (a
// heap copy of exactly its size, so the address sanitizer sees any overrun); and setup-pack's
// rewrite without one text is a well-formed block in which that text is gone and every other
// reads as it did.
#include "pe.h"
#include "report.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The text index of a block as the reader finds it: empty when it finds none.
pack_Bytes textOf(const uint16_t* block, size_t units, unsigned index)
{
    size_t length = 0;
    const uint16_t* text = setup_stringInBlock(block, units, index, &length);
    if (text != nullptr && (length == 0 || text < block || text + length > block + units)) {
        abort();
    }
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);
    return text != nullptr ? pack_Bytes(bytes, bytes + 2 * length) : pack_Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t units = size / 2;
    uint16_t* block = static_cast<uint16_t*>(malloc(units * 2 + 1));
    memcpy(block, data, units * 2);
    unsigned dropped = size > 0 ? data[size - 1] % 16 : 0;
    pack_Bytes rewritten = pack_stringBlockWithout(pack_Bytes(data, data + units * 2), dropped);
    size_t newUnits = rewritten.size() / 2;
    uint16_t* copy = static_cast<uint16_t*>(malloc(rewritten.size() + 1));
    memcpy(copy, rewritten.data(), rewritten.size());
    // Sixteen lengths and the texts they count, nothing more.
    size_t counted = 0;
    for (size_t at = 0, i = 0; i < 16; ++i) {
        if (at >= newUnits) {
            abort();
        }
        counted += 1 + copy[at];
        at += 1 + copy[at];
    }
    if (counted != newUnits) {
        abort();
    }
    for (unsigned index = 0; index < 16; ++index) {
        pack_Bytes before = textOf(block, units, index), after = textOf(copy, newUnits, index);
        if (index == dropped ? !after.empty() : after != before) {
            abort();
        }
    }
    free(copy);
    free(block);
    return 0;
}
