// Put in place of msiexec.exe in a test prefix: writes the parameters it was given (its
// command line after the program name, exactly) to the file named by VORLANE_STANDIN_LOG,
// and exits with the code in VORLANE_STANDIN_EXIT (default 0). With VORLANE_STANDIN_PROBE it
// first plays another process of the same user on the package it was given: it tries to open
// it for writing, to rename it and to open it for deletion, and reads its first bytes, and
// writes the four results (error codes, 0 for success) to the file named there, and whether a
// progress window of setup's is still on screen (1) or not (0). Then it makes the same attempts
// as an unelevated process of the user, a copy of itself started with its token restricted,
// which writes them beside that file, with ".limited" added to its name.
#include "report.h"

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

static DWORD lastErrorOf(BOOL ok) { return ok ? 0 : GetLastError(); }

static DWORD tryOpen(const wchar_t* path, DWORD access)
{
    HANDLE file = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD error = lastErrorOf(file != INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return error;
}

static DWORD tryRead(const wchar_t* path)
{
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    unsigned char head[8] = {};
    DWORD got = 0;
    DWORD error = lastErrorOf(ReadFile(file, head, sizeof head, &got, nullptr));
    CloseHandle(file);
    return error != 0 ? error : got == sizeof head && head[0] == 0xD0 && head[1] == 0xCF ? 0 : 13;
}

static void writeReport(const wchar_t* report, const char* text, int size)
{
    HANDLE file = CreateFileW(report, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
        CloseHandle(file);
    }
}

static void probe(const wchar_t* params, const wchar_t* report)
{
    const wchar_t* open = wcschr(params, L'"');
    const wchar_t* close = open != nullptr ? wcschr(open + 1, L'"') : nullptr;
    if (close == nullptr || close - open > MAX_PATH) {
        return;
    }
    wchar_t path[MAX_PATH + 8] = {}, moved[MAX_PATH + 8] = {};
    wmemcpy(path, open + 1, close - open - 1);
    wcscpy(moved, path);
    wcscat(moved, L".moved");
    char text[128];
    int n = wsprintfA(text, "write=%lu rename=%lu delete=%lu read=%lu progress=%d",
                      tryOpen(path, GENERIC_WRITE), lastErrorOf(MoveFileW(path, moved)),
                      tryOpen(path, DELETE), tryRead(path),
                      FindWindowA(SETUP_PROGRESS_CLASS, nullptr) != nullptr);
    writeReport(report, text, n);
}

// The same user without administrators' rights: this token with Administrators deny-only and
// every privilege but traversal gone. A restricted copy of the caller's own token needs no
// privilege to start a process with.
static HANDLE unelevatedToken()
{
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    SID_AND_ATTRIBUTES disabled = {admins, 0};
    HANDLE own = nullptr, restricted = nullptr;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size)
        && OpenProcessToken(GetCurrentProcess(),
                            TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, &own)) {
        CreateRestrictedToken(own, DISABLE_MAX_PRIVILEGE, 1, &disabled, 0, nullptr, 0, nullptr,
                              &restricted);
    }
    if (own != nullptr) {
        CloseHandle(own);
    }
    return restricted;
}

// Starts this program again with that token and VORLANE_STANDIN_LIMITED naming its report, and
// waits for it; what went wrong starting it is the report instead.
static void probeUnelevated(const wchar_t* report)
{
    wchar_t limited[MAX_PATH + 16], exe[MAX_PATH];
    wsprintfW(limited, L"%s.limited", report);
    HANDLE token = unelevatedToken();
    SetEnvironmentVariableW(L"VORLANE_STANDIN_LIMITED", limited);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    wchar_t* line = _wcsdup(GetCommandLineW());
    BOOL started = token != nullptr && GetModuleFileNameW(nullptr, exe, MAX_PATH) - 1 < MAX_PATH - 1
        && CreateProcessAsUserW(token, exe, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                &pi);
    if (started) {
        WaitForSingleObject(pi.hProcess, 60000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        char text[64];
        writeReport(limited, text, wsprintfA(text, "not started: %lu", GetLastError()));
    }
    SetEnvironmentVariableW(L"VORLANE_STANDIN_LIMITED", nullptr);
    free(line);
    if (token != nullptr) {
        CloseHandle(token);
    }
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t report[MAX_PATH + 16];
    if (GetEnvironmentVariableW(L"VORLANE_STANDIN_LIMITED", report, MAX_PATH + 16) - 1
        < MAX_PATH + 15) {
        probe(afterProgramName(GetCommandLineW()), report);
        return 0;
    }
    if (GetEnvironmentVariableW(L"VORLANE_STANDIN_PROBE", report, MAX_PATH) - 1 < MAX_PATH - 1) {
        probe(afterProgramName(GetCommandLineW()), report);
        probeUnelevated(report);
    }
    wchar_t log[MAX_PATH];
    if (GetEnvironmentVariableW(L"VORLANE_STANDIN_LOG", log, MAX_PATH) - 1 < MAX_PATH - 1) {
        HANDLE file = CreateFileW(log, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const wchar_t* params = afterProgramName(GetCommandLineW());
            DWORD written = 0;
            WriteFile(file, params, static_cast<DWORD>(wcslen(params) * sizeof(wchar_t)), &written,
                      nullptr);
            CloseHandle(file);
        }
    }
    wchar_t exitText[32];
    DWORD n = GetEnvironmentVariableW(L"VORLANE_STANDIN_EXIT", exitText, 32);
    return n > 0 && n < 32 ? static_cast<int>(wcstoul(exitText, nullptr, 10)) : 0;
}
