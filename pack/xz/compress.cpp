// The package's compression.
//
// liblzma's easy encoder at preset 9 with a CRC64 check is what `xz -9 -T1` runs: one block,
// no sizes in its header. A large package is cut into blocks of a fixed size whose headers give
// their sizes, as the threaded encoder writes them, so that setup.exe decodes them side by side.
// The package is streamed in pieces and the result handed on as it is produced, so memory stays
// at the encoder's own need plus a few pieces.
#include "xz.h"
#include "lzma_error.h"

#include <errno.h>
#include <lzma.h>
#include <stdio.h>
#include <string.h>

#include <memory>

namespace {

constexpr uint32_t kPreset = 9;

// The encoder for a package of the given size, which decides the form.
lzma_ret pack_startEncoder(lzma_stream* stream, const pack_Compression& how, uint64_t size)
{
    bool blocks = size >= how.blocksFrom;
    if (how.threads == 1 && !blocks) {
        return lzma_easy_encoder(stream, kPreset, LZMA_CHECK_CRC64);
    }
    lzma_mt mt = {};
    mt.threads = how.threads != 0 ? how.threads : lzma_cputhreads();
    mt.threads = mt.threads != 0 ? mt.threads : 1;
    mt.preset = kPreset;
    mt.check = LZMA_CHECK_CRC64;
    // Below the size of blocks, the encoder's default for the preset: three dictionaries.
    mt.block_size = blocks ? how.blockSize : 0;
    return lzma_stream_encoder_mt(stream, &mt);
}

// The package's size, into *size, checked against the limit before anything is compressed.
std::string pack_checkPackageSize(FILE* in, uint64_t limit, uint64_t* size)
{
#ifdef _WIN32
    bool ended = _fseeki64(in, 0, SEEK_END) == 0;
    int64_t end = ended ? _ftelli64(in) : -1;
#else
    bool ended = fseeko(in, 0, SEEK_END) == 0;
    int64_t end = ended ? ftello(in) : -1;
#endif
    if (end < 0) {
        return std::string("cannot read the package: ") + strerror(errno);
    }
    *size = static_cast<uint64_t>(end);
    rewind(in);
    if (*size >= limit) {
        return "the package is " + std::to_string(*size)
            + " bytes; no Windows Installer package "
              "can be "
            + std::to_string(limit) + " bytes or larger";
    }
    return "";
}

}  // namespace

std::string pack_compressFileTo(const char* path, const pack_Compression& how,
                                const pack_Sink& sink, const std::function<void()>& inputEnded)
{
    pack_File in(fopen(path, "rb"));
    if (!in) {
        return std::string("cannot open the package: ") + strerror(errno);
    }
    uint64_t size = 0;
    std::string error = pack_checkPackageSize(in.get(), how.maxPackage, &size);
    if (!error.empty()) {
        return error;
    }
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret ret = pack_startEncoder(&stream, how, size);
    if (ret != LZMA_OK) {
        return pack_lzmaError("starting the compressor", ret);
    }
    std::unique_ptr<lzma_stream, pack_LzmaEnd> cleanup(&stream);
    std::unique_ptr<uint8_t[]> piece(new uint8_t[kPackXzPiece]), out(new uint8_t[kPackXzPiece]);
    lzma_action action = LZMA_RUN;
    uint64_t total = 0;
    while (ret != LZMA_STREAM_END) {
        if (stream.avail_in == 0 && action == LZMA_RUN) {
            stream.next_in = piece.get();
            stream.avail_in = fread(piece.get(), 1, kPackXzPiece, in.get());
            if (ferror(in.get())) {
                return "cannot read the package";
            }
            action = feof(in.get()) ? LZMA_FINISH : LZMA_RUN;
            if (action == LZMA_FINISH && inputEnded) {
                inputEnded();
            }
        }
        stream.next_out = out.get();
        stream.avail_out = kPackXzPiece;
        ret = lzma_code(&stream, action);
        if (ret != LZMA_OK && ret != LZMA_STREAM_END) {
            return pack_lzmaError("compressing", ret);
        }
        size_t got = kPackXzPiece - stream.avail_out;
        total += got;
        if (how.imageRest + total >= how.maxImage) {
            return pack_imageTooLarge(how.imageRest + total, how.maxImage);
        }
        error = got != 0 ? sink(out.get(), got) : "";
        if (!error.empty()) {
            return error;
        }
    }
    return "";
}

std::string pack_compressFile(const char* path, pack_Bytes* out, const pack_Compression& how)
{
    out->clear();
    return pack_compressFileTo(path, how, [out](const uint8_t* data, size_t size) {
        out->insert(out->end(), data, data + size);
        return std::string();
    });
}

std::string pack_imageTooLarge(uint64_t size, uint64_t limit)
{
    return "the setup executable would be " + std::to_string(size)
        + " bytes or more; Windows "
          "loads no image of "
        + std::to_string(limit) + " bytes or more";
}
