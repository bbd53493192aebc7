// Put in place of msiexec.exe in a test prefix: writes the parameters it was given (its
// command line after the program name, exactly) to the file named by VORLANE_STANDIN_LOG,
// and exits with the code in VORLANE_STANDIN_EXIT (default 0).
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

static const wchar_t* afterProgramName(const wchar_t* line)
{
    if (*line == L'"') {
        const wchar_t* close = wcschr(line + 1, L'"');
        line = close != nullptr ? close + 1 : line + wcslen(line);
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') {
            ++line;
        }
    }
    return *line == L' ' ? line + 1 : line;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t log[MAX_PATH];
    if (GetEnvironmentVariableW(L"VORLANE_STANDIN_LOG", log, MAX_PATH) - 1 < MAX_PATH - 1) {
        HANDLE file = CreateFileW(log, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const wchar_t* params = afterProgramName(GetCommandLineW());
            DWORD written = 0;
            WriteFile(file, params, static_cast<DWORD>(wcslen(params) * sizeof(wchar_t)),
                      &written, nullptr);
            CloseHandle(file);
        }
    }
    wchar_t exitText[32];
    DWORD n = GetEnvironmentVariableW(L"VORLANE_STANDIN_EXIT", exitText, 32);
    return n > 0 && n < 32 ? static_cast<int>(wcstoul(exitText, nullptr, 10)) : 0;
}
