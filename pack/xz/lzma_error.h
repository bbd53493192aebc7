// What the compressor and the check share: liblzma's stream ended with its scope, its failures
// in words, and the size of the pieces they work in.
#pragma once

#include <lzma.h>

#include <memory>
#include <string>

constexpr size_t kPackXzPiece = 1 << 20;

struct pack_LzmaEnd {
    void operator()(lzma_stream* s) const { lzma_end(s); }
};

inline std::string pack_lzmaError(const char* what, lzma_ret ret)
{
    return std::string(what) + " failed (liblzma error " + std::to_string(static_cast<int>(ret))
        + ")";
}
