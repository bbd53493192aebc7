// Writing OUTPUT without holding the payload: the image's head goes into a temporary file beside
// OUTPUT with placeholders, the payload behind it as the compressor produces it, then the head
// again with the payload's real size and the tail. With more than one thread, each compressed
// piece also goes to a decoder beside the compressor, which checks that the payload decodes to
// the package while later pieces are still being made. The file is then read back in one pass: the payload, found
// through the file's own headers, must be the bytes that were checked, and the checksum is
// summed over everything read. Only then does it replace OUTPUT.
#include "output.h"
#include "replace_file.h"

#include <errno.h>
#include <string.h>

#include <algorithm>
#include <memory>

namespace {

constexpr size_t kPiece = 1 << 20;

struct pack_AbandonOutput {
    void operator()(replace_File* file) const { replace_abandon(file); }
};
using pack_OutputFile = std::unique_ptr<replace_File, pack_AbandonOutput>;

std::string pack_writeError() { return std::string("cannot write: ") + strerror(errno); }

std::string pack_writeBytes(replace_File* file, const pack_Bytes& bytes)
{
    return replace_write(file, bytes.data(), bytes.size()) == 0 ? "" : pack_writeError();
}

// What the read back compares the written payload with.
struct pack_Written {
    uint64_t size = 0;
    uint64_t crc = 0;
};

std::string pack_readBackError(const std::string& error)
{
    return "the result does not read back: " + error;
}

// The pieces that were written but not fed, read back from the file once the compressor has
// ended: the stream is the main thread's alone.
std::string pack_feedWritten(replace_File* file, uint64_t from, uint64_t to,
                             pack_Verifier* verifier)
{
    FILE* stream = replace_stream(file);
    if (fflush(stream) != 0 || replace_seek(stream, from) != 0) {
        return pack_writeError();
    }
    std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
    std::string error;
    while (error.empty() && from < to) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, to - from));
        if (fread(piece.get(), 1, want, stream) != want) {
            return "the result does not read back: cannot read it";
        }
        error = pack_verifierFeed(verifier, piece.get(), want);
        from += want;
    }
    return error.empty() ? "" : pack_readBackError(error);
}

// The payload into the file and, piece by piece, to the decoder beside the compressor. Until
// the whole package is read, a full queue pauses the compressor (the encoder's memory is taken
// anyway); after that, waiting would only keep that memory alive while the decoder catches up,
// so from the first full queue on the pieces are only written, and fed from the file once the
// compressor has ended and freed its memory.
std::string pack_streamPayload(replace_File* file, uint64_t payloadAt, const char* packagePath,
                               const pack_Compression& how, pack_Written* written,
                               pack_Blame* blame)
{
    std::unique_ptr<pack_Verifier, pack_EndVerifier> verifier(pack_startVerifier(packagePath));
    // One thread's encoder and a decoder's dictionary beside it would take more than the xz
    // program does: with one thread the payload is checked from the file once the compressor
    // has ended and freed its memory.
    bool beside = how.threads != 1;
    bool inputEnded = false, refused = false;
    uint64_t fed = 0;
    std::string error = pack_compressFileTo(
        packagePath, how,
        [&](const uint8_t* data, size_t size) {
            written->size += size;
            if (replace_write(file, data, size) != 0) {
                return pack_writeError();
            }
            if (!beside || fed + size != written->size
                || (inputEnded && !pack_verifierHasRoom(verifier.get()))) {
                return std::string();
            }
            fed += size;
            std::string failure = pack_verifierFeed(verifier.get(), data, size);
            refused = !failure.empty();
            return failure.empty() ? "" : pack_readBackError(failure);
        },
        [&inputEnded] { inputEnded = true; });
    if (!refused && !error.empty()) {
        return error;
    }
    *blame = kPackBlameOutput;
    if (error.empty()) {
        error = pack_feedWritten(file, payloadAt + fed, payloadAt + written->size, verifier.get());
    }
    std::string verdict = pack_endVerifier(verifier.release(), &written->crc);
    return !error.empty() || verdict.empty() ? error : pack_readBackError(verdict);
}

std::string pack_streamImage(replace_File* file, const pack_Stub& stub, const char* packagePath,
                             const pack_Compression& how, pack_Split* split, pack_Written* written,
                             pack_Blame* blame)
{
    std::string error = pack_writeBytes(file, split->head);
    if (error.empty()) {
        *blame = kPackBlamePackage;
        error = pack_streamPayload(file, split->head.size(), packagePath, how, written, blame);
    }
    uint64_t payloadSize = written->size;
    if (error.empty()) {
        *blame = kPackBlameStub;
        size_t headSize = split->head.size();
        error = pack_layOut(stub, payloadSize, split);
        if (error.empty() && split->head.size() != headSize) {
            error = "the resource layout depends on the payload's size";
        }
    }
    if (error.empty() && split->size >= how.maxImage) {
        *blame = kPackBlameOutput;
        error = pack_imageTooLarge(split->size, how.maxImage);
    }
    if (error.empty()) {
        *blame = kPackBlameOutput;
        error = replace_writeAt(file, 0, split->head.data(), split->head.size()) == 0
            ? pack_writeBytes(file, split->tail)
            : pack_writeError();
    }
    return error;
}

// The one pass over the written image: every byte into the checksum, the payload's bytes on
// to the comparison with the package.
struct pack_ReadBack {
    FILE* stream = nullptr;
    uint64_t size = 0, at = 0, payloadAt = 0, payloadEnd = 0;
    pack_Checksum checksum;
    std::unique_ptr<uint8_t[]> piece {new uint8_t[kPiece]};
    bool failed = false;
};

size_t pack_readPiece(pack_ReadBack& r)
{
    size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, r.size - r.at));
    size_t got = fread(r.piece.get(), 1, want, r.stream);
    r.failed = r.failed || got != want;
    pack_checksumAdd(&r.checksum, r.piece.get(), got);
    r.at += got;
    return got;
}

size_t pack_nextPayloadPiece(pack_ReadBack& r, const uint8_t** data)
{
    while (r.at < r.payloadEnd) {
        uint64_t start = r.at;
        if (pack_readPiece(r) == 0) {
            return 0;
        }
        uint64_t from = std::max(start, r.payloadAt), to = std::min(r.at, r.payloadEnd);
        if (from < to) {
            *data = r.piece.get() + (from - start);
            return static_cast<size_t>(to - from);
        }
    }
    return 0;
}

std::string pack_readBack(replace_File* file, const pack_Split& split, const pack_Written& written)
{
    FILE* stream = replace_stream(file);
    if (fflush(stream) != 0) {
        return pack_writeError();
    }
    pack_ReadBack r;
    r.stream = stream;
    r.size = split.size;
    uint32_t payloadSize = 0;
    std::string error = pack_locatePayload(
        [stream](uint64_t at, uint8_t* to, size_t size) {
            return replace_seek(stream, at) == 0 && fread(to, 1, size, stream) == size;
        },
        split.size, &r.payloadAt, &payloadSize);
    r.payloadEnd = r.payloadAt + payloadSize;
    r.checksum.field = split.checksumAt;
    if (error.empty() && replace_seek(stream, 0) != 0) {
        error = "cannot read it";
    }
    uint64_t crc = 0;
    for (const uint8_t* data = nullptr; error.empty() && !r.failed && r.at < r.payloadEnd;) {
        size_t got = pack_nextPayloadPiece(r, &data);
        crc = pack_crc64(data, got, crc);
        r.failed = r.failed || got == 0;
    }
    if (error.empty() && !r.failed && (payloadSize != written.size || crc != written.crc)) {
        error = "the packed payload does not decode to the package";
    }
    while (error.empty() && r.at < r.size && pack_readPiece(r) != 0) {
    }
    if (error.empty() && (r.failed || r.at != r.size)) {
        error = "cannot read it";
    }
    if (!error.empty()) {
        return pack_readBackError(error);
    }
    pack_Bytes field(4);
    pack_put32(field, 0, pack_checksumEnd(r.checksum));
    return replace_writeAt(file, split.checksumAt, field.data(), field.size()) == 0
        ? ""
        : pack_writeError();
}

}  // namespace

std::string pack_writeOutput(const pack_Stub& stub, const char* packagePath,
                             const pack_Compression& how, const char* outputPath, pack_Blame* blame,
                             uint64_t* imageSize)
{
    *blame = kPackBlameStub;
    pack_Split split;
    std::string error = pack_layOut(stub, 0, &split);
    if (!error.empty()) {
        return error;
    }
    *blame = kPackBlameOutput;
    pack_OutputFile file(replace_begin(outputPath));
    if (!file) {
        return pack_writeError();
    }
    pack_Written written;
    error = pack_streamImage(file.get(), stub, packagePath, how, &split, &written, blame);
    if (error.empty()) {
        *blame = kPackBlameOutput;
        error = pack_readBack(file.get(), split, written);
    }
    if (!error.empty()) {
        return error;
    }
    if (imageSize != nullptr) {
        *imageSize = split.size;
    }
    return replace_commit(file.release()) == 0 ? "" : pack_writeError();
}
