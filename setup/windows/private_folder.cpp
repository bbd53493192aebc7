// Where an elevated run writes the package. The temporary directories an elevated setup.exe
// sees are often open to others (C:\Windows\Temp lets every user create files and folders), and
// whatever they plant or swap there would be installed with the run's rights. So the package
// goes into a new folder whose name nobody can guess and whose access list, protected from
// inheritance, admits SYSTEM and Administrators only.
#include "package.h"

#include <sddl.h>
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

// SYSTEM's own temporary directory where the system has one (GetTempPath2 gives it to SYSTEM
// and the user's to everyone else), else the one every process gets. Its ANSI form serves:
// the package's path is ANSI throughout.
static DWORD getBaseDirectory(char* path, DWORD capacity, size_t* length)
{
    typedef DWORD(WINAPI * GetTempPath2AFn)(DWORD, LPSTR);
    auto getTempPath2A =
        g_elevation == SETUP_SYSTEM ? setup_kernelProc<GetTempPath2AFn>("GetTempPath2A") : nullptr;
    if (getTempPath2A != nullptr) {
        DWORD d = getTempPath2A(capacity, path);
        if (d > 0 && d < capacity) {
            *length = d;
            return ERROR_SUCCESS;
        }
    }
    return setup_getTempDirectory(path, capacity, length);
}

static char hexDigit(unsigned digit)
{
    return static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
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
    char* p = path + at;
    memcpy(p, "setup-", 6);
    p += 6;
    for (unsigned char byte : random) {
        *p++ = hexDigit(byte >> 4);
        *p++ = hexDigit(byte & 15);
    }
    *p = '\0';
    return ERROR_SUCCESS;
}

DWORD setup_createPrivateFolder(char* path, DWORD capacity, size_t* dirLen)
{
    size_t base = 0;
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
