// Finding the payload in a written image without holding it: the headers, the section table and
// the three resource directories on the way to RCDATA 12 are read, nothing else. Every offset
// read from the file is checked against the file before it is followed.
#include "pe.h"

namespace {

constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kMaxOptional = 0x1000;

struct pack_Locator {
    const pack_ReadAt& read;
    uint64_t fileSize;
    std::vector<pack_Section> sections;
    uint32_t rsrcRva = 0;
};

bool pack_readSome(pack_Locator& l, uint64_t at, size_t size, pack_Bytes* out)
{
    out->assign(size, 0);
    return at <= l.fileSize && size <= l.fileSize - at && l.read(at, out->data(), size);
}

// The file offset of an RVA range that lies in one section's raw data.
bool pack_mapRva(const pack_Locator& l, uint64_t rva, uint64_t size, uint64_t* offset)
{
    for (const pack_Section& s : l.sections) {
        if (rva >= s.rva && rva - s.rva <= s.rawSize && size <= s.rawSize - (rva - s.rva)) {
            *offset = s.rawOffset + (rva - s.rva);
            return *offset <= l.fileSize && size <= l.fileSize - *offset;
        }
    }
    return false;
}

std::string pack_readHeaders(pack_Locator& l)
{
    pack_Bytes b;
    if (!pack_readSome(l, 0, 64, &b) || b[0] != 'M' || b[1] != 'Z') {
        return "not a Windows executable (no MZ header)";
    }
    uint64_t pe = pack_get32(b, 0x3C);
    if (!pack_readSome(l, pe, 24, &b) || pack_get32(b, 0) != 0x00004550u) {
        return "not a PE executable (no PE signature)";
    }
    uint32_t count = pack_get16(b, 6), optionalSize = pack_get16(b, 20);
    if (optionalSize < 2 || optionalSize > kMaxOptional
        || !pack_readSome(l, pe + 24, optionalSize, &b)) {
        return "the optional header is cut short";
    }
    size_t dirs = pack_get16(b, 0) == 0x20B ? 112 : 96;
    if (dirs + (kPackDirResource + 1) * 8 > optionalSize
        || pack_get32(b, dirs - 4) <= kPackDirResource) {
        return "no resource directory";
    }
    l.rsrcRva = pack_get32(b, dirs + kPackDirResource * 8);
    if (count > kMaxSections || !pack_readSome(l, pe + 24 + optionalSize, count * 40u, &b)) {
        return "the section table is cut short";
    }
    for (uint32_t i = 0; i < count; ++i) {
        pack_Section s;
        s.rva = pack_get32(b, i * 40 + 12);
        s.rawSize = pack_get32(b, i * 40 + 16);
        s.rawOffset = pack_get32(b, i * 40 + 20);
        l.sections.push_back(s);
    }
    return "";
}

// The one entry of the resource directory at offset dir (from the section's start) that has
// this id, or with id 0 the directory's only entry; *target is what it points to.
std::string pack_findEntry(pack_Locator& l, uint32_t dir, uint16_t id, uint32_t* name,
                           uint32_t* target)
{
    pack_Bytes b;
    uint64_t at = 0;
    if (!pack_mapRva(l, uint64_t(l.rsrcRva) + dir, 16, &at) || !pack_readSome(l, at, 16, &b)) {
        return "a resource directory lies outside the file";
    }
    uint32_t count = pack_get16(b, 12) + pack_get16(b, 14);
    if (!pack_mapRva(l, uint64_t(l.rsrcRva) + dir + 16, count * 8ull, &at)
        || !pack_readSome(l, at, count * 8u, &b)) {
        return "a resource directory's entries lie outside the file";
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (id == 0 ? count == 1 : pack_get32(b, i * 8) == id) {
            *name = pack_get32(b, i * 8);
            *target = pack_get32(b, i * 8 + 4);
            return "";
        }
    }
    return id == 0 ? "RCDATA 12 is not exactly one resource in language 1033" : "no RCDATA 12";
}

}  // namespace

std::string pack_locatePayload(const pack_ReadAt& read, uint64_t fileSize, uint64_t* offset,
                               uint32_t* size)
{
    pack_Locator l {read, fileSize, {}, 0};
    std::string error = pack_readHeaders(l);
    uint32_t name = 0, types = 0, names = 0, data = 0;
    if (error.empty()) {
        error = pack_findEntry(l, 0, kPackRtRcdata, &name, &types);
    }
    if (error.empty() && (types & 0x80000000u) != 0) {
        error = pack_findEntry(l, types & 0x7FFFFFFFu, kPackPayloadId, &name, &names);
    }
    if (error.empty() && (names & 0x80000000u) != 0) {
        error = pack_findEntry(l, names & 0x7FFFFFFFu, 0, &name, &data);
    }
    if (!error.empty()) {
        return error;
    }
    if ((types & names & 0x80000000u) == 0 || (data & 0x80000000u) != 0
        || name != kPackPayloadLang) {
        return "RCDATA 12 is not exactly one resource in language 1033";
    }
    pack_Bytes entry;
    uint64_t at = 0;
    if (!pack_mapRva(l, uint64_t(l.rsrcRva) + data, 16, &at) || !pack_readSome(l, at, 16, &entry)
        || !pack_mapRva(l, pack_get32(entry, 0), pack_get32(entry, 4), offset)) {
        return "the payload lies outside the file";
    }
    *size = pack_get32(entry, 4);
    return "";
}
