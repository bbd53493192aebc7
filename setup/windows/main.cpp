// The entry point: the order of all phases of a run and its exit code.
#include "command_line.h"
#include "package.h"
#include "parent.h"
#include "report.h"

#include <string.h>

// An installer is often started from a downloads folder full of other people's files: DLLs
// load from the system directory only. Looked up at run time, since older systems lack it.
static void restrictDllSearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    auto setDefaultDllDirectories =
        setup_kernelProc<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories");
    if (setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

// The updater's route: the install directory becomes an installer property, and an updater
// parent is ended.
static void runAllowElevation(const char* installDir, size_t length)
{
    if (length > 0) {
        setup_buildInstallDirProperty(installDir);
    }
    setup_terminateUpdaterParent();
}

// The argument phases. Their failures are recorded and otherwise ignored; only a failure to
// obtain the argument text is returned, and it skips the rest of the run but the report.
static DWORD parseArguments()
{
    char* argumentText = nullptr;
    DWORD result = setup_getArgumentText(&argumentText);
    if (result != 0 || argumentText == nullptr) {
        return result;
    }
    const char* rest = setup_parseNarrowSwitches(argumentText);
    size_t length = strlen(rest);
    if (g_allowElevation) {
        runAllowElevation(rest, length);
    } else if (length > 0) {
        setup_parsePassThrough(rest);
    } else {
        // The property takes a copy of the directory: the buffer need not outlive the call.
        char quoteBuffer[SETUP_QUOTE_BUFFER_SIZE];
        const char* installDir = setup_readInstallDirEnv(quoteBuffer, &length);
        if (installDir != nullptr) {
            g_allowElevation = 1;
            runAllowElevation(installDir, length);
        }
    }
    return 0;
}

static DWORD run()
{
    DWORD result = parseArguments();
    // Set after the switches, which write the flag, and before anything is shown.
    if (!setup_stationVisible()) {
        g_quiet = 1;
    }
    if (result != 0) {
        return result;
    }
    if (!g_quiet && !g_xzdec && !setup_confirmWow64()) {
        return 0;
    }
    g_elevation = setup_getElevation();
    setup_extractResource(nullptr, RT_RCDATA, MAKEINTRESOURCEA(12), &result);
    return result;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    restrictDllSearch();
    DWORD result = run();
    // A reboot request is the installer's success: it reaches the caller as the exit code,
    // without a dialog.
    if (result != 0 && !setup_isRebootSuccess(result)) {
        result = setup_reportError(result);
    }
    setup_releaseNames();
    return static_cast<int>(result);
}
