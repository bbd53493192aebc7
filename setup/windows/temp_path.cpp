// The temporary directory as the ANSI file functions can take it. GetTempPathA converts the
// directory's name into the ANSI code page, and a name with a letter the code page lacks
// (a user named Łukasz or Ζωή on a Western European system) comes out with a question mark,
// which no file function takes, or with a look-alike (Lukasz), which names another folder,
// perhaps somebody else's. Under the UTF-8 code page every name converts; before Windows 10
// 1903 the directory's short name, where the volume keeps one, is written in plain letters.
#include "package.h"
#include "report.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

// Whether the ANSI text names exactly what the wide one does.
static bool sameName(const char* ansi, const wchar_t* wide)
{
    wchar_t* back = setup_mbsToWcs(ansi);
    bool same = back != nullptr && wcscmp(back, wide) == 0;
    free(back);
    return same;
}

// path holds the ANSI form of the directory wide names; it is replaced by the short form
// when it does not name it exactly.
static DWORD exactName(const wchar_t* wide, char* path, DWORD capacity, size_t* length)
{
    if (sameName(path, wide)) {
        return ERROR_SUCCESS;
    }
    wchar_t shortName[MAX_PATH + 1];
    DWORD n = GetShortPathNameW(wide, shortName, MAX_PATH + 1);
    int written = n > 0 && n <= MAX_PATH ? setup_convertWhole(
                      shortName, static_cast<int>(n), GetACP(), path, static_cast<int>(capacity))
                                         : 0;
    if (written == 0) {
        SETUP_RECORD(ERROR_INVALID_NAME);
        return ERROR_INVALID_NAME;
    }
    *length = static_cast<size_t>(written);
    return ERROR_SUCCESS;
}

DWORD setup_getTempDirectory(char* path, DWORD capacity, size_t* length)
{
    DWORD d = GetTempPathA(capacity, path);
    if (d == 0) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    // A result that does not fit is the size the buffer would need, NUL included.
    if (d >= capacity) {
        SETUP_RECORD(ERROR_NOT_ENOUGH_MEMORY);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *length = d;
    // The wide form is what the name is checked against; without it the ANSI form is taken
    // as it is, as it always was.
    wchar_t wide[MAX_PATH + 1];
    DWORD w = GetTempPathW(MAX_PATH + 1, wide);
    return w > 0 && w <= MAX_PATH ? exactName(wide, path, capacity, length) : ERROR_SUCCESS;
}
