// The edit itself: a fresh resource section in place of the old one, on a page of the file; the
// sections behind it (the base relocations, in what our linker makes) moved to follow it; the
// header fields that describe the layout made true again; any signature dropped; the checksum
// last. The image is laid out around its payload, which sits last in the resource section: the
// bytes before it and behind it are computed from the payload's size alone, so that the payload
// itself can go straight from the compressor into the file.
#include "pe.h"

#include <algorithm>

namespace {

constexpr uint32_t kScnInitializedData = 0x40;
constexpr uint32_t kRelocAbsolute = 0;
constexpr size_t kChecksumField = 64;  // in the optional header, both formats
constexpr size_t kSizeOfImageField = 56;
constexpr size_t kInitializedDataField = 8;
// The resource section's raw data starts on a page boundary of the file. A loader that maps an
// image's file pages (Wine maps only sections at page-aligned offsets, and reads the others into
// fresh memory) then pages the payload in from the file cache instead of copying all of it
// before the program starts: about 0.1 s on a 28 MB payload. Every file alignment divides it.
constexpr uint32_t kRsrcFileAlignment = 4096;

constexpr uint64_t pack_alignUp(uint64_t v, uint32_t a) { return (v + a - 1) & ~uint64_t(a - 1); }

// Relocations that land in the resource section or behind it would be wrong once those move.
std::string pack_checkRelocations(const pack_Bytes& file, const pack_Image& image, uint32_t limit)
{
    uint32_t rva = pack_get32(file, image.dirOffset + kPackDirBaseReloc * 8);
    uint32_t size = pack_get32(file, image.dirOffset + kPackDirBaseReloc * 8 + 4);
    size_t at = 0;
    if (size == 0) {
        return "";
    }
    if (!pack_rvaToOffset(image, rva, size, &at)) {
        return "the base relocations lie outside the file";
    }
    for (size_t end = at + size; at < end;) {
        uint32_t page = pack_get32(file, at),
                 blockSize = end - at >= 8 ? pack_get32(file, at + 4) : 0;
        if (blockSize < 8 || blockSize > end - at) {
            return "a base relocation block has a bad size";
        }
        for (size_t e = at + 8; e + 2 <= at + blockSize; e += 2) {
            uint32_t entry = pack_get16(file, e);
            if (entry >> 12 != kRelocAbsolute && uint64_t(page) + (entry & 0xFFF) >= limit) {
                return "relocations point into the resource section or behind it";
            }
        }
        at += blockSize;
    }
    return "";
}

// Only the base relocations may sit behind the resource section: nothing else would follow a
// move. They may not sit in it, where the new resources would overwrite them.
std::string pack_checkMovable(const pack_Bytes& file, const pack_Image& image)
{
    const pack_Section& rsrc = image.sections[image.rsrcIndex];
    uint32_t limit = rsrc.rva;
    uint64_t rsrcEnd = uint64_t(rsrc.rva) + std::max(rsrc.virtualSize, rsrc.rawSize);
    uint32_t relocRva = pack_get32(file, image.dirOffset + kPackDirBaseReloc * 8);
    uint32_t relocSize = pack_get32(file, image.dirOffset + kPackDirBaseReloc * 8 + 4);
    if (relocSize != 0 && relocRva < rsrcEnd && uint64_t(relocRva) + relocSize > rsrc.rva) {
        return "the base relocations lie in the resource section";
    }
    for (size_t i = 0; i < image.dirCount; ++i) {
        uint32_t rva = pack_get32(file, image.dirOffset + i * 8);
        uint32_t size = pack_get32(file, image.dirOffset + i * 8 + 4);
        if (i != kPackDirResource && i != kPackDirSecurity && i != kPackDirBaseReloc && size != 0
            && rva >= limit) {
            return "data directory " + std::to_string(i)
                + " lies in or behind the resource section";
        }
    }
    return pack_checkRelocations(file, image, limit);
}

bool pack_isPayload(const pack_Resource& r)
{
    return !r.type.isName && r.type.id == kPackRtRcdata && !r.name.isName
        && r.name.id == kPackPayloadId;
}

struct pack_Move {
    uint64_t newRsrcOffset = 0;  // PointerToRawData of the new resource section
    uint64_t newRsrcRaw = 0;  // SizeOfRawData of the new resource section
    int64_t fileShift = 0;  // for the raw data behind the resource section
    int64_t rvaShift = 0;  // for the sections behind it in memory
    size_t tailStart = 0;  // first byte (old file) behind the resource section's raw data
};

pack_Move pack_planMove(const pack_Image& image, uint64_t rsrcSize)
{
    const pack_Section& rsrc = image.sections[image.rsrcIndex];
    pack_Move m;
    m.newRsrcOffset = pack_alignUp(rsrc.rawOffset, kRsrcFileAlignment);
    m.newRsrcRaw = pack_alignUp(rsrcSize, image.fileAlignment);
    m.tailStart = rsrc.rawOffset + size_t(rsrc.rawSize);
    for (size_t i = image.rsrcIndex + 1; i < image.sections.size(); ++i) {
        if (image.sections[i].rawSize != 0) {
            m.tailStart = image.sections[i].rawOffset;
            break;
        }
    }
    m.fileShift = int64_t(m.newRsrcOffset + m.newRsrcRaw) - int64_t(m.tailStart);
    if (image.rsrcIndex + 1 < image.sections.size()) {
        m.rvaShift = int64_t(pack_alignUp(rsrc.rva + rsrcSize, image.sectionAlignment))
            - int64_t(image.sections[image.rsrcIndex + 1].rva);
    }
    return m;
}

// The sections' table entries and the header fields that follow from the new layout, in the
// new image's head (which holds all headers); total is the new image's size.
std::string pack_fixHeaders(pack_Bytes& out, const pack_Image& image, const pack_Move& m,
                            uint32_t rsrcSize, uint64_t total)
{
    const pack_Section& rsrc = image.sections[image.rsrcIndex];
    pack_put32(out, rsrc.headerOffset + 8, rsrcSize);
    pack_put32(out, rsrc.headerOffset + 16, static_cast<uint32_t>(m.newRsrcRaw));
    pack_put32(out, rsrc.headerOffset + 20, static_cast<uint32_t>(m.newRsrcOffset));
    uint64_t imageEnd = 0;
    for (size_t i = 0; i < image.sections.size(); ++i) {
        const pack_Section& s = image.sections[i];
        uint64_t rva = s.rva,
                 span = i == image.rsrcIndex ? rsrcSize : std::max(s.virtualSize, s.rawSize);
        if (i > image.rsrcIndex) {
            rva = uint64_t(int64_t(rva) + m.rvaShift);
            pack_put32(out, s.headerOffset + 12, static_cast<uint32_t>(rva));
            if (s.rawSize != 0) {
                pack_put32(out, s.headerOffset + 20,
                           static_cast<uint32_t>(int64_t(s.rawOffset) + m.fileShift));
            }
        }
        imageEnd = rva + span;
    }
    if (imageEnd > 0xFFFFFFFFull || total > 0xFFFFFFFFull) {
        return "the result would be larger than a PE image can be";
    }
    size_t opt = image.optionalOffset;
    pack_put32(out, opt + kSizeOfImageField,
               static_cast<uint32_t>(pack_alignUp(imageEnd, image.sectionAlignment)));
    if (pack_get32(out, rsrc.headerOffset + 36) & kScnInitializedData) {
        pack_put32(out, opt + kInitializedDataField,
                   pack_get32(out, opt + kInitializedDataField)
                       + static_cast<uint32_t>(m.newRsrcRaw) - rsrc.rawSize);
    }
    pack_put32(out, image.dirOffset + kPackDirResource * 8 + 4, rsrcSize);
    pack_put32(out, image.dirOffset + kPackDirSecurity * 8, 0);
    pack_put32(out, image.dirOffset + kPackDirSecurity * 8 + 4, 0);
    size_t relocAt = image.dirOffset + kPackDirBaseReloc * 8;
    if (image.rsrcIndex + 1 < image.sections.size() && pack_get32(out, relocAt) >= rsrc.rva) {
        pack_put32(out, relocAt,
                   static_cast<uint32_t>(int64_t(pack_get32(out, relocAt)) + m.rvaShift));
    }
    uint32_t symbols = pack_get32(out, image.coffOffset + 8);
    if (symbols >= image.rawEnd) {
        pack_put32(out, image.coffOffset + 8,
                   static_cast<uint32_t>(int64_t(symbols) + m.fileShift));
    }
    return "";
}

// Bytes behind the last section (other than a signature) are kept, behind the new last section.
void pack_appendTail(pack_Bytes& out, const pack_Bytes& file, const pack_Image& image,
                     size_t tailStart)
{
    size_t certEnd = size_t(image.certOffset) + image.certSize;
    if (image.certSize == 0) {
        out.insert(out.end(), file.begin() + tailStart, file.end());
        return;
    }
    out.insert(out.end(), file.begin() + tailStart, file.begin() + image.certOffset);
    out.insert(out.end(), file.begin() + certEnd, file.end());
}

}  // namespace

std::string pack_readStub(const pack_Bytes& file, const pack_ResourceEdit& edit, pack_Stub* stub)
{
    stub->file = &file;
    std::string error = pack_readImage(file, &stub->image);
    if (error.empty()) {
        error = pack_readResources(file, stub->image, &stub->others);
    }
    if (error.empty()) {
        error = pack_checkMovable(file, stub->image);
    }
    if (!error.empty()) {
        return error;
    }
    if (edit) {
        edit(&stub->others);
    }
    std::vector<pack_Resource>& others = stub->others;
    others.erase(std::remove_if(others.begin(), others.end(), pack_isPayload), others.end());
    return "";
}

std::string pack_layOut(const pack_Stub& stub, uint64_t payloadSize, pack_Split* split)
{
    const pack_Image& image = stub.image;
    const pack_Section& rsrc = image.sections[image.rsrcIndex];
    if (payloadSize > 0xFFFFFFFFull) {
        return "the package is too large for a PE image";
    }
    pack_Bytes before =
        pack_buildResources(stub.others, rsrc.rva, static_cast<uint32_t>(payloadSize));
    uint64_t rsrcSize = before.size() + pack_alignUp(payloadSize, 8);
    if (rsrcSize > 0xFFFFFFFFull - rsrc.rva) {
        return "the package is too large for a PE image";
    }
    pack_Move move = pack_planMove(image, rsrcSize);
    pack_Bytes& head = split->head;
    head.assign(stub.file->begin(), stub.file->begin() + rsrc.rawOffset);
    head.resize(move.newRsrcOffset, 0);
    head.insert(head.end(), before.begin(), before.end());
    split->tail.assign(move.newRsrcRaw - before.size() - payloadSize, 0);
    pack_appendTail(split->tail, *stub.file, image, move.tailStart);
    split->size = head.size() + payloadSize + split->tail.size();
    std::string error =
        pack_fixHeaders(head, image, move, static_cast<uint32_t>(rsrcSize), split->size);
    split->checksumAt = image.optionalOffset + kChecksumField;
    pack_put32(head, split->checksumAt, 0);
    split->removedSignature = image.certSize != 0;
    return error;
}

std::string pack_replacePayload(const pack_Bytes& file, const pack_Bytes& payload, pack_Bytes* out,
                                bool* removedSignature, const pack_ResourceEdit& edit)
{
    pack_Stub stub;
    pack_Split split;
    std::string error = pack_readStub(file, edit, &stub);
    if (error.empty()) {
        error = pack_layOut(stub, payload.size(), &split);
    }
    if (!error.empty()) {
        return error;
    }
    *out = std::move(split.head);
    out->insert(out->end(), payload.begin(), payload.end());
    out->insert(out->end(), split.tail.begin(), split.tail.end());
    pack_put32(*out, split.checksumAt, pack_checksum(*out, split.checksumAt));
    *removedSignature = split.removedSignature;
    return "";
}

std::string pack_findPayload(const pack_Bytes& file, pack_Bytes* payload)
{
    pack_Image image;
    std::vector<pack_Resource> resources;
    std::string error = pack_readImage(file, &image);
    if (error.empty()) {
        error = pack_readResources(file, image, &resources);
    }
    if (!error.empty()) {
        return error;
    }
    const pack_Resource* found = nullptr;
    for (const pack_Resource& r : resources) {
        if (pack_isPayload(r)) {
            if (found != nullptr || r.lang.isName || r.lang.id != kPackPayloadLang) {
                return "RCDATA 12 is not exactly one resource in language 1033";
            }
            found = &r;
        }
    }
    if (found == nullptr) {
        return "no RCDATA 12";
    }
    *payload = found->data;
    return "";
}
