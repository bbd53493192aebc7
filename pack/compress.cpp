// The package's compression, and the check that what was packed decodes to the package.
//
// liblzma's easy encoder at preset 9 with a CRC64 check is what `xz -9 -T1` runs: the
// single-threaded encoder writes no sizes into the block header, which the setup's decoder
// form expects. The package is streamed in pieces, so memory stays at the encoder's own need
// plus the compressed result.
#include "pack.h"

#include <errno.h>
#include <lzma.h>
#include <stdio.h>
#include <string.h>

#include <memory>

namespace {

constexpr size_t kPiece = 1 << 20;
constexpr uint32_t kPreset = 9;

struct pack_FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using pack_File = std::unique_ptr<FILE, pack_FileCloser>;

struct pack_LzmaEnd {
    void operator()(lzma_stream* s) const { lzma_end(s); }
};

std::string pack_lzmaError(const char* what, lzma_ret ret)
{
    return std::string(what) + " failed (liblzma error " + std::to_string(static_cast<int>(ret)) + ")";
}

} // namespace

std::string pack_compressFile(const char* path, pack_Bytes* out)
{
    pack_File in(fopen(path, "rb"));
    if (!in) {
        return std::string("cannot open the package: ") + strerror(errno);
    }
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret ret = lzma_easy_encoder(&stream, kPreset, LZMA_CHECK_CRC64);
    if (ret != LZMA_OK) {
        return pack_lzmaError("starting the compressor", ret);
    }
    std::unique_ptr<lzma_stream, pack_LzmaEnd> cleanup(&stream);
    std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
    out->clear();
    lzma_action action = LZMA_RUN;
    while (ret != LZMA_STREAM_END) {
        if (stream.avail_in == 0 && action == LZMA_RUN) {
            stream.next_in = piece.get();
            stream.avail_in = fread(piece.get(), 1, kPiece, in.get());
            if (ferror(in.get())) {
                return "cannot read the package";
            }
            action = feof(in.get()) ? LZMA_FINISH : LZMA_RUN;
        }
        size_t done = out->size();
        out->resize(done + kPiece);
        stream.next_out = out->data() + done;
        stream.avail_out = kPiece;
        ret = lzma_code(&stream, action);
        out->resize(out->size() - stream.avail_out);
        if (ret != LZMA_OK && ret != LZMA_STREAM_END) {
            return pack_lzmaError("compressing", ret);
        }
    }
    out->shrink_to_fit();
    return "";
}

std::string pack_verifyAgainstFile(const uint8_t* xz, size_t size, const char* path)
{
    pack_File in(fopen(path, "rb"));
    if (!in) {
        return std::string("cannot open the package again: ") + strerror(errno);
    }
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret ret = lzma_stream_decoder(&stream, UINT64_MAX, 0);
    if (ret != LZMA_OK) {
        return pack_lzmaError("starting the decoder", ret);
    }
    std::unique_ptr<lzma_stream, pack_LzmaEnd> cleanup(&stream);
    std::unique_ptr<uint8_t[]> decoded(new uint8_t[kPiece]), original(new uint8_t[kPiece]);
    stream.next_in = xz;
    stream.avail_in = size;
    while (ret != LZMA_STREAM_END) {
        stream.next_out = decoded.get();
        stream.avail_out = kPiece;
        ret = lzma_code(&stream, LZMA_FINISH);
        if (ret != LZMA_OK && ret != LZMA_STREAM_END) {
            return pack_lzmaError("decoding the packed payload", ret);
        }
        size_t got = kPiece - stream.avail_out;
        if (fread(original.get(), 1, got, in.get()) != got || memcmp(decoded.get(), original.get(), got) != 0) {
            return "the packed payload does not decode to the package";
        }
    }
    if (stream.avail_in != 0 || fgetc(in.get()) != EOF) {
        return "the packed payload does not decode to the package";
    }
    return "";
}
