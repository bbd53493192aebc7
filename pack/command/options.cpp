// The options of setup-pack. The icon file is read here, so that a wrong one fails before the
// long compression.
#include "options.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Texts are UTF-8 inside; a Windows program gets its arguments in the ANSI code page.
std::string pack_argumentText(const char* arg)
{
#ifdef _WIN32
    int n = MultiByteToWideChar(CP_ACP, 0, arg, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, arg, -1, &wide[0], n);
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(m > 0 ? m : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &utf8[0], m, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
#else
    return arg;
#endif
}

std::string pack_readIconFile(const char* path, pack_Branding* b)
{
    pack_Bytes bytes;
    std::string error = pack_readWhole(path, &bytes);
    if (error.empty()) {
        error = pack_readIcon(bytes, &b->icon);
    }
    b->hasIcon = error.empty();
    return error.empty() ? "" : std::string(path) + ": " + error;
}

std::string pack_takeOptionText(const char* option, const char* arg, bool* has, std::string* out)
{
    std::u16string wide;
    std::string value = pack_argumentText(arg);
    if (!pack_utf16(value, &wide) || wide.size() > kPackMaxBrandText || wide.empty()) {
        return std::string(option) + " needs a text of 1 to " + std::to_string(kPackMaxBrandText)
            + " characters";
    }
    *has = true;
    *out = value;
    return "";
}

std::string pack_option(const char* option, const char* value, pack_Branding* b)
{
    if (strcmp(option, "--name") == 0) {
        return pack_takeOptionText(option, value, &b->hasName, &b->name);
    }
    if (strcmp(option, "--company") == 0) {
        return pack_takeOptionText(option, value, &b->hasCompany, &b->company);
    }
    if (strcmp(option, "--product-version") == 0 || strcmp(option, "--version") == 0) {
        b->hasVersion = pack_parseVersion(value, b->version);
        return b->hasVersion
            ? ""
            : std::string(option) + " " + value + ": not N.N.N[.N] with numbers up to 65535";
    }
    return pack_readIconFile(value, b);
}

// --threads N: 0 (one per core) to 256.
std::string pack_takeThreads(const char* value, uint32_t* threads)
{
    char* end = nullptr;
    errno = 0;
    unsigned long n = *value >= '0' && *value <= '9' ? strtoul(value, &end, 10) : 0;
    if (end == nullptr || *end != '\0' || errno != 0 || n > 256) {
        return std::string("--threads ") + value
            + ": not a number of threads from 0 (one per core) to 256";
    }
    *threads = static_cast<uint32_t>(n);
    return "";
}

// The table's entry for an option that packs (or its old spelling), nullptr for none.
const pack_OptionDoc* pack_findOption(const char* name)
{
    for (size_t i = 0; i < kPackOptionCount; ++i) {
        if (kPackOptions[i].kind != kPackOptionInfo && strcmp(kPackOptions[i].name, name) == 0) {
            return &kPackOptions[i];
        }
    }
    return nullptr;
}

// The winget manifests' options: the directory as a path, the rest as texts.
bool pack_wingetOption(const char* option, const char* value, pack_WingetOptions* w)
{
    const std::pair<const char*, std::string*> known[] = {
        {"--winget-manifest", &w->dir},
        {"--installer-url", &w->url},
        {"--winget-id", &w->id},
        {"--license", &w->license},
        {"--short-description", &w->shortDescription},
    };
    for (const auto& k : known) {
        if (strcmp(option, k.first) == 0) {
            *k.second = k.second == &w->dir ? value : pack_argumentText(value);
            return true;
        }
    }
    return false;
}

// What the branding options say goes into the manifests as well; the other winget options
// mean nothing without a manifest directory.
std::string pack_finishWinget(pack_Options* options, const char* versionText)
{
    pack_WingetOptions& w = options->winget;
    const pack_Branding& b = options->branding;
    if (w.dir.empty()) {
        bool stray =
            !w.url.empty() || !w.id.empty() || !w.license.empty() || !w.shortDescription.empty();
        return stray ? "--installer-url, --winget-id, --license and --short-description go with "
                       "--winget-manifest"
                     : "";
    }
    w.name = b.hasName ? b.name : "";
    w.publisher = b.hasCompany ? b.company : "";
    w.version = b.hasVersion ? versionText : "";
    return "";
}

}  // namespace

std::string pack_parseOptions(int argc, const char* const argv[], pack_Options* options)
{
    // --version alone asks for the tool's version; followed by anything it is the old spelling
    // of --product-version, which takes a value.
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        options->version = true;
        return "";
    }
    int i = 1;
    const char* versionText = "";
    for (; i < argc && strncmp(argv[i], "--", 2) == 0; ++i) {
        const char* option = argv[i];
        if (strcmp(option, "--") == 0) {
            ++i;
            break;
        }
        if (strcmp(option, "--help") == 0) {
            options->help = true;
            return "";
        }
        const pack_OptionDoc* known = pack_findOption(option);
        if (known == nullptr) {
            return std::string("unknown option ") + option;
        }
        if (strcmp(option, "--keep-branding") == 0) {
            options->branding.keep = true;
            continue;
        }
        if (strcmp(option, "--store-cabinets") == 0) {
            options->storeCabinets = true;
            continue;
        }
        if (strcmp(option, "--no-architecture-question") == 0) {
            options->noQuestion = true;
            continue;
        }
        if (strcmp(option, "--no-architecture-question") == 0) {
            options->noQuestion = true;
            continue;
        }
        bool threads = strcmp(option, "--threads") == 0;
        if (pack_wingetOption(option, i + 1 < argc ? argv[i + 1] : "", &options->winget)) {
            if (++i == argc || argv[i][0] == '\0') {
                return std::string(option) + " needs a value";
            }
            continue;
        }
        if (++i == argc) {
            return std::string(option) + " needs a value";
        }
        if (strcmp(option, "--product-version") == 0 || strcmp(option, "--version") == 0) {
            versionText = argv[i];
        }
        std::string error = threads ? pack_takeThreads(argv[i], &options->threads)
                                    : pack_option(option, argv[i], &options->branding);
        if (!error.empty()) {
            return error;
        }
    }
    const pack_Branding& b = options->branding;
    if (b.keep && (b.hasName || b.hasVersion || b.hasCompany || b.hasIcon)) {
        return "--keep-branding goes with none of --name, --product-version, --company, --icon";
    }
    options->files.assign(argv + i, argv + argc);
    return pack_finishWinget(options, versionText);
}
