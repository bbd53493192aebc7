// The command: read the stub, compress the package, edit, read the result back, and only then
// put it in place. The stub is read whole before anything is written, so OUTPUT may name it.
#include "bspatch.h"
#include "default_stub.h"
#include "pack.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <memory>

namespace {

struct pack_FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

std::string pack_readWhole(const char* path, pack_Bytes* out)
{
    std::unique_ptr<FILE, pack_FileCloser> in(fopen(path, "rb"));
    if (!in) {
        return strerror(errno);
    }
    uint8_t piece[1 << 16];
    size_t got = 0;
    while ((got = fread(piece, 1, sizeof piece, in.get())) > 0) {
        out->insert(out->end(), piece, piece + got);
    }
    return ferror(in.get()) ? "read error" : "";
}

int pack_fail(const char* path, const std::string& reason)
{
    fprintf(stderr, "setup-pack: %s: %s\n", path, reason.c_str());
    return 1;
}

} // namespace

int pack_run(int argc, const char* const argv[])
{
    if (argc != 3 && argc != 4) {
        fputs("usage: setup-pack [STUB] PACKAGE OUTPUT\n", stderr);
        return 1;
    }
    std::string defaultStub, stubError = argc == 3 ? pack_defaultStub(argv[1], &defaultStub) : "";
    if (!stubError.empty()) {
        return pack_fail(argv[1], stubError);
    }
    const char *stubPath = argc == 4 ? argv[1] : defaultStub.c_str(), *packagePath = argv[argc - 2],
               *outputPath = argv[argc - 1];
    pack_Bytes stub, payload, out;
    std::string error = pack_readWhole(stubPath, &stub);
    if (!error.empty()) {
        return pack_fail(stubPath, error);
    }
    // Checked before the long compression, so that a wrong stub fails at once.
    pack_Image image;
    std::vector<pack_Resource> resources;
    error = pack_readImage(stub, &image);
    if (error.empty()) {
        error = pack_readResources(stub, image, &resources);
    }
    if (!error.empty()) {
        return pack_fail(stubPath, error);
    }
    resources.clear();
    error = pack_compressFile(packagePath, &payload);
    if (!error.empty()) {
        return pack_fail(packagePath, error);
    }
    bool removedSignature = false;
    error = pack_replacePayload(stub, payload, &out, &removedSignature);
    if (!error.empty()) {
        return pack_fail(stubPath, error);
    }
    pack_Bytes().swap(stub);
    pack_Bytes().swap(payload);
    pack_Bytes back;
    error = pack_findPayload(out, &back);
    if (error.empty()) {
        error = pack_verifyAgainstFile(back.data(), back.size(), packagePath);
    }
    if (!error.empty()) {
        return pack_fail(outputPath, "the result does not read back: " + error);
    }
    if (removedSignature) {
        fprintf(stderr, "setup-pack: %s: removed its Authenticode signature, which any edit breaks; "
                        "sign %s again\n", stubPath, outputPath);
    }
    if (bspatch_writeNewFile(outputPath, out.data(), static_cast<int64_t>(out.size())) != 0) {
        return pack_fail(outputPath, std::string("cannot write: ") + strerror(errno));
    }
    return 0;
}
