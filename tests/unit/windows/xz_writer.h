// Writes .xz streams for the tests without an encoder: one block whose LZMA2 data is stored in
// uncompressed chunks, so that every offset of the stream is known and a test can place the
// end of the data, the check or the index exactly where it wants them. The container is the
// real one (the filter, dictionary property, CRC64 check and index of the payload form), and
// liblzma decodes it like any other stream.
#pragma once

#include <lzma.h>

#include <stdint.h>

#include <algorithm>

#include <string>
#include <vector>

namespace xz_writer {

struct Stream {
    std::string bytes;
    size_t dataEnd = 0;  // offset after the last stored content byte
    size_t checkOffset = 0;  // offset of the block's CRC64
    size_t indexOffset = 0;  // offset of the index
};

inline void putLe32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

inline void putVarint(std::string& out, uint64_t v)
{
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

inline void padTo4(std::string& out, size_t from)
{
    while ((out.size() - from) % 4 != 0) {
        out.push_back('\0');
    }
}

inline uint32_t crc32Of(const std::string& s, size_t from, size_t n)
{
    return lzma_crc32(reinterpret_cast<const uint8_t*>(s.data()) + from, n, 0);
}

// LZMA2 stored chunks of at most chunkSize bytes (1..65536), the first one resetting the
// dictionary, then the end marker.
inline std::string lzma2Stored(const std::string& content, size_t chunkSize = 65536)
{
    std::string out;
    for (size_t at = 0; at < content.size(); at += chunkSize) {
        size_t n = std::min(chunkSize, content.size() - at);
        out.push_back(at == 0 ? '\x01' : '\x02');
        out.push_back(static_cast<char>(((n - 1) >> 8) & 0xFF));
        out.push_back(static_cast<char>((n - 1) & 0xFF));
        out.append(content, at, n);
    }
    out.push_back('\0');
    return out;
}

// Stream header: magic, flags (CRC64), CRC32 of the flags.
inline void putStreamHeader(std::string& out)
{
    out.assign("\xFD"
               "7zXZ\0\0\x04",
               8);
    putLe32(out, crc32Of(out, 6, 2));
}

inline void putCheck(std::string& out, const std::string& content)
{
    uint64_t check =
        lzma_crc64(reinterpret_cast<const uint8_t*>(content.data()), content.size(), 0);
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<char>((check >> (8 * i)) & 0xFF));
    }
}

// Index (its records: unpadded and uncompressed size of each block) and stream footer: CRC32,
// backward size, flags, magic. Returns the index's offset.
inline size_t putIndexAndFooter(std::string& out, size_t records, const std::string& index)
{
    size_t indexOffset = out.size();
    out.push_back('\0');
    putVarint(out, records);
    out += index;
    padTo4(out, indexOffset);
    putLe32(out, crc32Of(out, indexOffset, out.size() - indexOffset));
    std::string tail;
    putLe32(tail, static_cast<uint32_t>((out.size() - indexOffset) / 4 - 1));
    tail.append("\0\x04", 2);
    putLe32(out, crc32Of(tail, 0, tail.size()));
    out += tail;
    out.append("YZ");
    return indexOffset;
}

inline Stream make(const std::string& content, size_t chunkSize = 65536)
{
    Stream s;
    std::string& out = s.bytes;
    putStreamHeader(out);
    // Block header: 12 bytes, one filter, no sizes; LZMA2 with the 64 MiB property 0x1C.
    size_t blockStart = out.size();
    out.append("\x02\x00\x21\x01\x1C\0\0\0", 8);
    putLe32(out, crc32Of(out, blockStart, 8));
    std::string data = lzma2Stored(content, chunkSize);
    out += data;
    s.dataEnd = out.size() - 1;
    size_t compressed = data.size();
    padTo4(out, blockStart);
    s.checkOffset = out.size();
    putCheck(out, content);
    std::string index;
    putVarint(index, 12 + compressed + 8);
    putVarint(index, content.size());
    s.indexOffset = putIndexAndFooter(out, 1, index);
    return s;
}

// The same container cut into blocks of blockSize content bytes (the last one may be shorter),
// each header giving both sizes as the threaded encoder writes them, so that a threaded decoder
// can hand the blocks to its threads. blockStarts holds each block header's offset.
struct Blocks {
    std::string bytes;
    std::vector<size_t> blockStarts;
};

inline Blocks makeBlocks(const std::string& content, size_t blockSize)
{
    Blocks b;
    std::string& out = b.bytes;
    putStreamHeader(out);
    std::string index;
    size_t records = 0;
    for (size_t at = 0; at < content.size(); at += blockSize, ++records) {
        std::string part = content.substr(at, blockSize);
        std::string data = lzma2Stored(part);
        // Flags (both sizes, one filter), the sizes, LZMA2 with the 64 MiB property.
        std::string header("\0\xC0", 2);
        putVarint(header, data.size());
        putVarint(header, part.size());
        header.append("\x21\x01\x1C", 3);
        while ((header.size() + 4) % 4 != 0) {
            header.push_back('\0');
        }
        header[0] = static_cast<char>((header.size() + 4) / 4 - 1);
        putLe32(header, crc32Of(header, 0, header.size()));
        b.blockStarts.push_back(out.size());
        out += header + data;
        padTo4(out, b.blockStarts.back());
        putCheck(out, part);
        putVarint(index, header.size() + data.size() + 8);
        putVarint(index, part.size());
    }
    putIndexAndFooter(out, records, index);
    return b;
}

// Deterministic bytes that no compressor could shrink, and text that any would.
inline std::string noise(size_t n, uint32_t seed)
{
    std::string out(n, '\0');
    uint32_t x = seed | 1;
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

}  // namespace xz_writer
