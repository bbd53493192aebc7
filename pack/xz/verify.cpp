// The check that what was packed decodes to the package: the payload, handed over in pieces as
// it is read back, is decoded and compared with the package piece by piece.
#include "xz.h"
#include "lzma_error.h"

#include <errno.h>
#include <string.h>

std::string pack_verifyAgainstFile(const pack_Pull& pull, const char* path)
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
    std::unique_ptr<uint8_t[]> decoded(new uint8_t[kPackXzPiece]),
        original(new uint8_t[kPackXzPiece]);
    bool ended = false;
    while (ret != LZMA_STREAM_END) {
        if (stream.avail_in == 0 && !ended) {
            stream.avail_in = pull(&stream.next_in);
            ended = stream.avail_in == 0;
        }
        stream.next_out = decoded.get();
        stream.avail_out = kPackXzPiece;
        ret = lzma_code(&stream, ended ? LZMA_FINISH : LZMA_RUN);
        if (ret != LZMA_OK && ret != LZMA_STREAM_END) {
            return pack_lzmaError("decoding the packed payload", ret);
        }
        size_t got = kPackXzPiece - stream.avail_out;
        if (fread(original.get(), 1, got, in.get()) != got
            || memcmp(decoded.get(), original.get(), got) != 0) {
            return "the packed payload does not decode to the package";
        }
    }
    const uint8_t* more = nullptr;
    if (stream.avail_in != 0 || (!ended && pull(&more) != 0) || fgetc(in.get()) != EOF) {
        return "the packed payload does not decode to the package";
    }
    return "";
}
