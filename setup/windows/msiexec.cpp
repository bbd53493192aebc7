// Running the Windows Installer on the decoded package and waiting for it to end.
#include "package.h"

#include <objbase.h>
#include <shellapi.h>
#include <stdlib.h>
#include <wchar.h>

#include <iterator>

// The installer is named by its full path in the system directory: a bare name would be
// searched for, and the search looks first beside the executable and in the current
// directory, where any file of that name would run instead.
static DWORD getInstallerPath(wchar_t* path, UINT capacity)
{
    static constexpr wchar_t name[] = L"\\msiexec.exe";
    UINT n = GetSystemDirectoryW(path, capacity);
    if (n == 0) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    if (n >= capacity || capacity - n < std::size(name)) {
        SETUP_RECORD(ERROR_NOT_ENOUGH_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    wmemcpy(path + n, name, std::size(name));
    return ERROR_SUCCESS;
}

// Waits for the installer without a time limit and takes its exit code as the result.
static DWORD waitForInstaller(HANDLE process)
{
    DWORD wait;
    do {
        wait = WaitForSingleObject(process, INFINITE);
    } while (wait == WAIT_TIMEOUT);
    if (wait == WAIT_FAILED) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode)) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    // A reboot request is handed on as the exit code, but it is no failure and not recorded.
    if (exitCode != ERROR_SUCCESS && !setup_isRebootSuccess(exitCode)) {
        SETUP_RECORD(exitCode);
    }
    return exitCode;
}

static DWORD launchInstaller(const wchar_t* installer, const wchar_t* params)
{
    SHELLEXECUTEINFOW launch = {};
    launch.cbSize = sizeof launch;
    launch.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    launch.hwnd = nullptr;
    launch.lpVerb = L"open";
    launch.lpFile = installer;
    launch.lpParameters = params;
    launch.lpDirectory = nullptr;
    launch.nShow = SW_SHOWNORMAL;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!ShellExecuteExW(&launch) || reinterpret_cast<INT_PTR>(launch.hInstApp) <= 32) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    if (launch.hProcess == nullptr) {
        return ERROR_SUCCESS;
    }
    DWORD result = waitForInstaller(launch.hProcess);
    CloseHandle(launch.hProcess);
    return result;
}

DWORD setup_runMsiexec(const wchar_t* packagePath)
{
    if (packagePath == nullptr) {
        SETUP_RECORD(ERROR_INVALID_PARAMETER);
        return ERROR_INVALID_PARAMETER;
    }
    wchar_t* params = setup_buildMsiexecParams(packagePath, g_msiexecExtra);
    if (params == nullptr) {
        SETUP_RECORD(ERROR_OUTOFMEMORY);
        return ERROR_OUTOFMEMORY;
    }
    wchar_t installer[MAX_PATH + 1];
    DWORD result = getInstallerPath(installer, static_cast<UINT>(std::size(installer)));
    if (result == ERROR_SUCCESS) {
        result = launchInstaller(installer, params);
    }
    free(params);
    return result;
}
