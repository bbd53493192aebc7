// The three files of a multi-file manifest, from the package, the options and the stub.
#include "winget.h"

#include <stdlib.h>

#include <utility>

namespace {

size_t pack_codePoints(const std::string& utf8)
{
    size_t n = 0;
    for (size_t at = 0; at < utf8.size(); ++n) {
        pack_wingetNextCodePoint(utf8, &at);
    }
    return n;
}

bool pack_fits(const std::string& text, size_t least, size_t most)
{
    size_t n = pack_codePoints(text);
    return n >= least && n <= most;
}

// InstallerUrl: ^([Hh][Tt][Tt][Pp][Ss]?)://.+$, at most 2048 characters.
bool pack_isInstallerUrl(const std::string& url)
{
    size_t colon = url.find("://");
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    bool lineBreak = url.find_first_of("\n\r") != std::string::npos;
    return colon != std::string::npos && (scheme == "http" || scheme == "https")
        && colon + 3 < url.size() && !lineBreak && pack_codePoints(url) <= 2048;
}

// PackageVersion: ^[^\\/:\*\?"<>\|\x01-\x1f]+$, at most 128 characters.
bool pack_isPackageVersion(const std::string& version)
{
    for (unsigned char c : version) {
        if (c < 0x20
            || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) {
            return false;
        }
    }
    return pack_fits(version, 1, 128);
}

std::string pack_identifier(const pack_WingetOptions& o, const std::string& publisher,
                            const std::string& name, std::string* id)
{
    if (!o.id.empty()) {
        std::string why = pack_wingetCheckIdentifier(o.id);
        *id = o.id;
        return why.empty() ? "" : "--winget-id " + o.id + ": " + why;
    }
    *id = pack_wingetIdentifierFrom(publisher, name);
    if (id->empty() || !pack_wingetCheckIdentifier(*id).empty()) {
        return "no winget identifier can be made of the publisher and the product name: give "
               "--winget-id";
    }
    return "";
}

std::string pack_shortDescription(const pack_WingetPackage& p, const pack_WingetOptions& o,
                                  std::string* out)
{
    if (!o.shortDescription.empty()) {
        *out = o.shortDescription;
        return pack_fits(*out, 3, 256) ? ""
                                       : "--short-description needs a text of 3 to 256 characters";
    }
    for (const std::string* text : {&p.comments, &p.subject}) {
        if (pack_fits(*text, 3, 256)) {
            *out = *text;
            return "";
        }
    }
    return "the package's summary information has no Comments or Subject of 3 to 256 characters: "
           "give --short-description";
}

// Each check gives "" or the error; the first error counts.
std::string pack_checkTexts(const pack_WingetManifest& m, const pack_WingetOptions& o)
{
    if (o.url.empty()) {
        return "--winget-manifest needs --installer-url URL";
    }
    if (!pack_isInstallerUrl(o.url)) {
        return "--installer-url " + o.url
            + ": not http:// or https:// and an address, of at most 2048 characters";
    }
    if (!pack_isPackageVersion(m.version)) {
        return "the package version \"" + m.version
            + "\" is none for winget (1 to 128 characters, "
              "none of \\ / : * ? \" < > |): give --product-version";
    }
    if (!pack_fits(m.publisher, 2, 256)) {
        return "the publisher (Manufacturer) is missing or not 2 to 256 characters: give --company";
    }
    if (!pack_fits(m.name, 2, 256)) {
        return "the package name (ProductName) is missing or not 2 to 256 characters: give --name";
    }
    if (!pack_fits(m.license, 3, 512)) {
        return "--winget-manifest needs --license TEXT of 3 to 512 characters: a package does not "
               "name its license";
    }
    return m.architecture.empty() ? "the stub is for a machine that winget has no architecture for"
                                  : "";
}

}  // namespace

std::string pack_wingetManifest(const pack_WingetPackage& p, const pack_WingetOptions& o,
                                const std::string& architecture, pack_WingetManifest* m,
                                std::string* warning)
{
    m->publisher = o.publisher.empty() ? p.manufacturer : o.publisher;
    m->name = o.name.empty() ? p.productName : o.name;
    m->version = o.version.empty() ? p.productVersion : o.version;
    m->license = o.license;
    m->url = o.url;
    m->architecture = architecture;
    std::string error = pack_checkTexts(*m, o);
    if (error.empty()) {
        error = pack_identifier(o, m->publisher, m->name, &m->id);
    }
    if (error.empty()) {
        error = pack_shortDescription(p, o, &m->shortDescription);
    }
    if (!error.empty()) {
        return error;
    }
    char* end = nullptr;
    unsigned long lang = strtoul(p.productLanguage.c_str(), &end, 10);
    const char* locale =
        end != p.productLanguage.c_str() && *end == '\0' ? pack_wingetLocale(lang) : nullptr;
    m->locale = locale != nullptr ? locale : "en-US";
    if (locale == nullptr && !p.productLanguage.empty() && p.productLanguage != "0") {
        *warning = "ProductLanguage " + p.productLanguage
            + " is no language setup-pack knows; the manifests say en-US";
    }
    m->scope = pack_wingetScope(p.allUsers, p.installPerUser, p.wordCount);
    m->installDirProperty = p.installDirProperty;
    m->productCode = p.productCode;
    m->upgradeCode = p.upgradeCode;
    m->displayName = p.productName;
    m->displayPublisher = p.manufacturer;
    m->displayVersion = p.productVersion;
    return "";
}

namespace {

void pack_line(std::string* out, const char* indent, const char* key, const std::string& value)
{
    if (!value.empty()) {
        *out += std::string(indent) + key + ": " + pack_yamlString(value) + "\n";
    }
}

std::string pack_head(const char* type, const pack_WingetManifest& m)
{
    std::string out = std::string("# Created by setup-pack\n# yaml-language-server: "
                                  "$schema=https://aka.ms/winget-manifest.")
        + type + "." + kPackWingetManifestVersion + ".schema.json\n\n";
    pack_line(&out, "", "PackageIdentifier", m.id);
    pack_line(&out, "", "PackageVersion", m.version);
    return out;
}

std::string pack_tail(const char* type)
{
    std::string out;
    pack_line(&out, "", "ManifestType", type);
    pack_line(&out, "", "ManifestVersion", kPackWingetManifestVersion);
    return out;
}

// What setup.exe passes to msiexec, and what msiexec's codes mean, coming back through it.
std::string pack_installer(const pack_WingetManifest& m)
{
    std::string out = "Installers:\n";
    pack_line(&out, "- ", "Architecture", m.architecture);
    pack_line(&out, "  ", "InstallerType", "exe");
    pack_line(&out, "  ", "InstallerUrl", m.url);
    pack_line(&out, "  ", "InstallerSha256", m.sha256);
    pack_line(&out, "  ", "Scope", m.scope);
    out += "  InstallerSwitches:\n";
    pack_line(&out, "    ", "Silent", "--quiet /qn");
    pack_line(&out, "    ", "SilentWithProgress", "--quiet /passive");
    pack_line(&out, "    ", "Log", "/l*v \"<LOGPATH>\"");
    if (!m.installDirProperty.empty()) {
        pack_line(&out, "    ", "InstallLocation", m.installDirProperty + "=\"<INSTALLPATH>\"");
    }
    static const std::pair<int, const char*> codes[] = {
        {1602, "cancelledByUser"}, {1618, "installInProgress"},      {1638, "alreadyInstalled"},
        {1641, "rebootInitiated"}, {3010, "rebootRequiredToFinish"}, {1625, "blockedByPolicy"},
        {112, "diskFull"},
    };
    out += "  ExpectedReturnCodes:\n";
    for (const auto& c : codes) {
        out += "  - InstallerReturnCode: " + std::to_string(c.first) + "\n";
        pack_line(&out, "    ", "ReturnResponse", c.second);
    }
    pack_line(&out, "  ", "ProductCode", m.productCode);
    if (!m.displayName.empty() || !m.productCode.empty()) {
        out += "  AppsAndFeaturesEntries:\n";
        std::string entry;
        pack_line(&entry, "    ", "DisplayName", m.displayName);
        pack_line(&entry, "    ", "Publisher", m.displayPublisher);
        pack_line(&entry, "    ", "DisplayVersion", m.displayVersion);
        pack_line(&entry, "    ", "ProductCode", m.productCode);
        pack_line(&entry, "    ", "UpgradeCode", m.upgradeCode);
        // What the entry in Apps and Features is: the package's own, which msiexec made.
        pack_line(&entry, "    ", "InstallerType", "msi");
        entry[2] = '-';  // the first key opens the list's one item
        out += entry;
    }
    return out;
}

}  // namespace

std::vector<pack_WingetFile> pack_wingetFiles(const pack_WingetManifest& m)
{
    std::string version = pack_head("version", m);
    pack_line(&version, "", "DefaultLocale", m.locale);
    std::string installer = pack_head("installer", m) + pack_installer(m);
    std::string locale = pack_head("defaultLocale", m);
    pack_line(&locale, "", "PackageLocale", m.locale);
    pack_line(&locale, "", "Publisher", m.publisher);
    pack_line(&locale, "", "PackageName", m.name);
    pack_line(&locale, "", "License", m.license);
    pack_line(&locale, "", "ShortDescription", m.shortDescription);
    return {
        {m.id + ".yaml", version + pack_tail("version")},
        {m.id + ".installer.yaml", installer + pack_tail("installer")},
        {m.id + ".locale." + m.locale + ".yaml", locale + pack_tail("defaultLocale")},
    };
}
