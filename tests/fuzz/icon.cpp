// Fuzzes setup-pack's reading of icons (.ico files, and icon groups of PE images) and of
// version records, which come from packages and stubs of any origin.
//
// Input: the bytes of an icon file, an executable or a version record. What reads must give
// the same thing again once written: the icon as a group with its images in a resource list,
// the version record as setup-pack builds it.
//
// Seeds: a one-image .ico of make-icon.pl (16x16), the tiny stub branded with it and its
// version record alone.
#include <stdlib.h>

#include "icon.h"
#include "version_record.h"

namespace {

bool sameImages(const std::vector<pack_IconImage>& a, const std::vector<pack_IconImage>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].width != b[i].width || a[i].height != b[i].height || a[i].colors != b[i].colors
            || a[i].planes != b[i].planes || a[i].bitCount != b[i].bitCount
            || a[i].data != b[i].data) {
            return false;
        }
    }
    return true;
}

void checkIcon(const pack_Bytes& input)
{
    std::vector<pack_IconImage> images, again;
    if (!pack_readIcon(input, &images).empty()) {
        return;
    }
    std::vector<pack_Resource> resources;
    pack_replaceIcon(&resources, images);
    if (!pack_iconFromResources(resources, &again).empty() || !sameImages(images, again)) {
        abort();
    }
}

void checkVersionRecord(const pack_Bytes& input)
{
    pack_VersionInfo info, again;
    if (!pack_readVersionRecord(input, &info).empty()) {
        return;
    }
    info.hasFixed = true;
    pack_Bytes built = pack_buildVersionRecord(info);
    if (built.size() > 0xFFFF) {
        return;  // more text than a record holds; setup-pack bounds what it writes
    }
    if (!pack_readVersionRecord(built, &again).empty() || again.strings != info.strings
        || !std::equal(info.fileVersion, info.fileVersion + 4, again.fileVersion)) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pack_Bytes input(data, data + size);
    checkIcon(input);
    checkVersionRecord(input);
    return 0;
}
