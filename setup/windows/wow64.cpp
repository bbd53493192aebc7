// The question asked when a 32-bit build runs on 64-bit Windows.
#include "report.h"

// Looked up at run time: systems without WOW64 have neither export, and IsWow64Process2, the
// one that names the native machine (an ARM64 one reports WOW64 to IsWow64Process as well),
// came with Windows 10 1511. Where it is missing or fails, IsWow64Process decides alone.
static int questionToAsk()
{
    typedef BOOL(WINAPI * IsWow64Process2Fn)(HANDLE, USHORT*, USHORT*);
    auto isWow64Process2 = setup_kernelProc<IsWow64Process2Fn>("IsWow64Process2");
    USHORT process = IMAGE_FILE_MACHINE_UNKNOWN;
    USHORT native = IMAGE_FILE_MACHINE_UNKNOWN;
    if (isWow64Process2 != nullptr && isWow64Process2(GetCurrentProcess(), &process, &native)) {
        return setup_wow64Question(process != IMAGE_FILE_MACHINE_UNKNOWN, native);
    }
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    auto isWow64Process = setup_kernelProc<IsWow64ProcessFn>("IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64Process == nullptr || !isWow64Process(GetCurrentProcess(), &wow64)) {
        return SETUP_ASK_NONE;
    }
    return setup_wow64Question(wow64, IMAGE_FILE_MACHINE_UNKNOWN);
}

bool setup_confirmWow64()
{
    int ask = questionToAsk();
    if (ask == SETUP_ASK_NONE) {
        return true;
    }
    char path[MAX_PATH + 1];
    if (GetModuleFileNameA(nullptr, path, MAX_PATH + 1) == 0) {
        return true;
    }
    char question[1024];
    if (setup_loadText(2, question, 1024, ask == SETUP_ASK_ARM64) == 0) {
        return true;
    }
    return MessageBoxA(nullptr, question, path, MB_YESNO | MB_ICONQUESTION) == IDYES;
}
