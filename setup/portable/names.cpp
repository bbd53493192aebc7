// Naming rules over text: the base name of a path and the program name of a base name.
#include "report.h"

#include <string.h>

static bool isSeparator(char c) { return c == '\\' || c == '/'; }

size_t setup_baseNameOffset(const char* path, size_t len)
{
    if (len == 0 || isSeparator(path[len - 1])) {
        return 0;
    }
    size_t i = len;
    while (i > 0 && !isSeparator(path[i - 1])) {
        --i;
    }
    return i;
}

size_t setup_programNameLength(const char* baseName)
{
    constexpr char exe[] = ".exe";
    constexpr size_t exeLen = sizeof exe - 1;
    size_t len = strlen(baseName);
    if (len > exeLen && _strnicmp(baseName + len - exeLen, exe, exeLen) == 0) {
        return len - exeLen;
    }
    return len;
}
