// An msi.dll handle closed when it goes out of scope (setup-pack.exe's readers and writer).
#pragma once

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

struct pack_MsiHandle {
    MSIHANDLE h = 0;
    ~pack_MsiHandle()
    {
        if (h != 0) {
            MsiCloseHandle(h);
        }
    }
};
