// station REPORT PROGRAM [ARGS...]: starts a program on a desktop of a window station of its
// own, made without WSF_VISIBLE, as a service or a deployment agent runs it: nobody sees
// what it shows there, nor can answer it. While the program runs, its message boxes on that
// desktop are counted; a program still running after two minutes is ended (exit code 1460,
// the time-out). REPORT receives "visible=V dialogs=N": V the station's WSF_VISIBLE flag as
// the system reports it, N the most message boxes of the program seen at one time. Exits with
// the program's exit code.
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace {

struct Count {
    DWORD pid;
    int dialogs;
};

BOOL CALLBACK countWindow(HWND window, LPARAM param)
{
    auto* count = reinterpret_cast<Count*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    // Not asked whether it is visible: Wine shows no window of such a station as visible,
    // and a message box blocks all the same.
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (pid == count->pid && strcmp(cls, "#32770") == 0) {
        ++count->dialogs;
    }
    return TRUE;
}

// The rest of the own command line, from the program on.
wchar_t* programLine(const wchar_t* program)
{
    const wchar_t* line = GetCommandLineW();
    const wchar_t* rest = wcsstr(line + 1, program);
    if (rest != nullptr && rest > line && rest[-1] == L'"') {
        --rest;
    }
    return _wcsdup(rest != nullptr ? rest : program);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        fputs("usage: station REPORT PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    wchar_t name[64];
    swprintf(name, 64, L"vorlane-hidden-%lu", GetCurrentProcessId());
    HWINSTA station = CreateWindowStationW(name, 0, WINSTA_ALL_ACCESS, nullptr);
    if (station == nullptr) {
        fprintf(stderr, "station: CreateWindowStationW: error %lu\n", GetLastError());
        return 1;
    }
    USEROBJECTFLAGS flags = {};
    DWORD size = 0;
    GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &size);
    // A desktop is made on the calling process's window station.
    HWINSTA own = GetProcessWindowStation();
    SetProcessWindowStation(station);
    HDESK desktop = CreateDesktopW(L"desktop", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    if (desktop == nullptr) {
        fprintf(stderr, "station: CreateDesktopW: error %lu\n", GetLastError());
        return 1;
    }
    wchar_t desktopName[96];
    swprintf(desktopName, 96, L"%ls\\desktop", name);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.lpDesktop = desktopName;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, programLine(argv[2]), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
        fprintf(stderr, "station: cannot start the program: error %lu\n", GetLastError());
        return 1;
    }
    int most = 0;
    DWORD started = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 100) == WAIT_TIMEOUT) {
        Count count = {pi.dwProcessId, 0};
        EnumDesktopWindows(desktop, countWindow, reinterpret_cast<LPARAM>(&count));
        most = count.dialogs > most ? count.dialogs : most;
        if (GetTickCount() - started > 120000) {
            TerminateProcess(pi.hProcess, ERROR_TIMEOUT);
            WaitForSingleObject(pi.hProcess, 10000);
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    FILE* report = _wfopen(argv[1], L"w");
    if (report != nullptr) {
        fprintf(report, "visible=%d dialogs=%d", (flags.dwFlags & WSF_VISIBLE) != 0, most);
        fclose(report);
    }
    return static_cast<int>(code);
}
