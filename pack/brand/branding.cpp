// What the setup executable says it is: the package's name, version, maker and icon, unless
// the command line says otherwise. Unusable package values warn and leave the stub's.
#include "brand.h"
#include "msi_package.h"

#include <stdio.h>

#include <algorithm>
#include <memory>

namespace {

void pack_warn(const char* path, const std::string& what)
{
    fprintf(stderr, "setup-pack: warning: %s: %s\n", path, what.c_str());
}

bool pack_usableText(const std::string& text)
{
    std::u16string wide;
    return pack_utf16(text, &wide) && wide.size() <= kPackMaxBrandText;
}

void pack_takePackageText(const char* path, const char* property, const std::string& value,
                          bool* has, std::string* out)
{
    if (*has || value.empty()) {
        return;
    }
    if (!pack_usableText(value)) {
        pack_warn(path, std::string(property) + " is too long or no UTF-8; the stub's is kept");
        return;
    }
    *has = true;
    *out = value;
}

void pack_takeIcon(const char* path, pack_Msi* db, const std::string& name, pack_Branding* b)
{
    pack_Rows rows;
    std::string error = pack_msiSelect(db, "SELECT `Name`, `Data` FROM `Icon`", "sb", &rows);
    auto row = std::find_if(rows.begin(), rows.end(), [&](const std::vector<pack_Bytes>& r) {
        return std::string(r[0].begin(), r[0].end()) == name;
    });
    if (!error.empty() || row == rows.end()) {
        pack_warn(path,
                  "ARPPRODUCTICON names no row of the Icon table (" + name
                      + "); the stub's icon is kept");
        return;
    }
    error = pack_readIcon((*row)[1], &b->icon);
    if (!error.empty()) {
        pack_warn(path,
                  "the icon " + name + " is unusable (" + error + "); the stub's icon is kept");
        return;
    }
    b->hasIcon = true;
}

// Texts are checked before they get here, but a file name may be any bytes: those that are no
// UTF-8 become U+FFFD rather than cutting the name short.
std::u16string pack_u16(const std::string& utf8)
{
    std::u16string out;
    if (!pack_utf16(utf8, &out)) {
        out.clear();
        for (char c : utf8) {
            out.push_back(static_cast<unsigned char>(c) < 0x80 ? static_cast<char16_t>(c)
                                                               : u'\uFFFD');
        }
    }
    return out;
}

std::u16string pack_versionText(const uint16_t v[4])
{
    std::string text = std::to_string(v[0]) + "." + std::to_string(v[1]) + "."
        + std::to_string(v[2]) + "." + std::to_string(v[3]);
    return pack_u16(text);
}

std::u16string pack_stubString(const pack_VersionInfo& stub, const std::u16string& key)
{
    for (const auto& s : stub.strings) {
        if (s.first == key) {
            return s.second;
        }
    }
    return u"";
}

}  // namespace

std::string pack_brandingFromPackage(const char* path, pack_Branding* b)
{
    pack_MsiPtr db;
    pack_Rows rows;
    std::string error = pack_msiOpenProperties(path, &db, &rows);
    if (!error.empty()) {
        return error;
    }
    for (const std::vector<pack_Bytes>& row : rows) {
        std::string key(row[0].begin(), row[0].end()), value(row[1].begin(), row[1].end());
        if (key == "ProductName") {
            pack_takePackageText(path, "ProductName", value, &b->hasName, &b->name);
        } else if (key == "Manufacturer") {
            pack_takePackageText(path, "Manufacturer", value, &b->hasCompany, &b->company);
        } else if (key == "ProductVersion" && !b->hasVersion) {
            b->hasVersion = pack_parseVersion(value, b->version);
            if (!b->hasVersion) {
                pack_warn(path,
                          "ProductVersion " + value
                              + " is not one to four numbers up to 65535; "
                                "the stub's version is kept");
            }
        } else if (key == "ARPPRODUCTICON" && !b->hasIcon) {
            pack_takeIcon(path, db.get(), value, b);
        }
    }
    return "";
}

void pack_applyBranding(std::vector<pack_Resource>* resources, const pack_Branding& b,
                        const std::string& outputName)
{
    if (b.keep) {
        return;
    }
    pack_VersionInfo stub, info;
    auto isVersion = [](const pack_Resource& r) {
        return !r.type.isName && r.type.id == kPackRtVersion;
    };
    auto old = std::find_if(resources->begin(), resources->end(), isVersion);
    if (old != resources->end()) {
        pack_readVersionRecord(old->data, &stub);  // what could be read of it
    }
    info.hasFixed = true;
    std::copy(stub.fileVersion, stub.fileVersion + 4, info.fileVersion);
    std::copy(stub.productVersion, stub.productVersion + 4, info.productVersion);
    std::u16string fileVersion = pack_stubString(stub, u"FileVersion");
    std::u16string productVersion = pack_stubString(stub, u"ProductVersion");
    if (b.hasVersion) {
        std::copy(b.version, b.version + 4, info.fileVersion);
        std::copy(b.version, b.version + 4, info.productVersion);
        fileVersion = productVersion = pack_versionText(b.version);
    }
    std::u16string name = b.hasName ? pack_u16(b.name) : pack_stubString(stub, u"ProductName");
    info.strings = {
        {u"CompanyName",
         b.hasCompany ? pack_u16(b.company) : pack_stubString(stub, u"CompanyName")},
        {u"FileDescription",
         b.hasName ? name + u" Setup" : pack_stubString(stub, u"FileDescription")},
        {u"FileVersion", fileVersion},
        {u"InternalName", u"setup"},
        {u"OriginalFilename", pack_u16(outputName)},
        {u"ProductName", name},
        {u"ProductVersion", productVersion},
    };
    resources->erase(std::remove_if(resources->begin(), resources->end(), isVersion),
                     resources->end());
    pack_Resource record;
    record.type.id = kPackRtVersion;
    record.name.id = 1;
    record.lang.id = kPackBrandLang;
    record.data = pack_buildVersionRecord(info);
    resources->push_back(std::move(record));
    if (b.hasIcon) {
        pack_replaceIcon(resources, b.icon);
    }
}
