// Linked into test builds of setup.exe only: an exported IsWow64Process that reports a
// 32-bit process on 64-bit Windows, whatever the machine. No <windows.h> here, so that the
// name does not clash with the system's declaration.
extern "C" __declspec(dllexport) int __stdcall IsWow64Process(void*, int* wow64)
{
    *wow64 = 1;
    return 1;
}
