// The command line: the argument text behind the program name, the setup's own switches and
// the pass-through text for the installer.
#include "command_line.h"

#include <shellapi.h>
#include <stdlib.h>
#include <wchar.h>

DWORD setup_getArgumentText(char** argumentText)
{
    return setup_getArgumentTextOf(GetCommandLineW(), argumentText);
}

// Where the arguments begin: behind the program name as the split delivered it, and behind
// what the split removed from it, such as a closing quote. A name that does not occur in the
// line leaves the whole line as arguments.
static const wchar_t* skipProgramName(const wchar_t* commandLine, const wchar_t* name)
{
    const wchar_t* p = wcsstr(commandLine, name);
    if (p == nullptr) {
        return commandLine;
    }
    for (p += wcslen(name); *p != L'\0' && !setup_isSpace(*p); ++p) {
    }
    return p;
}

DWORD setup_getArgumentTextOf(const wchar_t* commandLine, char** argumentText)
{
    *argumentText = nullptr;
    if (commandLine == nullptr || *commandLine == L'\0') {
        return 0;
    }
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &count);
    if (argv == nullptr) {
        DWORD code = GetLastError();
        if (code != 0) {
            SETUP_RECORD(code);
        }
        return code;
    }
    if (count == 0) {
        LocalFree(argv);
        return 0;
    }
    char* text = setup_wcsToMbs(skipProgramName(commandLine, argv[0]));
    LocalFree(argv);
    if (text == nullptr) {
        SETUP_RECORD(ERROR_GEN_FAILURE);
        return ERROR_GEN_FAILURE;
    }
    *argumentText = text;
    return 0;
}

const char* setup_parseNarrowSwitches(const char* argumentText)
{
    const char* rest = setup_matchSwitchA("--wait-parent", argumentText, &g_waitParent);
    return setup_matchSwitchA("--allow-elevation", rest, &g_allowElevation);
}

// The rebuild writes into a buffer of its own: a re-quoted argument can make the pass-through
// text one unit longer than the text it comes from. Both buffers are taken before any switch
// is read, so that a failure leaves the flags as they were.
void setup_parsePassThrough(const char* narrowRemainder)
{
    wchar_t* wide = setup_mbsToWcs(narrowRemainder);
    wchar_t* out = nullptr;
    if (wide != nullptr) {
        out = static_cast<wchar_t*>(malloc((wcslen(wide) + 2) * sizeof(wchar_t)));
    }
    if (out == nullptr) {
        free(wide);
        SETUP_RECORD(ERROR_OUTOFMEMORY);
        return;
    }
    const wchar_t* rest = setup_matchSwitchW(L"--quiet", wide, &g_quiet);
    rest = setup_matchSwitchW(L"--xzdec", rest, &g_xzdec);
    g_msiexecExtra = setup_rebuildArgsW(wide + (rest - wide), out);
    free(wide);
}
