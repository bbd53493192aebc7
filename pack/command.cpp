// The command: read the stub, then compress the package into OUTPUT's temporary file, read the
// result back, and only then put it in place. The stub is read whole before anything is
// written, so OUTPUT may name it.
#include "cabinets.h"
#include "default_stub.h"
#include "options.h"
#include "pack.h"

#include <stdio.h>

namespace {

// The stub's bytes that stay when its payload is replaced, about: the compression stops as
// soon as these and the new payload could not fit in an image.
uint64_t pack_imageRest(size_t stubSize, const std::vector<pack_Resource>& resources)
{
    uint64_t old = 0;
    for (const pack_Resource& r : resources) {
        if (!r.type.isName && r.type.id == kPackRtRcdata && !r.name.isName
            && r.name.id == kPackPayloadId) {
            old += r.data.size();
        }
    }
    return old < stubSize ? stubSize - old : 0;
}

int pack_fail(const char* path, const std::string& reason)
{
    fprintf(stderr, "setup-pack: %s: %s\n", path, reason.c_str());
    return 1;
}

// OUTPUT's file name, as the version record names the original file.
std::string pack_fileName(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int pack_run(int argc, const char* const argv[])
{
    pack_Options options;
    std::string error = pack_parseOptions(argc, argv, &options);
    if (!error.empty()) {
        fprintf(stderr, "setup-pack: %s\n", error.c_str());
        return 1;
    }
    size_t files = options.files.size();
    if (files != 2 && files != 3) {
        fputs("usage: setup-pack [--name TEXT] [--version N.N.N[.N]] [--company TEXT] [--icon FILE.ico] "
              "[--keep-branding] [--threads N] [--store-cabinets] [--no-architecture-question] [STUB] PACKAGE OUTPUT\n", stderr);
        return 1;
    }
    // Without STUB, the installed one.
    if (files == 2) {
        std::string stub;
        std::string stubError = pack_defaultStub(options.files[0].c_str(), &stub);
        if (!stubError.empty()) {
            return pack_fail(options.files[0].c_str(), stubError);
        }
        options.files.insert(options.files.begin(), stub);
    }
    const char *stubPath = options.files[0].c_str(), *packagePath = options.files[1].c_str(),
               *outputPath = options.files[2].c_str();
    pack_Bytes stub;
    error = pack_readWhole(stubPath, &stub);
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
    pack_Compression how;
    how.threads = options.threads;
    how.imageRest = pack_imageRest(stub.size(), resources);
    resources.clear();
    pack_Branding& branding = options.branding;
    error = branding.keep ? "" : pack_brandingFromPackage(packagePath, &branding);
    if (!error.empty()) {
        return pack_fail(packagePath, error);
    }
    std::string outputName = pack_fileName(outputPath);
    pack_Stub edited;
    error = pack_readStub(stub,
                          [&](std::vector<pack_Resource>* r) {
                              pack_applyBranding(r, branding, outputName);
                              if (options.noQuestion) {
                                  pack_dropString(r, kPackQuestionString);
                              }
                          },
                          &edited);
    if (!error.empty()) {
        return pack_fail(stubPath, error);
    }
    // What is packed: PACKAGE, or a temporary copy with its cabinets stored uncompressed.
    std::string stored;
    pack_RemoveAtEnd removeStored{&stored};
    if (options.storeCabinets) {
        error = pack_storeCabinets(packagePath, &stored);
    } else {
        pack_cabinetHint(packagePath);
    }
    if (!error.empty()) {
        return pack_fail(packagePath, error);
    }
    const char* packedPath = stored.empty() ? packagePath : stored.c_str();
    pack_Blame blame = kPackBlameStub;
    uint64_t imageSize = 0;
    error = pack_writeOutput(edited, packedPath, how, outputPath, &blame, &imageSize);
    if (!error.empty()) {
        return pack_fail(blame == kPackBlameStub ? stubPath : blame == kPackBlamePackage ? packagePath : outputPath,
                         error);
    }
    std::string warning = pack_addressSpaceWarning(edited.image.pe32plus, imageSize);
    if (!warning.empty()) {
        fprintf(stderr, "setup-pack: warning: %s: %s\n", outputPath, warning.c_str());
    }
    if (edited.image.certSize != 0) {
        fprintf(stderr, "setup-pack: %s: removed its Authenticode signature, which any edit breaks; "
                        "sign %s again\n", stubPath, outputPath);
    }
    return 0;
}
