// Reading a PE image that may come from anywhere: every offset, count and size is checked
// against the file before it is used, and anything the edit could not keep intact is refused.
#include "pe.h"

#include <algorithm>
#include <set>

namespace {

constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kMaxDirs = 16;
constexpr uint32_t kMinDirs = kPackDirBaseReloc + 1;

bool fits(uint64_t offset, uint64_t size, uint64_t total)
{
    return offset <= total && size <= total - offset;
}

bool isPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::string pack_readOptional(const pack_Bytes& file, pack_Image* image, uint32_t optionalSize)
{
    size_t opt = image->optionalOffset;
    if (!fits(opt, 2, file.size()) || optionalSize < 2) {
        return "the optional header is cut short";
    }
    uint32_t magic = pack_get16(file, opt);
    if (magic != 0x10B && magic != 0x20B) {
        return "unknown optional header magic";
    }
    image->pe32plus = magic == 0x20B;
    size_t countAt = opt + (image->pe32plus ? 108 : 92);
    image->dirOffset = countAt + 4;
    if (optionalSize < image->dirOffset - opt || !fits(opt, optionalSize, file.size())) {
        return "the optional header is cut short";
    }
    image->sectionAlignment = pack_get32(file, opt + 32);
    image->fileAlignment = pack_get32(file, opt + 36);
    image->sizeOfHeaders = pack_get32(file, opt + 60);
    image->dirCount = pack_get32(file, countAt);
    if (image->dirCount < kMinDirs || image->dirCount > kMaxDirs
        || image->dirCount * 8u > optionalSize - (image->dirOffset - opt)) {
        return "the data directory count is out of range";
    }
    if (!isPowerOfTwo(image->fileAlignment) || image->fileAlignment < 512
        || image->fileAlignment > 65536 || !isPowerOfTwo(image->sectionAlignment)
        || image->sectionAlignment < image->fileAlignment) {
        return "the section or file alignment is invalid";
    }
    return "";
}

std::string pack_readSections(const pack_Bytes& file, pack_Image* image, size_t table,
                              uint32_t count)
{
    if (count == 0 || count > kMaxSections || !fits(table, count * 40ull, image->sizeOfHeaders)
        || image->sizeOfHeaders > file.size()) {
        return "the section table lies outside the headers";
    }
    uint64_t nextRva = 0, nextRaw = image->sizeOfHeaders;
    for (uint32_t i = 0; i < count; ++i) {
        pack_Section s;
        s.headerOffset = table + i * 40;
        s.virtualSize = pack_get32(file, s.headerOffset + 8);
        s.rva = pack_get32(file, s.headerOffset + 12);
        s.rawSize = pack_get32(file, s.headerOffset + 16);
        s.rawOffset = pack_get32(file, s.headerOffset + 20);
        uint64_t span = std::max(s.virtualSize, s.rawSize);
        if (s.rva < nextRva || s.rva + span > 0xFFFFFFFFull) {
            return "sections overlap in memory or are out of order";
        }
        nextRva = s.rva + span;
        if (s.rawSize != 0) {
            if (s.rawOffset < nextRaw || !fits(s.rawOffset, s.rawSize, file.size())) {
                return "section data lies outside the file or overlaps";
            }
            nextRaw = s.rawOffset + uint64_t(s.rawSize);
        }
        image->sections.push_back(s);
    }
    image->rawEnd = nextRaw;
    return "";
}

std::string pack_readSpecialDirs(const pack_Bytes& file, pack_Image* image)
{
    uint32_t rsrcRva = pack_get32(file, image->dirOffset + kPackDirResource * 8);
    uint32_t rsrcSize = pack_get32(file, image->dirOffset + kPackDirResource * 8 + 4);
    auto at = std::find_if(image->sections.begin(), image->sections.end(),
                           [&](const pack_Section& s) { return s.rva == rsrcRva; });
    if (rsrcSize == 0 || at == image->sections.end() || at->rawSize == 0) {
        return "no resource section (the stub must be a setup executable of this project)";
    }
    image->rsrcIndex = static_cast<size_t>(at - image->sections.begin());
    image->certOffset = pack_get32(file, image->dirOffset + kPackDirSecurity * 8);
    image->certSize = pack_get32(file, image->dirOffset + kPackDirSecurity * 8 + 4);
    if (image->certSize != 0
        && (image->certOffset < image->rawEnd
            || !fits(image->certOffset, image->certSize, file.size()))) {
        return "the certificate table lies outside the file or over a section";
    }
    if (image->certSize == 0) {
        image->certOffset = 0;
    }
    return "";
}

// ---- The resource tree ---------------------------------------------------------------------

struct pack_TreeReader {
    const pack_Bytes& file;
    const pack_Section& rsrc;
    std::set<uint32_t> seen;  // directories and data entries, each may be reached once
    uint64_t dataTotal = 0;
    std::vector<pack_Resource>* out;
};

std::string pack_readName(pack_TreeReader& r, uint32_t field, pack_ResName* name)
{
    name->isName = (field & 0x80000000u) != 0;
    if (!name->isName) {
        name->id = static_cast<uint16_t>(field);
        return field > 0xFFFF ? "a resource id is out of range" : "";
    }
    uint32_t off = field & 0x7FFFFFFFu;
    if (!fits(off, 2, r.rsrc.rawSize)) {
        return "a resource name lies outside the resource section";
    }
    uint32_t length = pack_get16(r.file, r.rsrc.rawOffset + off);
    if (!fits(off + 2ull, length * 2ull, r.rsrc.rawSize)) {
        return "a resource name lies outside the resource section";
    }
    for (uint32_t i = 0; i < length; ++i) {
        name->name.push_back(
            static_cast<char16_t>(pack_get16(r.file, r.rsrc.rawOffset + off + 2 + i * 2)));
    }
    return "";
}

std::string pack_readData(pack_TreeReader& r, const pack_Image& image, uint32_t off,
                          pack_Resource res)
{
    if (!fits(off, 16, r.rsrc.rawSize) || !r.seen.insert(off).second) {
        return "a resource data entry lies outside the resource section or is shared";
    }
    size_t at = r.rsrc.rawOffset + size_t(off);
    uint32_t rva = pack_get32(r.file, at), size = pack_get32(r.file, at + 4);
    res.codePage = pack_get32(r.file, at + 8);
    size_t dataAt = 0;
    r.dataTotal += size;
    if (!pack_rvaToOffset(image, rva, size, &dataAt) || r.dataTotal > r.file.size()) {
        return "resource data lies outside the file or overlaps";
    }
    res.data.assign(r.file.begin() + dataAt, r.file.begin() + dataAt + size);
    r.out->push_back(std::move(res));
    return "";
}

std::string pack_readDir(pack_TreeReader& r, const pack_Image& image, uint32_t off, int level,
                         pack_Resource res)
{
    if (!fits(off, 16, r.rsrc.rawSize) || !r.seen.insert(off).second) {
        return "a resource directory lies outside the resource section or is shared";
    }
    size_t at = r.rsrc.rawOffset + size_t(off);
    uint32_t count = pack_get16(r.file, at + 12) + pack_get16(r.file, at + 14);
    if (!fits(off + 16ull, count * 8ull, r.rsrc.rawSize)) {
        return "a resource directory's entries lie outside the resource section";
    }
    for (uint32_t i = 0; i < count; ++i) {
        size_t entry = at + 16 + i * 8;
        pack_ResName* name = level == 0 ? &res.type : level == 1 ? &res.name : &res.lang;
        *name = pack_ResName();
        std::string error = pack_readName(r, pack_get32(r.file, entry), name);
        uint32_t target = pack_get32(r.file, entry + 4);
        bool isDir = (target & 0x80000000u) != 0;
        if (error.empty() && isDir != (level < 2)) {
            error = "the resource tree does not have three levels";
        }
        if (error.empty()) {
            error = isDir ? pack_readDir(r, image, target & 0x7FFFFFFFu, level + 1, res)
                          : pack_readData(r, image, target, res);
        }
        if (!error.empty()) {
            return error;
        }
    }
    return "";
}

}  // namespace

bool pack_rvaToOffset(const pack_Image& image, uint32_t rva, uint32_t size, size_t* offset)
{
    for (const pack_Section& s : image.sections) {
        if (rva >= s.rva && fits(rva - s.rva, size, s.rawSize)) {
            *offset = s.rawOffset + size_t(rva - s.rva);
            return true;
        }
    }
    return false;
}

std::string pack_readImage(const pack_Bytes& file, pack_Image* image)
{
    *image = pack_Image();
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') {
        return "not a Windows executable (no MZ header)";
    }
    uint32_t pe = pack_get32(file, 0x3C);
    if (!fits(pe, 24, file.size()) || pack_get32(file, pe) != 0x00004550u) {
        return "not a PE executable (no PE signature)";
    }
    image->coffOffset = pe + 4;
    image->optionalOffset = image->coffOffset + 20;
    uint32_t sectionCount = pack_get16(file, image->coffOffset + 2);
    uint32_t optionalSize = pack_get16(file, image->coffOffset + 16);
    std::string error = pack_readOptional(file, image, optionalSize);
    if (error.empty()) {
        error = pack_readSections(file, image, image->optionalOffset + optionalSize, sectionCount);
    }
    if (error.empty()) {
        error = pack_readSpecialDirs(file, image);
    }
    return error;
}

std::string pack_readResources(const pack_Bytes& file, const pack_Image& image,
                               std::vector<pack_Resource>* resources)
{
    resources->clear();
    pack_TreeReader reader {file, image.sections[image.rsrcIndex], {}, 0, resources};
    return pack_readDir(reader, image, 0, 0, pack_Resource());
}
