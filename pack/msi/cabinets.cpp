// Which embedded cabinets a package has and how they are compressed, read through the
// installer database reader; the rewrite itself is the platform's (cabinet_store_*.cpp).
#include "msi_package.h"
#include "cabinet_store.h"

#include <stdio.h>

#include <memory>

namespace {

// Enough for the header and folder entries of any cabinet built without reserve areas.
constexpr size_t kFirstRead = 1 << 16;

// The first bytes of every stream, with more read where a cabinet header needs them.
std::string pack_cabinetStreams(pack_Msi* db, size_t limit, pack_Rows* streams)
{
    return pack_msiSelect(db, "SELECT `Name`, `Data` FROM `_Streams`", "sb", streams, limit);
}

std::string pack_sizeText(uint64_t bytes)
{
    char text[32];
    if (bytes < 1000000) {
        snprintf(text, sizeof text, "%llu KB",
                 static_cast<unsigned long long>((bytes + 999) / 1000));
    } else {
        snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    }
    return text;
}

bool pack_isSigned(pack_Msi* db)
{
    pack_Rows rows;
    if (pack_msiSelect(db, "SELECT `Table` FROM `MsiDigitalSignature`", "s", &rows).empty()
        && !rows.empty()) {
        return true;
    }
    // The package's own Authenticode signature is a stream of this name.
    pack_msiSelect(db, "SELECT `Name` FROM `_Streams`", "s", &rows);
    for (const auto& row : rows) {
        if (pack_bytesText(row[0])
            == "\x05"
               "DigitalSignature") {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string pack_embeddedCabinets(pack_Msi* db, std::vector<pack_EmbeddedCabinet>* cabinets)
{
    cabinets->clear();
    pack_Rows media, streams, more;
    if (!pack_msiSelect(db, "SELECT `Cabinet` FROM `Media`", "s", &media).empty()) {
        return "";  // no Media table: no files to install from cabinets
    }
    std::string error = pack_cabinetStreams(db, kFirstRead, &streams);
    for (size_t m = 0; error.empty() && m < media.size(); ++m) {
        std::string value = pack_bytesText(media[m][0]);
        for (size_t s = 0; value.size() > 1 && value[0] == '#' && s < streams.size(); ++s) {
            if (pack_bytesText(streams[s][0]) != value.substr(1)) {
                continue;
            }
            pack_EmbeddedCabinet cab;
            cab.stream = value.substr(1);
            size_t needed = 0;
            const pack_Bytes* bytes = &streams[s][1];
            pack_readCabinetHeader(bytes->data(), bytes->size(), &cab.header, &needed);
            if (needed > bytes->size() && bytes->size() == kFirstRead) {
                error = pack_cabinetStreams(db, needed, &more);
                bytes = error.empty() && s < more.size() ? &more[s][1] : bytes;
            }
            if (pack_readCabinetHeader(bytes->data(), bytes->size(), &cab.header).empty()) {
                cabinets->push_back(cab);
            }
            break;
        }
    }
    return error;
}

std::string pack_cabinetHintText(const std::vector<pack_EmbeddedCabinet>& cabinets)
{
    size_t compressed = 0;
    uint64_t size = 0;
    unsigned types = 0;
    std::string name;
    for (const pack_EmbeddedCabinet& c : cabinets) {
        if (c.header.compressedFolders > 0) {
            ++compressed;
            size += c.header.size;
            types |= c.header.types;
            name = c.stream;
        }
    }
    if (compressed == 0) {
        return "";
    }
    std::string what = compressed == 1 ? "its embedded cabinet " + name + " (" + pack_sizeText(size)
            + ") is " + pack_cabinetTypesText(types) + "-compressed"
                                       : std::to_string(compressed) + " of its embedded cabinets ("
            + pack_sizeText(size) + ") are " + pack_cabinetTypesText(types) + "-compressed";
    return what
        + ", which leaves xz little to gain: build the package with uncompressed cabinets "
          "(WiX: CompressionLevel=\"none\" on its MediaTemplate or Media) or pack with "
          "--store-cabinets "
          "for a smaller setup";
}

void pack_cabinetHint(const char* package)
{
    pack_Msi* opened = nullptr;
    if (!pack_msiOpen(package, &opened).empty()) {
        return;
    }
    pack_MsiPtr db(opened);
    std::vector<pack_EmbeddedCabinet> cabinets;
    std::string text =
        pack_embeddedCabinets(db.get(), &cabinets).empty() ? pack_cabinetHintText(cabinets) : "";
    if (!text.empty()) {
        fprintf(stderr, "setup-pack: %s: %s\n", package, text.c_str());
    }
}

std::string pack_storeCabinets(const char* package, std::string* packedCopy)
{
    packedCopy->clear();
    pack_Msi* opened = nullptr;
    std::string error = pack_msiOpen(package, &opened);
    if (!error.empty()) {
        return "--store-cabinets: " + error;
    }
    pack_MsiPtr db(opened);
    if (pack_isSigned(db.get())) {
        return "the package is signed, and storing its cabinets would break the signature: "
               "pack it without --store-cabinets";
    }
    std::vector<pack_EmbeddedCabinet> cabinets;
    error = pack_embeddedCabinets(db.get(), &cabinets);
    if (!error.empty()) {
        return "cannot read its cabinets (" + error + ")";
    }
    std::vector<std::string> streams;
    for (const pack_EmbeddedCabinet& c : cabinets) {
        // A cabinet of a set spanning several media is left whole: its parts depend on each other.
        if (c.header.compressedFolders > 0 && !c.header.spanned) {
            streams.push_back(c.stream);
        }
    }
    db.reset();
    return streams.empty() ? "" : pack_rewriteCabinets(package, streams, packedCopy);
}
