// Calls that older systems lack are looked up in kernel32 at run time.
#include "setup.h"

void* setup_getKernelProc(const char* name)
{
    HMODULE kernel = GetModuleHandleA("kernel32");
    return kernel != nullptr ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}
