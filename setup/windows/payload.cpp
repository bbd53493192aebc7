// The embedded payload: find it, decode it into a new file beside the other temporary files
// (or into the current directory with --xzdec), hand the file to the installer, delete it.
#include "package.h"
#include "parent.h"
#include "report.h"

#include <stdlib.h>
#include <string.h>

// MAX_PATH characters and the NUL, as the ANSI file functions take a path.
static constexpr DWORD TARGET_PATH_SIZE = MAX_PATH + 1;

// The directory the package is written to, with its trailing backslash; its length in *dirLen.
// An elevated run makes a folder of its own for it (private_folder.cpp).
static DWORD chooseDirectory(char* path, size_t* dirLen)
{
    if (g_xzdec) {
        memcpy(path, ".\\", 3);
        *dirLen = 2;
        return ERROR_SUCCESS;
    }
    if (g_elevation != SETUP_NOT_ELEVATED) {
        return setup_createPrivateFolder(path, TARGET_PATH_SIZE, dirLen);
    }
    return setup_getTempDirectory(path, TARGET_PATH_SIZE, dirLen);
}

static HANDLE createTargetFile(const char* path, DWORD disposition)
{
    // Delete access, so that a file left incomplete is removed through this handle, by no path.
    return CreateFileA(path, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, disposition,
                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

// A name of the system's choosing in the directory at the start of path, used when the
// executable's name gives none or that file cannot be created (it exists, for instance).
static DWORD createGeneratedFile(char* path, size_t dirLen, HANDLE* file)
{
    path[dirLen] = '\0';
    // The system's generated name takes 14 more characters; a longer directory would have it
    // write past the buffer, which some implementations do instead of failing.
    if (dirLen > MAX_PATH - 14) {
        SETUP_RECORD(ERROR_BUFFER_OVERFLOW);
        return ERROR_BUFFER_OVERFLOW;
    }
    char* dir = _strdup(path);
    if (dir == nullptr) {
        SETUP_RECORD(ERROR_OUTOFMEMORY);
        return ERROR_OUTOFMEMORY;
    }
    DWORD error = ERROR_SUCCESS;
    if (GetTempFileNameA(dir, "msi", 0, path) == 0) {
        error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
    } else {
        *file = createTargetFile(path, CREATE_ALWAYS);
        if (*file == INVALID_HANDLE_VALUE) {
            error = setup_lastErrorOr(ERROR_GEN_FAILURE);
            SETUP_RECORD(error);
            // The system created the name as an empty file; nothing else will remove it.
            DeleteFileA(path);
        }
    }
    free(dir);
    return error;
}

static DWORD createTarget(char* path, size_t dirLen, HANDLE* file)
{
    if (setup_buildTargetPath(path, TARGET_PATH_SIZE, path, dirLen, setup_getModuleBaseName())) {
        *file = createTargetFile(path, CREATE_NEW);
        if (*file != INVALID_HANDLE_VALUE) {
            return ERROR_SUCCESS;
        }
    }
    return createGeneratedFile(path, dirLen, file);
}

// What is done with the decoded file depends on the payload kind fixed at build time. Only
// "msi" is installed; "bspatch" and unknown kinds are not implemented.
static DWORD dispatchPayload(const char* kind, const char* path)
{
    if (_strnicmp(kind, "msi", 3) != 0) {
        SETUP_RECORD(ERROR_CALL_NOT_IMPLEMENTED);
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    wchar_t* widePath = setup_mbsToWcs(path);
    if (widePath == nullptr) {
        SETUP_RECORD(ERROR_OUTOFMEMORY);
        return ERROR_OUTOFMEMORY;
    }
    DWORD result = setup_runMsiexec(widePath);
    free(widePath);
    return result;
}

// The complete package, closed, locked for reading and checked, goes to the installer; it is
// then removed if it is still the file written.
static DWORD installPackage(const char* kind, const char* path, HANDLE file, setup_Digest* digest)
{
    setup_FileId id;
    DWORD result = setup_closeWritten(file, &id);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    HANDLE lock = INVALID_HANDLE_VALUE;
    result = setup_lockPackage(path, id, digest->key, setup_digestFinish(digest), &lock);
    if (result == ERROR_SUCCESS) {
        result = dispatchPayload(kind, path);
        CloseHandle(lock);
    }
    setup_removePackage(path, id);
    return result;
}

// From the new file on: decoding, the parent wait, the installer, and the file's removal.
static DWORD decodeAndInstall(const void* payload, DWORD size, const char* kind, const char* path,
                              HANDLE file)
{
    // The digest is kept only for a package that goes on to the installer.
    setup_Digest digest;
    uint32_t key[SETUP_DIGEST_KEY_WORDS];
    DWORD result = ERROR_SUCCESS;
    if (!g_xzdec && (result = setup_randomBytes(key, sizeof key)) == ERROR_SUCCESS) {
        setup_digestStart(&digest, key);
    }
    if (result == ERROR_SUCCESS) {
        uint32_t threads = 1;
        uint64_t threadingLimit = 0;
        setup_decodeThreading(&threads, &threadingLimit);
        // --xzdec is a decode tool's run, as unattended as --quiet: neither shows progress.
        result = setup_xzDecodeToFile(payload, size, file, g_xzdec ? nullptr : &digest,
                                      !g_quiet && !g_xzdec, threads, threadingLimit);
    }
    if (result != ERROR_SUCCESS) {
        setup_removeThroughHandle(file);
        CloseHandle(file);
        return result;
    }
    if (g_xzdec) {
        return setup_keepDecodedPackage(path, file);
    }
    // The parent is waited for while the file is still open and shared with nobody.
    if (g_waitParent) {
        setup_waitForParent();
    }
    return installPackage(kind, path, file, &digest);
}

DWORD setup_extractAndRun(const void* payload, DWORD size, const char* kind)
{
    char path[TARGET_PATH_SIZE];
    size_t dirLen = 0;
    DWORD result = chooseDirectory(path, &dirLen);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    HANDLE file = INVALID_HANDLE_VALUE;
    result = createTarget(path, dirLen, &file);
    if (result == ERROR_SUCCESS) {
        result = decodeAndInstall(payload, size, kind, path, file);
    }
    if (g_elevation != SETUP_NOT_ELEVATED && !g_xzdec) {
        setup_removePrivateFolder(path, dirLen);
    }
    return result;
}

// The code of a resource call that has failed. SizeofResource and LockResource set none of
// their own (an empty resource is a size of 0, not an error to the system), so the last error
// is cleared before them, and a failure without a code is named as invalid data.
static DWORD resourceFailure() { return setup_lastErrorOr(ERROR_INVALID_DATA); }

// The payload's bytes where the system maps them, or null with the failing call's code recorded
// in *code.
static const void* lockPayload(HMODULE module, LPCSTR type, LPCSTR name, DWORD* size, DWORD* code)
{
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) {
        *code = resourceFailure();
        SETUP_RECORD(*code);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    *size = SizeofResource(module, found);
    if (*size == 0) {
        *code = resourceFailure();
        SETUP_RECORD(*code);
        return nullptr;
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) {
        *code = resourceFailure();
        SETUP_RECORD(*code);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    const void* data = LockResource(loaded);
    if (data == nullptr) {
        *code = resourceFailure();
        SETUP_RECORD(*code);
    }
    return data;
}

int setup_extractResource(HMODULE module, LPCSTR type, LPCSTR name, DWORD* outError)
{
    DWORD size = 0;
    DWORD code = ERROR_SUCCESS;
    const void* data = lockPayload(module, type, name, &size, &code);
    if (data != nullptr) {
        code = setup_extractAndRun(data, size, g_payloadKind);
    }
    if (outError != nullptr) {
        *outError = code;
    }
    return data == nullptr;
}
