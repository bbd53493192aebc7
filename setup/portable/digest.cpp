// A keyed digest of the decoded package, kept while decoding and computed again from the file
// once it is locked: equal digests mean the file holds the bytes written.
//
// A plain checksum would not do: anyone can make a different package with the same CRC. The
// key is drawn fresh for every run and never leaves the process, so whoever changes the file
// cannot aim at a digest they cannot compute. The construction is the usual one for fast
// keyed hashing: each 1 KiB block is compressed by two NH sums (a pair of 32-bit words added
// to key words and multiplied, the products summed; the second sum uses the key shifted by
// two words), and the block results are evaluated as a polynomial modulo 2^61 - 1 at a secret
// point, closed by the length. One multiplication per four bytes keeps it far below the cost
// of decoding.
#include "package.h"

#include <string.h>

namespace {

constexpr uint64_t kPrime = (uint64_t(1) << 61) - 1;

uint64_t reduce(uint64_t v)
{
    v = (v & kPrime) + (v >> 61);
    return v >= kPrime ? v - kPrime : v;
}

// a * b mod 2^61 - 1 for a, b < 2^61, in 32-bit halves so that it builds for any target.
uint64_t mulMod(uint64_t a, uint64_t b)
{
    uint64_t a1 = a >> 32, a0 = a & 0xFFFFFFFF, b1 = b >> 32, b0 = b & 0xFFFFFFFF;
    uint64_t hi = a1 * b1;  // weight 2^64, which is 8 modulo the prime
    uint64_t mid = a1 * b0 + a0 * b1;  // weight 2^32
    uint64_t lo = a0 * b0;
    uint64_t sum =
        (hi << 3) + (mid >> 29) + ((mid & 0x1FFFFFFF) << 32) + (lo & kPrime) + (lo >> 61);
    return reduce(sum);
}

uint64_t polyStep(uint64_t h, uint64_t point, uint64_t value)
{
    return mulMod(reduce(h + value), point);
}

uint32_t load32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Both NH sums over count pairs of words, from the word index at in the current block.
void nh(setup_Digest* d, const uint8_t* bytes, size_t pairs)
{
    const uint32_t* k = d->key + d->words;
    uint64_t a = d->nhA, b = d->nhB;
    for (size_t i = 0; i < pairs; ++i, bytes += 8, k += 2) {
        uint32_t m0 = load32(bytes), m1 = load32(bytes + 4);
        a += uint64_t(uint32_t(m0 + k[0])) * uint32_t(m1 + k[1]);
        b += uint64_t(uint32_t(m0 + k[2])) * uint32_t(m1 + k[3]);
    }
    d->nhA = a;
    d->nhB = b;
    d->words += 2 * pairs;
}

void closeBlock(setup_Digest* d)
{
    // The 64-bit sums enter the polynomial as 32-bit halves, each below the prime.
    const uint64_t parts[] = {d->nhA >> 32, d->nhA & 0xFFFFFFFF, d->nhB >> 32, d->nhB & 0xFFFFFFFF};
    for (uint64_t part : parts) {
        d->poly = polyStep(d->poly, d->point, part);
    }
    d->nhA = d->nhB = 0;
    d->words = 0;
}

// Whole pairs of words, block by block.
void absorb(setup_Digest* d, const uint8_t* bytes, size_t pairs)
{
    while (pairs > 0) {
        size_t room = (SETUP_DIGEST_BLOCK_WORDS - d->words) / 2;
        size_t now = pairs < room ? pairs : room;
        nh(d, bytes, now);
        bytes += 8 * now;
        pairs -= now;
        if (d->words == SETUP_DIGEST_BLOCK_WORDS) {
            closeBlock(d);
        }
    }
}

}  // namespace

void setup_digestStart(setup_Digest* d, const uint32_t key[SETUP_DIGEST_KEY_WORDS])
{
    memset(d, 0, sizeof *d);
    memcpy(d->key, key, sizeof d->key);
    // The last two key words make the evaluation point, a number from 1 to the prime - 1.
    uint64_t point =
        reduce((uint64_t(key[SETUP_DIGEST_KEY_WORDS - 2]) << 32 | key[SETUP_DIGEST_KEY_WORDS - 1])
               & kPrime);
    d->point = point == 0 ? 1 : point;
    // Not zero, or the empty input would have the same digest under every key.
    d->poly = 1;
}

void setup_digestUpdate(setup_Digest* d, const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    d->length += size;
    if (d->pendingSize > 0) {
        size_t take = sizeof d->pending - d->pendingSize;
        take = take < size ? take : size;
        memcpy(d->pending + d->pendingSize, bytes, take);
        d->pendingSize += take;
        bytes += take;
        size -= take;
        if (d->pendingSize < sizeof d->pending) {
            return;
        }
        absorb(d, d->pending, 1);
        d->pendingSize = 0;
    }
    absorb(d, bytes, size / 8);
    d->pendingSize = size % 8;
    if (d->pendingSize > 0) {
        memcpy(d->pending, bytes + size - d->pendingSize, d->pendingSize);
    }
}

uint64_t setup_digestFinish(setup_Digest* d)
{
    // The last pair is padded with zeros; the length, taken last, tells padding from data.
    if (d->pendingSize > 0) {
        memset(d->pending + d->pendingSize, 0, sizeof d->pending - d->pendingSize);
        absorb(d, d->pending, 1);
        d->pendingSize = 0;
    }
    if (d->words > 0) {
        closeBlock(d);
    }
    uint64_t h = polyStep(d->poly, d->point, d->length >> 32);
    return polyStep(h, d->point, d->length & 0xFFFFFFFF);
}
