// Looking up every text of an arbitrary string-table block: what is found lies inside the
// block (a heap copy of exactly its size, so the address sanitizer sees any overrun).
#include "report.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    size_t units = size / 2;
    uint16_t* block = static_cast<uint16_t*>(malloc(units * 2 + 1));
    memcpy(block, data, units * 2);
    for (unsigned index = 0; index < 16; ++index) {
        size_t length = 0;
        const uint16_t* text = setup_stringInBlock(block, units, index, &length);
        if (text != nullptr && (length == 0 || text < block || text + length > block + units)) {
            abort();
        }
        volatile uint16_t sink = 0;
        for (size_t i = 0; text != nullptr && i < length; ++i) {
            sink = text[i];
        }
        (void)sink;
    }
    free(block);
    return 0;
}
