// Byte buffers, the little-endian fields of the formats setup-pack reads and writes, and whole
// files: what every room of setup-pack works on.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

using pack_Bytes = std::vector<uint8_t>;

// The whole file at path. Returns "" or a one-line error.
std::string pack_readWhole(const char* path, pack_Bytes* out);

// The bytes as text (a database field, a stream's name).
inline std::string pack_bytesText(const pack_Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A file closed when it goes out of scope.
struct pack_FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using pack_File = std::unique_ptr<FILE, pack_FileCloser>;

inline uint32_t pack_get16(const pack_Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
inline uint32_t pack_get32(const pack_Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
inline void pack_put16(pack_Bytes& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void pack_put32(pack_Bytes& b, size_t at, uint32_t v)
{
    pack_put16(b, at, v);
    pack_put16(b, at + 2, v >> 16);
}
