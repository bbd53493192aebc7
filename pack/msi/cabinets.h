// The package's embedded cabinets: a hint when they are compressed (xz gains little on them),
// and --store-cabinets, which packs a copy of the package with them stored uncompressed.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

#include "cabinet_header.h"

struct pack_Msi;

struct pack_EmbeddedCabinet {
    std::string stream;  // its stream in the package: the Media table's Cabinet value after '#'
    pack_CabinetHeader header;
};

// The cabinets that the Media table names as streams and whose headers read, in Media order.
// A package without a Media table has none. Returns "" or a one-line error.
std::string pack_embeddedCabinets(pack_Msi* db, std::vector<pack_EmbeddedCabinet>* cabinets);

// The hint's text for these cabinets, "" when none is compressed (pure).
std::string pack_cabinetHintText(const std::vector<pack_EmbeddedCabinet>& cabinets);

// Prints the hint, "setup-pack: PACKAGE: ...", on stderr when some embedded cabinet of the
// package is compressed. A package that does not read as an installer database gets none.
void pack_cabinetHint(const char* package);

// Writes a copy of the package, in the temporary directory, whose compressed embedded cabinets
// are stored uncompressed: the same files in the same order, with their names, attributes and
// dates. *packedCopy is its path, or empty when nothing needed rewriting (the package is then
// packed as it is). A signed package is refused. Returns "" or a one-line error; on an error
// no copy is left.
std::string pack_storeCabinets(const char* package, std::string* packedCopy);

// The platform's part of it: the copy of package with the named cabinet streams rewritten
// (libgcab and libmsi natively, cabinet.dll and msi.dll on Windows). Returns "" or a one-line
// error, and leaves no copy on an error.
std::string pack_rewriteCabinets(const char* package, const std::vector<std::string>& streams,
                                 std::string* packedCopy);

// Removes the file its path names, if any, when the scope ends.
struct pack_RemoveAtEnd {
    const std::string* path;
    ~pack_RemoveAtEnd()
    {
        if (!path->empty()) {
            remove(path->c_str());
        }
    }
};
