// The cabinet header reader. Field offsets are those of the cabinet format: CFHEADER is 36
// bytes, followed by the reserve sizes when flag 4 is set, the reserve, the names of the
// previous and next cabinets when flags 1 and 2 are set, and then the CFFOLDER entries.
#include "cabinet_header.h"

#include <string.h>

namespace {

constexpr uint16_t kPrevCabinet = 1, kNextCabinet = 2, kReservePresent = 4;
constexpr size_t kFixed = 36;

uint32_t pack_le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t pack_le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The end of the NUL-terminated text at at, or 0 when the bytes end first.
size_t pack_skipText(const uint8_t* bytes, size_t size, size_t at)
{
    const void* nul = at < size ? memchr(bytes + at, 0, size - at) : nullptr;
    return nul == nullptr ? 0 : static_cast<const uint8_t*>(nul) - bytes + 1;
}

std::string pack_cut(size_t need, size_t* needed)
{
    if (needed != nullptr) {
        *needed = need;
    }
    return "the cabinet header is cut short";
}

}  // namespace

std::string pack_readCabinetHeader(const uint8_t* bytes, size_t size, pack_CabinetHeader* header,
                                   size_t* needed)
{
    if (needed != nullptr) {
        *needed = 0;
    }
    if (size < 4 || memcmp(bytes, "MSCF", 4) != 0) {
        return "not a cabinet";
    }
    if (size < kFixed) {
        return pack_cut(kFixed, needed);
    }
    pack_CabinetHeader h;
    h.size = pack_le32(bytes + 8);
    h.folders = static_cast<uint16_t>(pack_le16(bytes + 26));
    h.files = static_cast<uint16_t>(pack_le16(bytes + 28));
    uint32_t flags = pack_le16(bytes + 30);
    h.spanned = (flags & (kPrevCabinet | kNextCabinet)) != 0;
    size_t at = kFixed, folderReserve = 0;
    if (flags & kReservePresent) {
        if (size < at + 4) {
            return pack_cut(at + 4, needed);
        }
        folderReserve = bytes[at + 2];
        at += 4 + pack_le16(bytes + at);
    }
    // Two texts each for a previous and a next cabinet: its file name and its disk's name. How
    // long they are is not known before they are read, so a cut here asks for the most.
    int texts = (flags & kPrevCabinet ? 2 : 0) + (flags & kNextCabinet ? 2 : 0);
    for (int i = 0; i < texts; ++i) {
        size_t end = pack_skipText(bytes, size, at);
        if (end == 0) {
            return pack_cut(kPackCabHeaderMax, needed);
        }
        at = end;
    }
    size_t entry = 8 + folderReserve, end = at + entry * h.folders;
    if (size < end) {
        return pack_cut(end, needed);
    }
    for (size_t i = 0; i < h.folders; ++i, at += entry) {
        unsigned type = pack_le16(bytes + at + 6) & 0xF;
        if (type > kPackCabLzx) {
            return "folder " + std::to_string(i + 1) + " has the unknown compression type "
                + std::to_string(type);
        }
        h.types |= 1u << type;
        h.compressedFolders += type != kPackCabNone;
    }
    *header = h;
    return "";
}

std::string pack_cabinetTypesText(unsigned types)
{
    static const char* const names[] = {"", "MSZIP", "Quantum", "LZX"};
    std::string text;
    for (unsigned t = kPackCabMszip; t <= kPackCabLzx; ++t) {
        if (types & (1u << t)) {
            text += (text.empty() ? "" : " and ") + std::string(names[t]);
        }
    }
    return text;
}
