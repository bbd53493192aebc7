// Running the Windows Installer on the decoded package and waiting for it to end.
#include "setup.h"

#include <objbase.h>
#include <shellapi.h>
#include <stdlib.h>
#include <wchar.h>

#include <iterator>

// Reboot outcomes of a successful installation: they are handed on as the exit code, but
// they are not failures and are not recorded.
static constexpr DWORD INSTALLER_REBOOT_REQUIRED = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
static constexpr DWORD INSTALLER_REBOOT_INITIATED = 1641; // ERROR_SUCCESS_REBOOT_INITIATED

// The last error of a call that has just failed; a failure that sets none must not read as
// success.
static DWORD lastFailure()
{
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// The installer is named by its full path in the system directory: a bare name would be
// searched for, and the search looks first beside the executable and in the current
// directory, where any file of that name would run instead.
static DWORD getInstallerPath(wchar_t* path, UINT capacity)
{
    static constexpr wchar_t name[] = L"\\msiexec.exe";
    UINT n = GetSystemDirectoryW(path, capacity);
    if (n == 0) {
        DWORD error = lastFailure();
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
        DWORD error = lastFailure();
        SETUP_RECORD(error);
        return error;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode)) {
        DWORD error = lastFailure();
        SETUP_RECORD(error);
        return error;
    }
    if (exitCode != ERROR_SUCCESS && exitCode != INSTALLER_REBOOT_REQUIRED &&
        exitCode != INSTALLER_REBOOT_INITIATED) {
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
        DWORD error = lastFailure();
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
