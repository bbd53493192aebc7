// Windows Installer packages: reading their databases through the platform's reader (libmsi
// natively, msi.dll on Windows; CMake picks msi_read_libmsi.cpp or msi_read_win.cpp), the hint
// when their embedded cabinets are compressed, and --store-cabinets, which packs a copy of the
// package with them stored uncompressed. Strings come back as UTF-8, stream columns as their
// bytes, so that callers see the same values from either reader.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

#include "bytes.h"
#include "cabinet_header.h"

// ---- The database --------------------------------------------------------------------------

struct pack_Msi;  // an open database, read-only

// Opens the package at path. Returns "" or a one-line error (not an installer database).
std::string pack_msiOpen(const char* path, pack_Msi** db);
void pack_msiClose(pack_Msi* db);

struct pack_MsiCloser {
    void operator()(pack_Msi* db) const { pack_msiClose(db); }
};
using pack_MsiPtr = std::unique_ptr<pack_Msi, pack_MsiCloser>;

using pack_Rows = std::vector<std::vector<pack_Bytes>>;

// Runs a SELECT and returns every row. kinds has one letter per selected column: 's' reads it
// as a string (UTF-8), 'b' as a stream (its bytes, the first streamLimit of them). A null field
// reads as empty. Returns "" or a one-line error (a missing table is an error too).
std::string pack_msiSelect(pack_Msi* db, const char* query, const char* kinds, pack_Rows* rows,
                           size_t streamLimit = SIZE_MAX);

// The summary information's texts and word count that setup-pack uses (a missing one reads as
// empty, or 0). Returns "" or a one-line error.
struct pack_MsiSummary {
    std::string subject, comments;
    int32_t wordCount = 0;
};
std::string pack_msiSummary(pack_Msi* db, pack_MsiSummary* summary);

// Opens the package at path and reads its Property table, rows of name and value (what
// branding and the winget manifests both start with). Returns "" or a one-line error.
inline std::string pack_msiOpenProperties(const char* path, pack_MsiPtr* db, pack_Rows* rows)
{
    pack_Msi* opened = nullptr;
    std::string error = pack_msiOpen(path, &opened);
    if (!error.empty()) {
        return error;
    }
    db->reset(opened);
    error = pack_msiSelect(opened, "SELECT `Property`, `Value` FROM `Property`", "ss", rows);
    return error.empty() ? "" : "cannot read its Property table (" + error + ")";
}

// ---- Embedded cabinets ---------------------------------------------------------------------

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
