// Calls that older systems lack are looked up in kernel32 and user32 at run time.
#include "setup.h"

static void* moduleProc(const char* module, const char* name)
{
    HMODULE handle = GetModuleHandleA(module);
    return handle != nullptr ? reinterpret_cast<void*>(GetProcAddress(handle, name)) : nullptr;
}

void* setup_getKernelProc(const char* name) { return moduleProc("kernel32", name); }

void* setup_getUserProc(const char* name) { return moduleProc("user32", name); }
