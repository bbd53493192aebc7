// Where an elevated run writes the package. The temporary directories an elevated setup.exe
// sees are often open to others (C:\Windows\Temp lets every user create files and folders), and
// whatever they plant or swap there would be installed with the run's rights. So the package
// goes into a new folder whose name nobody can guess and whose access list, protected from
// inheritance, admits SYSTEM and Administrators only.
#include "setup.h"

#include <sddl.h>
#include <stdlib.h>
#include <string.h>

const char SETUP_PRIVATE_FOLDER_SDDL[] =
    "D:PAI(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;FA;;;SY)(A;OICIIO;GA;;;SY)";

int setup_getElevation()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return SETUP_NOT_ELEVATED;
    }
    int elevation = SETUP_NOT_ELEVATED;
    TOKEN_ELEVATION elevated = {};
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevation, &elevated, sizeof elevated, &size)
        && elevated.TokenIsElevated) {
        elevation = SETUP_ELEVATED;
    }
    alignas(TOKEN_USER) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    if (GetTokenInformation(token, TokenUser, user, sizeof user, &size)
        && IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, WinLocalSystemSid)) {
        elevation = SETUP_SYSTEM;
    }
    CloseHandle(token);
    return elevation;
}

// SYSTEM's own temporary directory where the system has one (GetTempPath2W gives it to SYSTEM
// and the user's to everyone else), else the one every process gets.
static DWORD getBaseDirectory(char* path, DWORD capacity, DWORD* length)
{
    typedef DWORD(WINAPI * GetTempPath2WFn)(DWORD, LPWSTR);
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto getTempPath2W = kernel == nullptr ? nullptr
        : reinterpret_cast<GetTempPath2WFn>(
              reinterpret_cast<void*>(GetProcAddress(kernel, "GetTempPath2W")));
    DWORD d = 0;
    if (g_elevation == SETUP_SYSTEM && getTempPath2W != nullptr) {
        wchar_t wide[MAX_PATH + 1];
        d = getTempPath2W(MAX_PATH + 1, wide);
        char* narrow = d > 0 && d <= MAX_PATH ? setup_wcsToMbs(wide) : nullptr;
        d = 0;
        if (narrow != nullptr && strlen(narrow) < capacity) {
            d = static_cast<DWORD>(strlen(narrow));
            memcpy(path, narrow, d + 1);
        }
        free(narrow);
    }
    if (d == 0) {
        size_t n = 0;
        DWORD error = setup_getTempDirectory(path, capacity, &n);
        d = static_cast<DWORD>(n);
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    *length = d;
    return ERROR_SUCCESS;
}

// A name from the system's random generator, "setup-" and 16 hexadecimal digits.
static DWORD appendRandomName(char* path, size_t at, size_t capacity)
{
    static constexpr size_t nameLength = 6 + 16 + 1;  // and the backslash
    if (at + nameLength >= capacity) {
        SETUP_RECORD(ERROR_BUFFER_OVERFLOW);
        return ERROR_BUFFER_OVERFLOW;
    }
    unsigned char random[8];
    DWORD error = setup_randomBytes(random, sizeof random);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    static constexpr char hex[] = "0123456789abcdef";
    char* p = path + at;
    memcpy(p, "setup-", 6);
    p += 6;
    for (unsigned char byte : random) {
        *p++ = hex[byte >> 4];
        *p++ = hex[byte & 15];
    }
    *p = '\0';
    return ERROR_SUCCESS;
}

DWORD setup_createPrivateFolder(char* path, DWORD capacity, size_t* dirLen)
{
    DWORD base = 0;
    DWORD error = getBaseDirectory(path, capacity, &base);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            SETUP_PRIVATE_FOLDER_SDDL, SDDL_REVISION_1, &security.lpSecurityDescriptor, nullptr)) {
        error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        SETUP_RECORD(error);
        return error;
    }
    // A name that exists is never taken over: whoever made it may hold it open or own it.
    for (int attempt = 0; attempt < 16; ++attempt) {
        error = appendRandomName(path, base, capacity);
        if (error != ERROR_SUCCESS) {
            break;
        }
        if (CreateDirectoryA(path, &security)) {
            size_t n = strlen(path);
            memcpy(path + n, "\\", 2);
            *dirLen = n + 1;
            break;
        }
        error = setup_lastErrorOr(ERROR_GEN_FAILURE);
        if (error != ERROR_ALREADY_EXISTS) {
            SETUP_RECORD(error);
            break;
        }
    }
    if (error == ERROR_ALREADY_EXISTS) {
        SETUP_RECORD(error);
    }
    LocalFree(security.lpSecurityDescriptor);
    return error;
}

void setup_removePrivateFolder(char* path, size_t dirLen)
{
    path[dirLen - 1] = '\0';
    RemoveDirectoryA(path);
}
