// Icons: an .ico file (a directory of images, each at an offset of the file) or an icon group
// resource (the same directory, naming RT_ICON resources by id instead). Both come from
// anywhere, so every count, offset and size is checked before use.
#include "icon.h"

#include <algorithm>
#include <set>

namespace {

constexpr size_t kIcoEntry = 16, kGroupEntry = 14, kDirHeader = 6;
constexpr uint32_t kMaxImages = 256;
const uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool pack_isImage(const pack_Bytes& d)
{
    if (d.size() >= sizeof kPng && std::equal(kPng, kPng + sizeof kPng, d.begin())) {
        return true;
    }
    return d.size() >= 40 && pack_get32(d, 0) == 40;  // BITMAPINFOHEADER
}

// The directory header both forms share: reserved 0, type 1 (icon), at least one image.
std::string pack_readDirHeader(const pack_Bytes& b, size_t entrySize, uint32_t* count)
{
    if (b.size() < kDirHeader || pack_get16(b, 0) != 0 || pack_get16(b, 2) != 1) {
        return "not an icon";
    }
    *count = pack_get16(b, 4);
    if (*count == 0 || *count > kMaxImages || kDirHeader + *count * entrySize > b.size()) {
        return "the icon's directory is empty or cut short";
    }
    return "";
}

pack_IconImage pack_entry(const pack_Bytes& b, size_t at)
{
    pack_IconImage image;
    image.width = b[at];
    image.height = b[at + 1];
    image.colors = b[at + 2];
    image.planes = static_cast<uint16_t>(pack_get16(b, at + 4));
    image.bitCount = static_cast<uint16_t>(pack_get16(b, at + 6));
    return image;
}

std::string pack_readIco(const pack_Bytes& file, std::vector<pack_IconImage>* images)
{
    uint32_t count = 0;
    std::string error = pack_readDirHeader(file, kIcoEntry, &count);
    for (uint32_t i = 0; error.empty() && i < count; ++i) {
        size_t at = kDirHeader + i * kIcoEntry;
        uint64_t size = pack_get32(file, at + 8), offset = pack_get32(file, at + 12);
        if (offset > file.size() || size > file.size() - offset) {
            return "an icon image lies outside the file";
        }
        pack_IconImage image = pack_entry(file, at);
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        if (!pack_isImage(image.data)) {
            return "an icon image is neither a bitmap nor a PNG";
        }
        images->push_back(std::move(image));
    }
    return error;
}

bool pack_isType(const pack_Resource& r, uint16_t type)
{
    return !r.type.isName && r.type.id == type;
}

// The first group in the order the loader lists them (names first, then ids ascending).
const pack_Resource* pack_firstGroup(const std::vector<pack_Resource>& resources)
{
    const pack_Resource* first = nullptr;
    for (const pack_Resource& r : resources) {
        if (pack_isType(r, kPackRtGroupIcon)
            && (first == nullptr || pack_resNameLess(r.name, first->name))) {
            first = &r;
        }
    }
    return first;
}

// The RT_ICON a group entry names: in the group's language if there, else the first.
const pack_Resource* pack_findImage(const std::vector<pack_Resource>& resources, uint32_t id,
                                    const pack_ResName& lang)
{
    const pack_Resource* found = nullptr;
    for (const pack_Resource& r : resources) {
        if (pack_isType(r, kPackRtIcon) && !r.name.isName && r.name.id == id) {
            if (found == nullptr || (!r.lang.isName && !lang.isName && r.lang.id == lang.id)) {
                found = &r;
            }
        }
    }
    return found;
}

}  // namespace

std::string pack_iconFromResources(const std::vector<pack_Resource>& resources,
                                   std::vector<pack_IconImage>* images)
{
    images->clear();
    const pack_Resource* group = pack_firstGroup(resources);
    if (group == nullptr) {
        return "no icon group";
    }
    uint32_t count = 0;
    std::string error = pack_readDirHeader(group->data, kGroupEntry, &count);
    for (uint32_t i = 0; error.empty() && i < count; ++i) {
        size_t at = kDirHeader + i * kGroupEntry;
        const pack_Resource* found =
            pack_findImage(resources, pack_get16(group->data, at + 12), group->lang);
        if (found == nullptr || !pack_isImage(found->data)) {
            return "the icon group names an image that is missing or no image";
        }
        images->push_back(pack_entry(group->data, at));
        images->back().data = found->data;
    }
    return error;
}

std::string pack_readIcon(const pack_Bytes& file, std::vector<pack_IconImage>* images)
{
    images->clear();
    if (file.size() < 2 || file[0] != 'M' || file[1] != 'Z') {
        return pack_readIco(file, images);
    }
    pack_Image image;
    std::vector<pack_Resource> resources;
    std::string error = pack_readImage(file, &image);
    if (error.empty()) {
        error = pack_readResources(file, image, &resources);
    }
    return error.empty() ? pack_iconFromResources(resources, images) : error;
}

void pack_replaceIcon(std::vector<pack_Resource>* resources,
                      const std::vector<pack_IconImage>& images)
{
    pack_Resource group;
    group.type.id = kPackRtGroupIcon;
    group.name.id = 1;
    group.lang.id = kPackBrandLang;
    std::set<uint32_t> dropped;
    if (const pack_Resource* old = pack_firstGroup(*resources)) {
        group.name = old->name;
        group.lang = old->lang;
        group.codePage = old->codePage;
        for (size_t at = kDirHeader; at + kGroupEntry <= old->data.size(); at += kGroupEntry) {
            dropped.insert(pack_get16(old->data, at + 12));
        }
    }
    auto gone = [&](const pack_Resource& r) {
        return (pack_isType(r, kPackRtGroupIcon) && !pack_resNameLess(r.name, group.name)
                && !pack_resNameLess(group.name, r.name))
            || (pack_isType(r, kPackRtIcon) && !r.name.isName && dropped.count(r.name.id) != 0);
    };
    resources->erase(std::remove_if(resources->begin(), resources->end(), gone), resources->end());
    std::set<uint32_t> used;
    for (const pack_Resource& r : *resources) {
        if (pack_isType(r, kPackRtIcon) && !r.name.isName) {
            used.insert(r.name.id);
        }
    }
    group.data = {
        0, 0, 1, 0, static_cast<uint8_t>(images.size()), static_cast<uint8_t>(images.size() >> 8)};
    uint32_t id = 1;
    for (const pack_IconImage& image : images) {
        while (used.count(id) != 0) {
            ++id;
        }
        pack_Resource icon;
        icon.type.id = kPackRtIcon;
        icon.name.id = static_cast<uint16_t>(id);
        icon.lang = group.lang;
        icon.data = image.data;
        resources->push_back(icon);
        size_t at = group.data.size();
        group.data.resize(at + kGroupEntry, 0);
        group.data[at] = image.width;
        group.data[at + 1] = image.height;
        group.data[at + 2] = image.colors;
        pack_put16(group.data, at + 4, image.planes);
        pack_put16(group.data, at + 6, image.bitCount);
        pack_put32(group.data, at + 8, static_cast<uint32_t>(image.data.size()));
        pack_put16(group.data, at + 12, id++);
    }
    resources->push_back(std::move(group));
}
