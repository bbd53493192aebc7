// What the manifest format allows, and what the Windows Installer's properties mean for it.
#include "winget.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <iterator>

namespace {

// White space as the format's patterns (.NET's \s) know it.
bool pack_isSpace(uint32_t cp)
{
    return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680
        || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F
        || cp == 0x205F || cp == 0x3000;
}

// A character no identifier part may hold. Control characters beyond the ones the format
// names are left out as well: no one types them in a name.
bool pack_refusedInId(uint32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || pack_isSpace(cp) || cp == 0xFFFD
        || (cp < 0x80 && strchr(".\\/:*?\"<>|", static_cast<int>(cp)) != nullptr);
}

size_t pack_utf16Units(uint32_t cp) { return cp >= 0x10000 ? 2 : 1; }

std::string pack_idPart(const std::string& name)
{
    std::string part;
    size_t units = 0;
    for (size_t at = 0; at < name.size();) {
        size_t from = at;
        uint32_t cp = pack_wingetNextCodePoint(name, &at);
        if (pack_refusedInId(cp)) {
            continue;
        }
        if ((units += pack_utf16Units(cp)) > 32) {
            break;
        }
        part.append(name, from, at - from);
    }
    return part;
}

}  // namespace

std::string pack_wingetIdentifierFrom(const std::string& publisher, const std::string& product)
{
    std::string a = pack_idPart(publisher), b = pack_idPart(product);
    return a.empty() || b.empty() ? "" : a + "." + b;
}

std::string pack_wingetCheckIdentifier(const std::string& id)
{
    size_t parts = 1, units = 0, total = 0;
    for (size_t at = 0; at < id.size();) {
        uint32_t cp = pack_wingetNextCodePoint(id, &at);
        total += pack_utf16Units(cp);
        if (cp == '.') {
            if (units == 0) {
                return "has an empty part";
            }
            ++parts;
            units = 0;
            continue;
        }
        if (pack_refusedInId(cp)) {
            return "holds a character an identifier may not hold";
        }
        if ((units += pack_utf16Units(cp)) > 32) {
            return "has a part longer than 32 characters";
        }
    }
    if (units == 0) {
        return "has an empty part";
    }
    if (parts < 2 || parts > 8) {
        return "is not 2 to 8 parts joined by dots";
    }
    return total > 128 ? "is longer than 128 characters" : "";
}

const char* pack_wingetLocale(uint32_t langId)
{
    // The languages setup.exe speaks, and the other common ones.
    static const struct {
        uint16_t id;
        const char* locale;
    } table[] = {
        {1025, "ar-SA"}, {1026, "bg-BG"}, {1027, "ca-ES"}, {1028, "zh-TW"}, {1029, "cs-CZ"},
        {1030, "da-DK"}, {1031, "de-DE"}, {1032, "el-GR"}, {1033, "en-US"}, {1034, "es-ES"},
        {1035, "fi-FI"}, {1036, "fr-FR"}, {1037, "he-IL"}, {1038, "hu-HU"}, {1040, "it-IT"},
        {1041, "ja-JP"}, {1042, "ko-KR"}, {1043, "nl-NL"}, {1044, "nb-NO"}, {1045, "pl-PL"},
        {1046, "pt-BR"}, {1048, "ro-RO"}, {1049, "ru-RU"}, {1050, "hr-HR"}, {1051, "sk-SK"},
        {1053, "sv-SE"}, {1054, "th-TH"}, {1055, "tr-TR"}, {1057, "id-ID"}, {1058, "uk-UA"},
        {1060, "sl-SI"}, {1061, "et-EE"}, {1062, "lv-LV"}, {1063, "lt-LT"}, {1066, "vi-VN"},
        {1081, "hi-IN"}, {1086, "ms-MY"}, {2052, "zh-CN"}, {2055, "de-CH"}, {2057, "en-GB"},
        {2058, "es-MX"}, {2060, "fr-BE"}, {2067, "nl-BE"}, {2070, "pt-PT"}, {3076, "zh-HK"},
        {3079, "de-AT"}, {3081, "en-AU"}, {3082, "es-ES"}, {3084, "fr-CA"}, {4105, "en-CA"},
        {4108, "fr-CH"},
    };
    auto found = std::find_if(std::begin(table), std::end(table),
                              [&](const auto& e) { return e.id == langId; });
    return found == std::end(table) ? nullptr : found->locale;
}

std::string pack_wingetScope(const std::string& allUsers, const std::string& installPerUser,
                             int32_t wordCount)
{
    if (allUsers == "1") {
        return "machine";
    }
    if (allUsers == "2") {
        return installPerUser == "1" ? "user" : "machine";
    }
    return allUsers.empty() && (wordCount & 8) != 0 ? "user" : "";
}

std::string pack_wingetInstallDir(const std::vector<std::string>& directories,
                                  const std::string& wixUiInstallDir)
{
    auto has = [&](const std::string& id) {
        return !id.empty()
            && std::find(directories.begin(), directories.end(), id) != directories.end();
    };
    for (const std::string& id :
         {wixUiInstallDir, std::string("INSTALLDIR"), std::string("INSTALLFOLDER")}) {
        if (has(id)
            && std::none_of(id.begin(), id.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
            return id;
        }
    }
    std::string only;
    for (const std::string& id : directories) {
        auto endsWith = [&](const char* tail) {
            size_t n = strlen(tail);
            return id.size() > n && id.compare(id.size() - n, n, tail) == 0;
        };
        bool isPublic =
            std::none_of(id.begin(), id.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        if (isPublic && (endsWith("INSTALLDIR") || endsWith("INSTALLFOLDER"))) {
            if (!only.empty()) {
                return "";
            }
            only = id;
        }
    }
    return only;
}

std::string pack_wingetArchitecture(uint32_t machine)
{
    switch (machine) {
    case 0x014C:
        return "x86";
    case 0x8664:
        return "x64";
    case 0x01C4:
        return "arm";
    case 0xAA64:
        return "arm64";
    default:
        return "";
    }
}
