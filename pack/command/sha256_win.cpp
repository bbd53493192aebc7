// A file's SHA-256 through the system's bcrypt.dll.
#include "winget_command.h"

#include <windows.h>
#include <bcrypt.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <memory>

namespace {

struct pack_Sha256 {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ~pack_Sha256()
    {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
        }
        if (alg != nullptr) {
            BCryptCloseAlgorithmProvider(alg, 0);
        }
    }
};

}  // namespace

std::string pack_sha256File(const char* path, std::string* hex)
{
    std::unique_ptr<FILE, int (*)(FILE*)> in(fopen(path, "rb"), fclose);
    if (!in) {
        return strerror(errno);
    }
    pack_Sha256 s;
    if (BCryptOpenAlgorithmProvider(&s.alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0
        || BCryptCreateHash(s.alg, &s.hash, nullptr, 0, nullptr, 0, 0) < 0) {
        return "the system offers no SHA-256";
    }
    unsigned char piece[1 << 16];
    size_t got = 0;
    while ((got = fread(piece, 1, sizeof piece, in.get())) > 0) {
        if (BCryptHashData(s.hash, piece, static_cast<ULONG>(got), 0) < 0) {
            return "SHA-256 failed";
        }
    }
    unsigned char digest[32];
    if (ferror(in.get()) || BCryptFinishHash(s.hash, digest, sizeof digest, 0) < 0) {
        return "read error";
    }
    hex->clear();
    for (unsigned char b : digest) {
        hex->push_back("0123456789ABCDEF"[b >> 4]);
        hex->push_back("0123456789ABCDEF"[b & 15]);
    }
    return "";
}
