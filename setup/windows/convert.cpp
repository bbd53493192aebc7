// Text conversion between the thread's ANSI code page and UTF-16. The copies are the
// caller's to free.
#include "setup.h"

#include <stdlib.h>

wchar_t* setup_mbsToWcs(const char* text)
{
    int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0) {
        return nullptr;
    }
    wchar_t* wide = static_cast<wchar_t*>(malloc(units * sizeof(wchar_t)));
    if (wide == nullptr) {
        return nullptr;
    }
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, wide, units) <= 0) {
        free(wide);
        return nullptr;
    }
    return wide;
}

char* setup_wcsToMbs(const wchar_t* text)
{
    // Characters without an exact equivalent become the code page's default character.
    constexpr DWORD flags = WC_NO_BEST_FIT_CHARS;
    int bytes = WideCharToMultiByte(CP_THREAD_ACP, flags, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return nullptr;
    }
    char* narrow = static_cast<char*>(malloc(bytes));
    if (narrow == nullptr) {
        return nullptr;
    }
    if (WideCharToMultiByte(CP_THREAD_ACP, flags, text, -1, narrow, bytes, nullptr, nullptr) <= 0) {
        free(narrow);
        return nullptr;
    }
    return narrow;
}
