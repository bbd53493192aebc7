// A parent for setup.exe in the tests: parent EVENT PROGRAM [ARGS...] starts the program,
// then waits until the named event is set, and exits with 3. An updater that setup.exe
// terminates ends with 0 instead. With EVENT "-" it waits for ever.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        fputs("usage: parent EVENT|- PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    HANDLE release = nullptr;
    if (wcscmp(argv[1], L"-") != 0) {
        release = CreateEventW(nullptr, TRUE, FALSE, argv[1]);
    }
    const wchar_t* line = GetCommandLineW();
    const wchar_t* rest = wcsstr(line + 1, argv[2]);
    if (rest != nullptr && rest > line && rest[-1] == L'"') {
        --rest;
    }
    wchar_t* commandLine = _wcsdup(rest != nullptr ? rest : argv[2]);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return 1;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    WaitForSingleObject(release != nullptr ? release : GetCurrentProcess(), INFINITE);
    return 3;
}
