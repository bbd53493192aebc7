// The install-directory property from the environment variable or the text after
// --allow-elevation.
#include "command_line.h"

#include <shellapi.h>
#include <stdlib.h>
#include <wchar.h>

char* setup_readInstallDirEnv(char* buffer, size_t* length)
{
    // Read from buffer[1], so that setup_quoteInstallDir can put a quote in front.
    DWORD n = GetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, buffer + 1, SETUP_INSTALL_DIR_MAX + 1);
    if (n == 0) {
        DWORD code = GetLastError();
        if (code != ERROR_ENVVAR_NOT_FOUND && code != 0) {
            SETUP_RECORD(code);
        }
        return nullptr;
    }
    // A value that does not fit yields the size it needs, at least 262. Anything above 260
    // is refused, so that the quotes and the NUL always fit the buffer.
    if (n > SETUP_INSTALL_DIR_MAX) {
        SETUP_RECORD(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return setup_quoteInstallDir(buffer, n, length);
}

// The directory is the only argument or, of two, the second; a third argument means the text
// is not a directory at all.
void setup_buildInstallDirProperty(const char* text)
{
    // The split of an empty text would deliver this executable's own path.
    if (text == nullptr || *text == '\0') {
        return;
    }
    wchar_t* wide = setup_mbsToWcs(text);
    if (wide == nullptr) {
        SETUP_RECORD(ERROR_OUTOFMEMORY);
        return;
    }
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(wide, &count);
    if (argv == nullptr) {
        SETUP_RECORD(GetLastError());
        free(wide);
        return;
    }
    if (count == 1 || count == 2) {
        const wchar_t* dir = argv[count - 1];
        size_t len = wcslen(dir);
        if (len > 1 && dir[0] == L'"' && dir[len - 1] == L'"') {
            ++dir;
            len -= 2;
        }
        if (len > 0) {
            g_msiexecExtra = setup_makeInstallDirProperty(dir, len);
            if (g_msiexecExtra == nullptr) {
                SETUP_RECORD(ERROR_OUTOFMEMORY);
            }
        }
    }
    LocalFree(argv);
    free(wide);
}
