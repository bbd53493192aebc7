// The parameter text handed to msiexec: /i "package" REINSTALLMODE=amus [extra].
#include "package.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <iterator>

// Copies n units of text to out and returns the position after them.
static wchar_t* appendText(wchar_t* out, const wchar_t* text, size_t n)
{
    memcpy(out, text, n * sizeof(wchar_t));
    return out + n;
}

wchar_t* setup_buildMsiexecParams(const wchar_t* packagePath, const wchar_t* extra)
{
    static constexpr wchar_t install[] = L"/i \"";
    static constexpr wchar_t mode[] = L"\" REINSTALLMODE=amus ";
    constexpr size_t installLen = std::size(install) - 1;
    constexpr size_t modeLen = std::size(mode) - 1;
    static_assert(installLen == 4 && modeLen == 21, "fixed pieces of the parameter text");

    if (packagePath == nullptr) {
        return nullptr;
    }
    size_t n = wcslen(packagePath);
    size_t e = extra != nullptr ? wcslen(extra) : 0;
    constexpr size_t fixed = installLen + modeLen + 1;
    if (n > (SIZE_MAX / sizeof(wchar_t) - fixed) - e) {
        return nullptr;
    }
    wchar_t* params = static_cast<wchar_t*>(malloc((fixed + n + e) * sizeof(wchar_t)));
    if (params == nullptr) {
        return nullptr;
    }
    wchar_t* end = appendText(params, install, installLen);
    end = appendText(end, packagePath, n);
    end = appendText(end, mode, modeLen);
    if (e > 0) {
        end = appendText(end, extra, e);
    }
    *end = L'\0';
    return params;
}
