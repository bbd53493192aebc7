// The PE image of a setup stub: reading its headers and resource tree, laying out a new
// resource section around the payload, writing the image and its checksum, and finding the
// payload again. Bytes in, bytes out, so that it builds on any host and can be fuzzed; it knows
// nothing of what the payload holds.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "bytes.h"

struct pack_Section {
    size_t headerOffset = 0;  // of its entry in the section table
    uint32_t virtualSize = 0;
    uint32_t rva = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

struct pack_Image {
    bool pe32plus = false;
    size_t coffOffset = 0;  // the COFF file header, after "PE\0\0"
    size_t optionalOffset = 0;  // the optional header
    size_t dirOffset = 0;  // the data directories
    uint32_t dirCount = 0;
    uint32_t fileAlignment = 0;
    uint32_t sectionAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    std::vector<pack_Section> sections;  // in table order, which is also address order
    size_t rsrcIndex = 0;  // the section the resource directory opens
    size_t rawEnd = 0;  // end of the last section's raw data
    uint32_t certOffset = 0;  // the certificate table (file offsets), 0 when none
    uint32_t certSize = 0;
};

// Resource names and types: an integer id, or a string (UTF-16 code units) when isName.
struct pack_ResName {
    bool isName = false;
    uint16_t id = 0;
    std::u16string name;
};

struct pack_Resource {
    pack_ResName type, name, lang;
    uint32_t codePage = 0;
    pack_Bytes data;
};

// The loader's order of resource directory entries: names first, by UTF-16 code unit, then ids
// ascending.
bool pack_resNameLess(const pack_ResName& a, const pack_ResName& b);

constexpr uint16_t kPackRtRcdata = 10;
constexpr uint16_t kPackPayloadId = 12;
constexpr uint16_t kPackPayloadLang = 1033;

constexpr size_t kPackDirExport = 0, kPackDirResource = 2, kPackDirSecurity = 4,
                 kPackDirBaseReloc = 5;

// Reads and checks the headers and the section table. Returns "" or a one-line error.
std::string pack_readImage(const pack_Bytes& file, pack_Image* image);

// Maps an RVA range to file offsets; the range must lie in one section's raw data.
bool pack_rvaToOffset(const pack_Image& image, uint32_t rva, uint32_t size, size_t* offset);

// Reads the whole resource tree, in tree order. Returns "" or a one-line error.
std::string pack_readResources(const pack_Bytes& file, const pack_Image& image,
                               std::vector<pack_Resource>* resources);

// Lays out a resource section whose first byte will sit at rva, holding the other resources
// (no RCDATA 12 among them) and the payload, RCDATA 12 in language 1033 of payloadSize bytes:
// directories sorted as the loader searches them (names first, by code unit; then ids
// ascending), data 8-byte aligned, the payload's data last. Returns the bytes before the
// payload's data, whose length does not depend on payloadSize; the payload follows them, then
// zeros to an 8-byte boundary.
pack_Bytes pack_buildResources(const std::vector<pack_Resource>& others, uint32_t rva,
                               uint32_t payloadSize);

// The image's PE checksum, as the loader and the signing tools compute it (the field itself
// counted as zero), over bytes given in pieces: pack_checksumAdd them in file order.
struct pack_Checksum {
    uint64_t field = 0;  // the checksum field's file offset
    uint64_t size = 0;  // bytes added so far
    uint64_t sum = 0;
    uint32_t low = 0;  // the first byte of an unfinished 16-bit word
};
void pack_checksumAdd(pack_Checksum* checksum, const uint8_t* data, size_t size);
uint32_t pack_checksumEnd(const pack_Checksum& checksum);
uint32_t pack_checksum(const pack_Bytes& file, size_t checksumOffset);

// A change to the other resources, made before the layout (the branding).
using pack_ResourceEdit = std::function<void(std::vector<pack_Resource>*)>;

// The stub as the edit needs it: its headers, and its resources other than RCDATA 12 passed
// through edit when given. file must outlive stub. Returns "" or a one-line error.
struct pack_Stub {
    const pack_Bytes* file = nullptr;
    pack_Image image;
    std::vector<pack_Resource> others;
};
std::string pack_readStub(const pack_Bytes& file, const pack_ResourceEdit& edit, pack_Stub* stub);

// The new image around a payload of a given size: head holds every byte before the payload's
// data (all headers, the checksum field zero; its length does not depend on the size), tail
// every byte behind it; size is the whole image's.
struct pack_Split {
    pack_Bytes head, tail;
    uint64_t size = 0;
    size_t checksumAt = 0;
    bool removedSignature = false;  // the stub had a certificate table, which the image drops
};
std::string pack_layOut(const pack_Stub& stub, uint64_t payloadSize, pack_Split* split);

// The whole edit in memory: file with every RCDATA 12 replaced by one, language 1033, holding payload,
// its other resources passed through edit when given, and without a certificate table
// (*removedSignature tells whether there was one). Returns "" or a one-line error.
std::string pack_replacePayload(const pack_Bytes& file, const pack_Bytes& payload, pack_Bytes* out,
                                bool* removedSignature, const pack_ResourceEdit& edit = nullptr);

// The RCDATA 12 of an image, for reading the result back. Returns "" or a one-line error.
std::string pack_findPayload(const pack_Bytes& file, pack_Bytes* payload);

// Reads size bytes at offset of a file into to; false when they are not all there.
using pack_ReadAt = std::function<bool(uint64_t offset, uint8_t* to, size_t size)>;

// The same found in a file of fileSize bytes read only where its headers and resource
// directories lead: the payload's file offset and size. Returns "" or a one-line error.
std::string pack_locatePayload(const pack_ReadAt& read, uint64_t fileSize, uint64_t* offset,
                               uint32_t* size);

// ---- String tables (string_table.cpp) ------------------------------------------------------

constexpr uint16_t kPackRtString = 6;

// A string-table block (16 texts, each a length and that many UTF-16 units) with its text
// index (0-15) empty and the others as setup.exe reads them; a text cut off by the block's
// end, and the texts behind it, are empty.
pack_Bytes pack_stringBlockWithout(const pack_Bytes& block, unsigned index);
// Empties string id in every language's block of resources.
void pack_dropString(std::vector<pack_Resource>* resources, unsigned id);
