// The install-directory property as text: quoting the environment value and building the
// property assignment handed to the installer.
#include "command_line.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <iterator>

#define SETUP_INSTALL_DIR_NAME "VORLANE_AUTOUPDATE_INSTALLDIR"

const char SETUP_INSTALL_DIR_VAR[] = SETUP_INSTALL_DIR_NAME;

// The value sits at buffer[1..n], so an opening quote goes in front without moving it. A lone
// quote counts as unquoted and is wrapped.
char* setup_quoteInstallDir(char* buffer, size_t n, size_t* length)
{
    if (n >= 2 && buffer[1] == '"' && buffer[n] == '"') {
        *length = n;
        return buffer + 1;
    }
    buffer[0] = '"';
    buffer[n + 1] = '"';
    buffer[n + 2] = '\0';
    *length = n + 2;
    return buffer;
}

wchar_t* setup_makeInstallDirProperty(const wchar_t* dir, size_t dirLen)
{
    static constexpr wchar_t prefix[] = L"" SETUP_INSTALL_DIR_NAME L"=\"";
    constexpr size_t prefixLen = std::size(prefix) - 1;
    static_assert(prefixLen == sizeof SETUP_INSTALL_DIR_NAME + 1, "name, '=' and a quote");

    constexpr size_t fixed = prefixLen + 2;  // the closing quote and the NUL
    if (dirLen > SIZE_MAX / sizeof(wchar_t) - fixed) {
        return nullptr;
    }
    wchar_t* property = static_cast<wchar_t*>(malloc((fixed + dirLen) * sizeof(wchar_t)));
    if (property == nullptr) {
        return nullptr;
    }
    memcpy(property, prefix, prefixLen * sizeof(wchar_t));
    memcpy(property + prefixLen, dir, dirLen * sizeof(wchar_t));
    property[prefixLen + dirLen] = L'"';
    property[prefixLen + dirLen + 1] = L'\0';
    return property;
}
