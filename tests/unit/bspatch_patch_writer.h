// A BSDIFF40 patch writer for the tests, the fuzz seeds and the benchmark: it builds patches
// from control triples chosen by hand, through libbz2's write side.
#pragma once

#include <bzlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bspatch_test {

using Bytes = std::string;

struct Triple {
    int64_t x, y, z;
};

// The format's 8-byte integer; negativeZero sets the sign bit on a magnitude of 0.
inline Bytes encode(int64_t value, bool negativeZero = false)
{
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
    Bytes out(8, '\0');
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<char>((magnitude >> (8 * i)) & 0xFF);
    }
    if (value < 0 || negativeZero) {
        out[7] = static_cast<char>(out[7] | 0x80);
    }
    return out;
}

inline Bytes compress(const Bytes& data)
{
    unsigned int size = static_cast<unsigned int>(data.size() + data.size() / 100 + 600);
    Bytes out(size, '\0');
    int rc = BZ2_bzBuffToBuffCompress(&out[0], &size, const_cast<char*>(data.data()),
                                      static_cast<unsigned int>(data.size()), 9, 0, 0);
    if (rc != BZ_OK) {
        std::fprintf(stderr, "BZ2_bzBuffToBuffCompress: %d\n", rc);
        std::abort();
    }
    out.resize(size);
    return out;
}

inline Bytes controlBlock(const std::vector<Triple>& triples)
{
    Bytes out;
    for (const Triple& t : triples) {
        out += encode(t.x) + encode(t.y) + encode(t.z);
    }
    return out;
}

// Header and the three blocks, already compressed (or deliberately not).
inline Bytes assemble(const Bytes& control, const Bytes& diff, const Bytes& extra, int64_t newSize)
{
    return "BSDIFF40" + encode(static_cast<int64_t>(control.size()))
        + encode(static_cast<int64_t>(diff.size())) + encode(newSize) + control + diff + extra;
}

// A patch from uncompressed parts.
inline Bytes makePatch(const std::vector<Triple>& triples, const Bytes& diff, const Bytes& extra,
                       int64_t newSize)
{
    return assemble(compress(controlBlock(triples)), compress(diff), compress(extra), newSize);
}

// Derives the diff and extra bytes that turn old into fresh along the given triples: a diff
// byte is the new byte minus the old byte beneath it (or the new byte where no old byte lies),
// an extra byte is the new byte itself.
inline void deriveBlocks(const Bytes& old, const Bytes& fresh, const std::vector<Triple>& triples,
                         Bytes* diff, Bytes* extra)
{
    int64_t oldPos = 0;
    size_t newPos = 0;
    diff->reserve(fresh.size());
    for (const Triple& t : triples) {
        for (int64_t i = 0; i < t.x; ++i, ++newPos) {
            int64_t o = oldPos + i;
            unsigned char base = o >= 0 && o < static_cast<int64_t>(old.size())
                ? static_cast<unsigned char>(old[o])
                : 0;
            diff->push_back(static_cast<char>(static_cast<unsigned char>(fresh[newPos]) - base));
        }
        extra->append(fresh, newPos, t.y);
        newPos += t.y;
        oldPos += t.x;  // two steps: x + z alone may leave the range where the sum does not
        oldPos += t.z;
    }
}

// The writer proper: a patch that rebuilds fresh from old along the triples.
inline Bytes writePatch(const Bytes& old, const Bytes& fresh, const std::vector<Triple>& triples)
{
    Bytes diff, extra;
    deriveBlocks(old, fresh, triples, &diff, &extra);
    return makePatch(triples, diff, extra, static_cast<int64_t>(fresh.size()));
}

// Fuzz input framing: two bytes of old-file length (little-endian), the old bytes, the patch.
inline Bytes fuzzInput(const Bytes& old, const Bytes& patch)
{
    Bytes out;
    out.push_back(static_cast<char>(old.size() & 0xFF));
    out.push_back(static_cast<char>((old.size() >> 8) & 0xFF));
    return out + old + patch;
}

}  // namespace bspatch_test
