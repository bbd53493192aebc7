// runwait PROGRAM [ARGS...]: starts a program, waits for it and prints its full exit code
// (a Linux shell sees only the low 8 bits of a Windows exit code under Wine). Exits with
// that code too.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fputs("usage: runwait PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    // Hand the rest of our own command line on unchanged.
    const wchar_t* line = GetCommandLineW();
    const wchar_t* rest = wcsstr(line, argv[1]);
    if (rest == nullptr) {
        rest = argv[1];
    } else if (rest > line && rest[-1] == L'"') {
        --rest;
    }
    wchar_t* commandLine = _wcsdup(rest);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        fprintf(stderr, "runwait: cannot start the program: error %lu\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    printf("exit code: %lu\n", code);
    return static_cast<int>(code);
}
