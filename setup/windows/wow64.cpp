// The question asked when a 32-bit build runs on 64-bit Windows.
#include "report.h"

bool setup_confirmWow64()
{
    // Looked up at run time: systems without WOW64 have no such export.
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    auto isWow64Process = setup_kernelProc<IsWow64ProcessFn>("IsWow64Process");
    if (isWow64Process == nullptr) {
        return true;
    }
    BOOL wow64 = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &wow64) || !wow64) {
        return true;
    }
    char path[MAX_PATH + 1];
    if (GetModuleFileNameA(nullptr, path, MAX_PATH + 1) == 0) {
        return true;
    }
    char question[1024];
    if (setup_loadText(2, question, 1024) == 0) {
        return true;
    }
    return MessageBoxA(nullptr, question, path, MB_YESNO | MB_ICONQUESTION) == IDYES;
}
