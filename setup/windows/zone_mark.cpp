// The mark of the web on the package that --xzdec keeps: read from setup.exe's own
// Zone.Identifier stream, written as the package's, or the package is not kept.
#include "package.h"

#include <string.h>

static const char STREAM_NAME[] = ":Zone.Identifier";

int setup_readOwnZoneMark(char* mark, size_t* size)
{
    *size = 0;
    wchar_t path[MAX_PATH + sizeof STREAM_NAME];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    // A file that cannot be named cannot be looked at: what it came with is not known, and
    // the package is marked as from the internet.
    if (n == 0 || n > MAX_PATH) {
        return SETUP_ZONE_MINIMAL;
    }
    for (size_t i = 0; i < sizeof STREAM_NAME; ++i) {
        path[n + i] = static_cast<wchar_t>(STREAM_NAME[i]);
    }
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD openError = file == INVALID_HANDLE_VALUE ? setup_lastErrorOr(ERROR_GEN_FAILURE) : 0;
    DWORD readError = ERROR_SUCCESS;
    // One byte more than is copied, to tell a mark that is longer.
    while (openError == ERROR_SUCCESS && *size <= SETUP_ZONE_MARK_MAX) {
        DWORD got = 0;
        if (!ReadFile(file, mark + *size, static_cast<DWORD>(SETUP_ZONE_MARK_MAX + 1 - *size), &got,
                      nullptr)) {
            readError = setup_lastErrorOr(ERROR_READ_FAULT);
            break;
        }
        if (got == 0) {
            break;
        }
        *size += got;
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
    return setup_zoneMarkFrom(openError, readError, *size);
}

DWORD setup_writeZoneMark(const char* path, const setup_FileId& id, const void* mark, DWORD size)
{
    char streamPath[MAX_PATH + sizeof STREAM_NAME];
    size_t n = strlen(path);
    DWORD error = ERROR_SUCCESS;
    if (n > MAX_PATH) {
        error = ERROR_BUFFER_OVERFLOW;
        SETUP_RECORD(error);
    } else {
        memcpy(streamPath, path, n);
        memcpy(streamPath + n, STREAM_NAME, sizeof STREAM_NAME);
        HANDLE file = CreateFileA(streamPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = setup_lastErrorOr(ERROR_GEN_FAILURE);
            SETUP_RECORD(error);
        } else {
            error = setup_writeAll(file, mark, size);
            CloseHandle(file);
        }
    }
    // A package that should carry the mark and does not is not left behind.
    if (error != ERROR_SUCCESS) {
        setup_removePackage(path, id);
    }
    return error;
}

DWORD setup_keepDecodedPackage(const char* path, HANDLE file)
{
    char mark[SETUP_ZONE_MARK_MAX + 1];
    size_t size = 0;
    int kind = setup_readOwnZoneMark(mark, &size);
    DWORD flags = 0;
    bool known =
        GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)
        != FALSE;
    if (!setup_zoneMarkWritten(kind, known, flags)) {
        CloseHandle(file);
        return ERROR_SUCCESS;
    }
    // The stream is written once the package is closed: whether a stream opens beside a data
    // stream held open and shared with nobody is the file system's affair.
    setup_FileId id;
    DWORD result = setup_closeWritten(file, &id);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    if (kind == SETUP_ZONE_MINIMAL) {
        size = sizeof SETUP_ZONE_MARK_MINIMAL - 1;
        memcpy(mark, SETUP_ZONE_MARK_MINIMAL, size);
    }
    return setup_writeZoneMark(path, id, mark, static_cast<DWORD>(size));
}
