// The payload's compression, as `xz --format=xz --check=crc64 -9` makes it, and the check that
// a packed payload decodes to the package. Both stream the package in pieces, so that memory
// does not grow with it.
#pragma once

#include <stdint.h>

#include <functional>
#include <memory>
#include <string>

#include "bytes.h"

// What Windows takes: no Windows Installer package, and no image, reaches 2 GiB.
constexpr uint64_t kPackMaxPackage = uint64_t(1) << 31;
constexpr uint64_t kPackMaxImage = uint64_t(1) << 31;

// A package of at least kPackBlocksFrom bytes is cut into blocks of kPackBlockSize, each header
// giving its sizes, so that setup.exe decodes them on several threads: two blocks, the least
// that two cores share evenly. Each block starts without the history before it, which costs
// the bench's package (bench/payload-data.pl, xz -9) 0.99 % of a 32 MiB block and 0.73 % of a
// 64 MiB one and 0.39 % of a 128 MiB one; at 64 MiB a 280 MB package would grow by about
// 0.66 % against one block, at 128 MiB by about 0.23 % (1 GB: 0.34 %). So the blocks are of
// 128 MiB: 280 MB take three (two rounds on two cores, the second short), 1 GB eight. A
// thread decoding one needs about 250 MiB (its input, its output, the dictionary).
constexpr uint64_t kPackBlockSize = uint64_t(128) << 20;
constexpr uint64_t kPackBlocksFrom = 2 * kPackBlockSize;

struct pack_Compression {
    // Below blocksFrom, 1: one block, as `xz -9 -T1`; else liblzma's threaded encoder with this
    // many threads (0: one per core), whose blocks, and so whose bytes, do not depend on the
    // count. From blocksFrom on, that encoder whatever the count, with blocks of blockSize.
    uint32_t threads = 1;
    uint64_t blockSize = kPackBlockSize;
    uint64_t blocksFrom = kPackBlocksFrom;
    uint64_t maxPackage = kPackMaxPackage;  // a package this large or larger is refused
    // The stub's bytes without its payload: the compression stops as soon as these and the
    // payload so far reach maxImage, and the error names the size reached.
    uint64_t imageRest = 0;
    uint64_t maxImage = kPackMaxImage;
};

// The one-line refusal of an image of at least size bytes.
std::string pack_imageTooLarge(uint64_t size, uint64_t limit);

// Compresses the file at path as `xz --format=xz --check=crc64 -9 -T1` does, byte for byte,
// reading it in pieces so that the whole package is never held in memory. Returns "" or a
// one-line error.
std::string pack_compressFile(const char* path, pack_Bytes* out,
                              const pack_Compression& how = pack_Compression());

// Where the compressed bytes go as they are produced. Returns "" or a one-line error.
using pack_Sink = std::function<std::string(const uint8_t* data, size_t size)>;

// The same, handing the compressed bytes to sink piece by piece instead of keeping them.
// inputEnded, when given, is called once the whole package has been read: from then on the
// encoder only finishes what it holds, and a sink that waits keeps its memory alive.
std::string pack_compressFileTo(const char* path, const pack_Compression& how,
                                const pack_Sink& sink,
                                const std::function<void()>& inputEnded = nullptr);

// The next piece of an .xz stream (*data, the returned size; 0 at its end).
using pack_Pull = std::function<size_t(const uint8_t** data)>;

// Decodes the .xz stream that pull hands over and compares the result with the file at path,
// piece by piece. Returns "" when they are equal, else a one-line reason.
std::string pack_verifyAgainstFile(const pack_Pull& pull, const char* path);

// The same check beside the compression: pack_verifierFeed hands each compressed piece, as it is
// produced, to a decoder in a thread of its own (waiting while a few pieces are queued), and
// pack_endVerifier waits for its verdict. What is fed is copied; memory stays at the decoder's
// dictionary and a few pieces.
struct pack_Verifier;
pack_Verifier* pack_startVerifier(const char* path);
// Returns "" or the check's failure as soon as it is known, after which nothing more is taken.
std::string pack_verifierFeed(pack_Verifier* verifier, const uint8_t* data, size_t size);
// Whether a piece would be taken at once; only the feeding thread fills the queue, so a yes
// stays true until it feeds.
bool pack_verifierHasRoom(pack_Verifier* verifier);
// Ends the stream, waits for the decoder and frees verifier. Returns "" when everything fed
// decodes to the package, else a one-line reason; *crc (when given) gets the CRC64 of
// everything fed, for checking the written copy against it.
std::string pack_endVerifier(pack_Verifier* verifier, uint64_t* crc = nullptr);

struct pack_EndVerifier {
    void operator()(pack_Verifier* v) const { pack_endVerifier(v); }
};

// CRC64 as the .xz format computes it, continued from crc (0 to start).
uint64_t pack_crc64(const uint8_t* data, size_t size, uint64_t crc);
