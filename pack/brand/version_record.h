// The version record (VS_VERSIONINFO) of a setup executable: read from any stub, written with
// one language.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "pe.h"
#include "text.h"

constexpr uint16_t kPackRtVersion = 16;

struct pack_VersionInfo {
    bool hasFixed = false;
    uint16_t fileVersion[4] = {}, productVersion[4] = {};
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // of the first string table
};

// Reads what a version record holds. Returns "" or a one-line error.
std::string pack_readVersionRecord(const pack_Bytes& data, pack_VersionInfo* info);

// Writes a record with the fixed part and one string table, language 0409, code page 1200.
pack_Bytes pack_buildVersionRecord(const pack_VersionInfo& info);
