// The command: read the stub, then compress the package into OUTPUT's temporary file, read the
// result back, and only then put it in place. The stub is read whole before anything is
// written, so OUTPUT may name it.
#include "command.h"
#include "default_stub.h"
#include "msi_package.h"
#include "options.h"
#include "output.h"
#include "winget_command.h"

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

void pack_fail(const char* path, const std::string& reason)
{
    fprintf(stderr, "setup-pack: %s: %s\n", path, reason.c_str());
}

// OUTPUT's file name, as the version record names the original file.
std::string pack_fileName(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The three files. Without STUB, the installed one.
struct pack_Files {
    std::string stub, package, output;
};

// Each step of the command prints its own failure and returns false.
bool pack_takeFiles(const std::vector<std::string>& given, pack_Files* files)
{
    if (given.size() != 2 && given.size() != 3) {
        fputs(pack_usageLine().c_str(), stderr);
        return false;
    }
    if (given.size() == 3) {
        *files = {given[0], given[1], given[2]};
        return true;
    }
    std::string error = pack_defaultStub(given[0].c_str(), &files->stub);
    if (!error.empty()) {
        pack_fail(given[0].c_str(), error);
        return false;
    }
    files->package = given[0];
    files->output = given[1];
    return true;
}

// The stub, read whole (OUTPUT may name it) and checked before the long compression, so that a
// wrong stub fails at once; how->imageRest is what stays of it.
bool pack_loadStub(const pack_Files& files, pack_Bytes* stub, pack_Compression* how)
{
    std::string error = pack_readWhole(files.stub.c_str(), stub);
    pack_Image image;
    std::vector<pack_Resource> resources;
    if (error.empty()) {
        error = pack_readImage(*stub, &image);
    }
    if (error.empty()) {
        error = pack_readResources(*stub, image, &resources);
    }
    if (!error.empty()) {
        pack_fail(files.stub.c_str(), error);
        return false;
    }
    how->imageRest = pack_imageRest(stub->size(), resources);
    return true;
}

// The string-table entry of setup.exe's 32-bit question; without it nothing is asked.
constexpr unsigned kPackQuestionString = 2;

// The stub's resources with the branding the options and the package give, and without the
// question when asked.
bool pack_brandStub(const pack_Files& files, const pack_Bytes& stub, pack_Branding* branding,
                    bool noQuestion, pack_Stub* edited)
{
    std::string error =
        branding->keep ? "" : pack_brandingFromPackage(files.package.c_str(), branding);
    if (!error.empty()) {
        pack_fail(files.package.c_str(), error);
        return false;
    }
    std::string outputName = pack_fileName(files.output);
    auto edit = [&](std::vector<pack_Resource>* r) {
        pack_applyBranding(r, *branding, outputName);
        if (noQuestion) {
            pack_dropString(r, kPackQuestionString);
        }
    };
    error = pack_readStub(stub, edit, edited);
    if (!error.empty()) {
        pack_fail(files.stub.c_str(), error);
        return false;
    }
    return true;
}

// The winget manifests' values, before the long compression: a missing one stops the command
// here, with the option that would give it.
bool pack_prepareManifest(const pack_Files& files, const pack_WingetOptions& winget,
                          const pack_Bytes& stub, pack_WingetManifest* manifest)
{
    if (winget.dir.empty()) {
        return true;
    }
    pack_Image image;
    std::string error = pack_readImage(stub, &image);
    if (error.empty()) {
        error = pack_wingetPrepare(winget, files.package.c_str(), stub, image, manifest);
    }
    if (!error.empty()) {
        fprintf(stderr, "setup-pack: %s\n", error.c_str());
        return false;
    }
    return true;
}

// The manifests, once OUTPUT is in place: their digest is OUTPUT's.
bool pack_writeManifest(const pack_Files& files, const pack_WingetOptions& winget,
                        pack_WingetManifest* manifest)
{
    std::string error =
        winget.dir.empty() ? "" : pack_wingetWrite(winget, manifest, files.output.c_str());
    if (!error.empty()) {
        fprintf(stderr, "setup-pack: %s\n", error.c_str());
        return false;
    }
    return true;
}

// What is packed: PACKAGE, or a temporary copy with its cabinets stored uncompressed (*stored).
bool pack_choosePacked(const pack_Files& files, bool storeCabinets, std::string* stored)
{
    if (!storeCabinets) {
        pack_cabinetHint(files.package.c_str());
        return true;
    }
    std::string error = pack_storeCabinets(files.package.c_str(), stored);
    if (!error.empty()) {
        pack_fail(files.package.c_str(), error);
        return false;
    }
    return true;
}

bool pack_writeResult(const pack_Files& files, const pack_Stub& edited, const char* packedPath,
                      const pack_Compression& how)
{
    pack_Blame blame = kPackBlameStub;
    uint64_t imageSize = 0;
    std::string error =
        pack_writeOutput(edited, packedPath, how, files.output.c_str(), &blame, &imageSize);
    if (!error.empty()) {
        const std::string& path = blame == kPackBlameStub ? files.stub
            : blame == kPackBlamePackage                  ? files.package
                                                          : files.output;
        pack_fail(path.c_str(), error);
        return false;
    }
    std::string warning = pack_addressSpaceWarning(edited.image.pe32plus, imageSize);
    if (!warning.empty()) {
        fprintf(stderr, "setup-pack: warning: %s: %s\n", files.output.c_str(), warning.c_str());
    }
    if (edited.image.certSize != 0) {
        fprintf(stderr,
                "setup-pack: %s: removed its Authenticode signature, which any edit breaks; "
                "sign %s again\n",
                files.stub.c_str(), files.output.c_str());
    }
    return true;
}

}  // namespace

int pack_run(int argc, const char* const argv[])
{
    pack_Options options;
    std::string error = pack_parseOptions(argc, argv, &options);
    if (!error.empty()) {
        fprintf(stderr, "setup-pack: %s\n", error.c_str());
        return 1;
    }
    if (options.help || options.version) {
        std::string text =
            options.help ? pack_helpText() : std::string("setup-pack ") + pack_toolVersion() + "\n";
        fputs(text.c_str(), stdout);
        return 0;
    }
    pack_Files files;
    pack_Bytes stub;
    pack_Compression how;
    how.threads = options.threads;
    pack_Stub edited;
    std::string stored;
    pack_RemoveAtEnd removeStored {&stored};
    pack_WingetManifest manifest;
    bool done = pack_takeFiles(options.files, &files) && pack_loadStub(files, &stub, &how)
        && pack_brandStub(files, stub, &options.branding, options.noQuestion, &edited)
        && pack_prepareManifest(files, options.winget, stub, &manifest)
        && pack_choosePacked(files, options.storeCabinets, &stored)
        && pack_writeResult(files, edited, stored.empty() ? files.package.c_str() : stored.c_str(),
                            how)
        && pack_writeManifest(files, options.winget, &manifest);
    return done ? 0 : 1;
}
