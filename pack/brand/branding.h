// Branding: the setup executable's version record and icon, taken from the package (its
// Property and Icon tables) or from the command line, as an edit of the stub's resource list.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "pack.h"

constexpr uint16_t kPackRtIcon = 3, kPackRtGroupIcon = 14, kPackRtVersion = 16;
constexpr uint16_t kPackBrandLang = 0x0409;
// Longest text taken into the version record, in UTF-16 code units: with three such texts and
// the description built from the name, the record stays below its 64 KiB length field.
constexpr size_t kPackMaxBrandText = 8000;

// ---- Texts and versions --------------------------------------------------------------------

// UTF-8 to UTF-16; false for bytes that are not UTF-8.
bool pack_utf16(const std::string& utf8, std::u16string* out);
// Parses one to four dot-separated numbers, each 0..65535; missing ones are 0.
bool pack_parseVersion(const std::string& text, uint16_t version[4]);

// ---- The version record --------------------------------------------------------------------

struct pack_VersionInfo {
    bool hasFixed = false;
    uint16_t fileVersion[4] = {}, productVersion[4] = {};
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // of the first string table
};

// Reads what a version record holds. Returns "" or a one-line error.
std::string pack_readVersionRecord(const pack_Bytes& data, pack_VersionInfo* info);
// Writes a record with the fixed part and one string table, language 0409, code page 1200.
pack_Bytes pack_buildVersionRecord(const pack_VersionInfo& info);

// ---- Icons ---------------------------------------------------------------------------------

struct pack_IconImage {
    uint8_t width = 0, height = 0, colors = 0;
    uint16_t planes = 0, bitCount = 0;
    pack_Bytes data;  // a BITMAPINFOHEADER and its bits, or a PNG
};

// An .ico file, or a PE image whose first icon group is taken. Returns "" or a one-line error.
std::string pack_readIcon(const pack_Bytes& file, std::vector<pack_IconImage>* images);
// The first icon group of a resource list, with the images it names.
std::string pack_iconFromResources(const std::vector<pack_Resource>& resources,
                                   std::vector<pack_IconImage>* images);
// Replaces the first icon group of resources (and the images it names) with images, keeping
// the group's name and language; adds one named 1 when there was none.
void pack_replaceIcon(std::vector<pack_Resource>* resources, const std::vector<pack_IconImage>& images);

// ---- The whole edit ------------------------------------------------------------------------

struct pack_Branding {
    bool keep = false;  // the stub's version record and icon as they are
    bool hasName = false, hasVersion = false, hasCompany = false, hasIcon = false;
    std::string name, company;  // UTF-8
    uint16_t version[4] = {};
    std::vector<pack_IconImage> icon;
};

// Fills what the options left open from the package's Property and Icon tables. A value that
// cannot be used is a one-line warning on stderr, and the stub's stays. Returns "" or a
// one-line error (the package is no installer database, or cannot be read).
std::string pack_brandingFromPackage(const char* packagePath, pack_Branding* branding);
// Rewrites the stub's version record and icon in resources. outputName is OUTPUT's file name.
void pack_applyBranding(std::vector<pack_Resource>* resources, const pack_Branding& branding,
                        const std::string& outputName);
