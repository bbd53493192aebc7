// The decoded package under lock: from the moment it is complete until the installer has ended
// other processes may read it and nothing else, and at the end the file written is removed
// and no other.
//
// The writer cannot stay open while the installer runs: the installer opens its package for
// reading and shares only reading, which no handle with write or delete access allows. So the
// writer is closed and a read-only lock taken at once, and what the short moment in between
// could have done is undone by checks: the locked file must be the one written (its file id)
// and hold the bytes written (the digest kept while decoding, against the file read back).
#include "package.h"

#include <ntsecapi.h>

static bool sameFile(const BY_HANDLE_FILE_INFORMATION& info, const setup_FileId& id)
{
    return info.dwVolumeSerialNumber == id.volume && info.nFileIndexHigh == id.indexHigh
        && info.nFileIndexLow == id.indexLow;
}

DWORD setup_randomBytes(void* out, ULONG size)
{
    if (!RtlGenRandom(out, size)) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    return ERROR_SUCCESS;
}

DWORD setup_getFileId(HANDLE file, setup_FileId* id)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    *id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return ERROR_SUCCESS;
}

DWORD setup_closeWritten(HANDLE file, setup_FileId* id)
{
    DWORD result = setup_getFileId(file, id);
    if (result != ERROR_SUCCESS) {
        setup_removeThroughHandle(file);
    }
    CloseHandle(file);
    return result;
}

// The digest of the whole file, read through the lock. The file is mapped a window at a time
// rather than copied out: the pages are in memory already, just written.
static DWORD readBackDigest(HANDLE file, const uint32_t* key, uint64_t* value)
{
    constexpr DWORD windowSize = 64u << 20;
    LARGE_INTEGER size;
    DWORD error = ERROR_SUCCESS;
    if (!GetFileSizeEx(file, &size)) {
        error = setup_lastErrorOr(ERROR_GEN_FAILURE);
    } else if (size.HighPart != 0) {
        // No installer takes a package of 4 GiB or more; the one written was not.
        error = ERROR_FILE_INVALID;
    }
    // An empty file cannot be mapped, and has nothing to read.
    HANDLE mapping = error != ERROR_SUCCESS || size.LowPart == 0
        ? nullptr
        : CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (error == ERROR_SUCCESS && size.LowPart != 0 && mapping == nullptr) {
        error = setup_lastErrorOr(ERROR_GEN_FAILURE);
    }
    setup_Digest digest;
    setup_digestStart(&digest, key);
    for (DWORD at = 0, length = 0; error == ERROR_SUCCESS && at < size.LowPart; at += length) {
        length = size.LowPart - at < windowSize ? size.LowPart - at : windowSize;
        const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, at, length);
        if (view == nullptr) {
            error = setup_lastErrorOr(ERROR_GEN_FAILURE);
            break;
        }
        setup_digestUpdate(&digest, view, length);
        UnmapViewOfFile(view);
    }
    if (mapping != nullptr) {
        CloseHandle(mapping);
    }
    if (error != ERROR_SUCCESS) {
        SETUP_RECORD(error);
    }
    *value = setup_digestFinish(&digest);
    return error;
}

DWORD setup_lockPackage(const char* path, const setup_FileId& id, const uint32_t* key,
                        uint64_t expected, HANDLE* lock)
{
    // A link put in the package's place is opened as itself and fails the identity check.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    BY_HANDLE_FILE_INFORMATION info;
    DWORD error = ERROR_SUCCESS;
    uint64_t found = 0;
    if (!GetFileInformationByHandle(file, &info)) {
        error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
    } else if (!sameFile(info, id)) {
        error = ERROR_FILE_INVALID;
        SETUP_RECORD(error);
    } else if ((error = readBackDigest(file, key, &found)) == ERROR_SUCCESS && found != expected) {
        error = ERROR_FILE_INVALID;
        SETUP_RECORD(error);
    }
    if (error != ERROR_SUCCESS) {
        CloseHandle(file);
        return error;
    }
    *lock = file;
    return ERROR_SUCCESS;
}

void setup_removeThroughHandle(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

void setup_removePackage(const char* path, const setup_FileId& id)
{
    // Shared with everyone, so that an installer process still closing the package does not
    // keep it: the removal then takes effect when the last handle goes.
    HANDLE file = CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file, &info) && sameFile(info, id)) {
        setup_removeThroughHandle(file);
    }
    CloseHandle(file);
}
