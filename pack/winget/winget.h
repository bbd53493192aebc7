// winget manifests for a packed setup executable: what the package and the command line say,
// the format's rules for identifiers, locales and texts, and the three YAML files of a
// multi-file manifest (version, installer, defaultLocale) of manifest version 1.10.0.
// Pure: no file is touched, so that it builds and is tested everywhere.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

constexpr char kPackWingetManifestVersion[] = "1.10.0";

// What the package says; "" where it says nothing. Texts are UTF-8.
struct pack_WingetPackage {
    std::string manufacturer, productName, productVersion, productCode, upgradeCode;
    std::string productLanguage;  // Property ProductLanguage, a decimal LANGID
    std::string allUsers, installPerUser;  // Properties ALLUSERS and MSIINSTALLPERUSER
    int32_t wordCount = 0;  // summary information: 8 = no elevation needed
    std::string subject, comments;  // summary information
    std::string installDirProperty;  // see pack_wingetInstallDir
};

// What the command line says. name, publisher and version are the branding options
// (--name, --company, --version), which take the package's place here too.
struct pack_WingetOptions {
    std::string dir;  // --winget-manifest; "" for no manifests
    std::string url, id, license, shortDescription;
    std::string name, publisher, version;
};

// Every value of the three files.
struct pack_WingetManifest {
    std::string id, version, locale, publisher, name, license, shortDescription;
    std::string architecture, url, sha256, scope, installDirProperty;
    std::string productCode, upgradeCode, displayName, displayPublisher, displayVersion;
};

struct pack_WingetFile {
    std::string name, text;  // file name in the manifest directory, UTF-8 content
};

// ---- Rules of the format -------------------------------------------------------------------

// The code point at *at of utf8, moving *at past it; U+FFFD for bytes that are no UTF-8
// (one byte is passed over).
uint32_t pack_wingetNextCodePoint(const std::string& utf8, size_t* at);

// A YAML double-quoted scalar holding utf8 (bytes that are no UTF-8 become U+FFFD): every
// character that could end or bend the scalar is escaped, so any text reads back as it was.
std::string pack_yamlString(const std::string& utf8);

// "Publisher.Product" from the two names, the characters an identifier refuses left out, each
// part cut to 32 UTF-16 units; "" when a part is left empty.
std::string pack_wingetIdentifierFrom(const std::string& publisher, const std::string& product);
// "" when id is a PackageIdentifier (2 to 8 parts of 1 to 32 UTF-16 units without white
// space, dot, \ / : * ? " < > | or control characters; 128 in all), else the reason.
std::string pack_wingetCheckIdentifier(const std::string& id);

// The locale of a Windows language id ("de-DE" for 1031), or null for one not in the table.
const char* pack_wingetLocale(uint32_t langId);

// "machine", "user", or "" where the package leaves it open, by the Windows Installer's
// rules: ALLUSERS 1 is per machine; 2 is per machine unless MSIINSTALLPERUSER is 1; none is
// per user only when the package also says it needs no elevation (word count bit 8, what
// an authoring tool's per-user scope writes), since a dialog or custom action may set it.
std::string pack_wingetScope(const std::string& allUsers, const std::string& installPerUser,
                             int32_t wordCount);

// The public property that moves the installation, from the Directory table's ids and the
// WIXUI_INSTALLDIR property: the directory WIXUI_INSTALLDIR names, else INSTALLDIR, else
// INSTALLFOLDER, else the only public id that ends in INSTALLDIR or INSTALLFOLDER; "" when none.
// (TARGETDIR is not taken: the system folders below it do not follow it.)
std::string pack_wingetInstallDir(const std::vector<std::string>& directories,
                                  const std::string& wixUiInstallDir);

// Architecture of a stub by its COFF machine field, or "" for one winget has no name for.
std::string pack_wingetArchitecture(uint32_t machine);

// ---- The manifests -------------------------------------------------------------------------

// Fills every value but sha256 from the package, the options and the stub's architecture.
// A required value that is missing or breaks a rule is a one-line error naming the option
// that gives it. A ProductLanguage outside the table gives en-US and a *warning.
std::string pack_wingetManifest(const pack_WingetPackage& package,
                                const pack_WingetOptions& options, const std::string& architecture,
                                pack_WingetManifest* manifest, std::string* warning);

// The three files: <id>.yaml, <id>.installer.yaml, <id>.locale.<locale>.yaml.
std::vector<pack_WingetFile> pack_wingetFiles(const pack_WingetManifest& manifest);
