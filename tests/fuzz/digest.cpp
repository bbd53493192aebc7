// Fuzzes the package digest's piecewise feeding: the first bytes of the input choose where the
// rest is cut, and every cutting must give the digest of the whole.
#include <stdlib.h>

#include "package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    uint32_t key[SETUP_DIGEST_KEY_WORDS];
    for (size_t i = 0; i < SETUP_DIGEST_KEY_WORDS; ++i) {
        key[i] = static_cast<uint32_t>(i * 2654435761u);
    }
    size_t step = data[0] % 64 + 1, jitter = data[1];
    data += 2;
    size -= 2;
    setup_Digest whole, cut;
    setup_digestStart(&whole, key);
    setup_digestUpdate(&whole, data, size);
    setup_digestStart(&cut, key);
    for (size_t at = 0; at < size;) {
        size_t n = (step * (at + jitter)) % 97 + 1;
        n = n < size - at ? n : size - at;
        setup_digestUpdate(&cut, data + at, n);
        at += n;
    }
    if (setup_digestFinish(&whole) != setup_digestFinish(&cut)) {
        abort();
    }
    return 0;
}
