// Branding: what the setup executable says it is (its version record and icon), taken from the
// package (its Property and Icon tables) or from the command line, as an edit of the stub's
// resource list. The version record, the icons and the text rules have headers of their own.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "icon.h"
#include "pe.h"
#include "text.h"
#include "version_record.h"

// Longest text taken into the version record, in UTF-16 code units: with three such texts and
// the description built from the name, the record stays below its 64 KiB length field.
constexpr size_t kPackMaxBrandText = 8000;

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
