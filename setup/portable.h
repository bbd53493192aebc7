// What the portable parts of the setup need from the platform. On Windows that is <windows.h>;
// on other systems (the native test build) the few types and runtime names are supplied here,
// so that the text rules build and run under sanitizers and fuzzers.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <stdint.h>
#include <string.h>
#include <strings.h>
#include <wchar.h>

typedef uint32_t DWORD;
typedef int BOOL;
typedef void* HANDLE;
typedef void* HMODULE;
typedef const char* LPCSTR;

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_WRITE_FAULT 29L
#define ERROR_GEN_FAILURE 31L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_OPEN_FAILED 110L
#define ERROR_CALL_NOT_IMPLEMENTED 120L
#define ERROR_INVALID_NAME 123L
#define FILE_NAMED_STREAMS 0x00040000

#define _strnicmp strncasecmp
#define _wcsnicmp wcsncasecmp
#define _strdup strdup
#endif
