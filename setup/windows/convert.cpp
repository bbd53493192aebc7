// Text conversion between the ANSI code page and UTF-16. The copies are the caller's to free.
//
// The code page is the one the A functions take (CP_ACP): UTF-8 where the manifest's
// activeCodePage is honoured, the system's setting elsewhere. CP_THREAD_ACP follows the
// thread's locale instead, which need not agree with it, and a path converted in one code
// page but opened in another names another file.
#include "setup.h"

#include <stdlib.h>

wchar_t* setup_mbsToWcs(const char* text)
{
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0) {
        return nullptr;
    }
    wchar_t* wide = static_cast<wchar_t*>(malloc(units * sizeof(wchar_t)));
    if (wide == nullptr) {
        return nullptr;
    }
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide, units) <= 0) {
        free(wide);
        return nullptr;
    }
    return wide;
}

char* setup_wcsToMbs(const wchar_t* text)
{
    // Characters without an exact equivalent become the code page's default character (none
    // under UTF-8, which holds them all).
    UINT codePage = GetACP();
    DWORD flags = setup_noBestFitFlags(codePage);
    int bytes = WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return nullptr;
    }
    char* narrow = static_cast<char*>(malloc(bytes));
    if (narrow == nullptr) {
        return nullptr;
    }
    if (WideCharToMultiByte(codePage, flags, text, -1, narrow, bytes, nullptr, nullptr) <= 0) {
        free(narrow);
        return nullptr;
    }
    return narrow;
}
