// Reading Windows Installer databases through the platform's reader: libmsi natively, msi.dll
// on Windows (CMake picks msi_read_libmsi.cpp or msi_read_win.cpp). Strings come back as UTF-8,
// stream columns as their bytes, so that callers see the same values from either reader.
#pragma once

#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

#include "pack.h"

struct pack_Msi;  // an open database, read-only

// Opens the package at path. Returns "" or a one-line error (not an installer database).
std::string pack_msiOpen(const char* path, pack_Msi** db);
void pack_msiClose(pack_Msi* db);

struct pack_MsiCloser {
    void operator()(pack_Msi* db) const { pack_msiClose(db); }
};
using pack_MsiPtr = std::unique_ptr<pack_Msi, pack_MsiCloser>;

// Runs a SELECT and returns every row. kinds has one letter per selected column: 's' reads it
// as a string (UTF-8), 'b' as a stream (its bytes, the first streamLimit of them). A null field
// reads as empty. Returns "" or a one-line error (a missing table is an error too).
std::string pack_msiSelect(pack_Msi* db, const char* query, const char* kinds,
                           std::vector<std::vector<pack_Bytes>>* rows, size_t streamLimit = SIZE_MAX);

// The summary information's texts and word count that setup-pack uses (a missing one reads as
// empty, or 0). Returns "" or a one-line error.
struct pack_MsiSummary {
    std::string subject, comments;
    int32_t wordCount = 0;
};
std::string pack_msiSummary(pack_Msi* db, pack_MsiSummary* summary);

// Opens the package at path and reads its Property table, rows of name and value (what
// branding and the winget manifests both start with). Returns "" or a one-line error.
inline std::string pack_msiOpenProperties(const char* path, pack_MsiPtr* db, std::vector<std::vector<pack_Bytes>>* rows)
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
