// The error record: the most recent failure's code, source unit and line, kept for the one
// error report at the end of the run.
#include "setup.h"

#include <stdlib.h>
#include <string.h>

static DWORD g_errorCode;
static char* g_errorFile;
static int g_errorLine;

void setup_recordError(DWORD code, const char* file, int line)
{
    g_errorCode = code;
    size_t n = strlen(file);
    // The buffer never shrinks: a name that fits in the text held now is copied over it.
    if (g_errorFile == nullptr || n > strlen(g_errorFile)) {
        char* grown = static_cast<char*>(realloc(g_errorFile, n + 1));
        if (grown == nullptr) {
            free(g_errorFile);
        }
        g_errorFile = grown;
    }
    if (g_errorFile != nullptr) {
        memcpy(g_errorFile, file, n + 1);
    }
    g_errorLine = line;
}

DWORD setup_getErrorCode() { return g_errorCode; }

const char* setup_getErrorFile() { return g_errorFile; }

int setup_getErrorLine() { return g_errorLine; }
