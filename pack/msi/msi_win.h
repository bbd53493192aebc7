// What setup-pack.exe's database reader and cabinet writer share over msi.dll: a handle closed
// when it goes out of scope, texts in the wide form its calls take, and its codes in words.
#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

struct pack_MsiHandle {
    MSIHANDLE h = 0;
    ~pack_MsiHandle()
    {
        if (h != 0) {
            MsiCloseHandle(h);
        }
    }
};

inline std::wstring pack_wide(const char* text, UINT codePage)
{
    int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &out[0], n);
    out.resize(out.size() - 1);
    return out;
}

inline std::string pack_msiCode(UINT code)
{
    return "Windows Installer error " + std::to_string(code);
}
