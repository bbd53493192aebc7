// The package: the payload resource and the target file (payload.cpp; target_name.cpp
// portable), decoding (xz_decode.cpp), the package's digest (digest.cpp, portable), the
// private folder of an elevated run (private_folder.cpp), the package file's identity and lock
// (package_file.cpp) and the installer's start (msiexec.cpp; msiexec_params.cpp portable).
#pragma once

#include "setup.h"

// ---- Payload resource and target file (payload.cpp; target_name.cpp portable) --------------

int setup_extractResource(HMODULE module, LPCSTR type, LPCSTR name, DWORD* outError);
// The payload road for a payload of the given kind; the resource step passes g_payloadKind.
DWORD setup_extractAndRun(const void* payload, DWORD size, const char* kind);

// Target-name rule: writes dir (dirLen bytes) followed by the base name with its last four
// characters replaced by ".msi" into out (capacity outSize bytes, NUL included). Returns 0
// when no name can be derived (base name of four characters or fewer, or no room), which
// sends the caller to the generated-name step.
int setup_buildTargetPath(char* out, size_t outSize, const char* dir, size_t dirLen,
                          const char* baseName);

#ifdef _WIN32
// The temporary directory in the form the ANSI file functions take, backslash included; its
// length in *length (temp_path.cpp). That is GetTempPathA's when it names the directory
// exactly, else the directory's short (8.3) form when that can be written in the code page;
// neither: ERROR_INVALID_NAME. (GetTempPathA writes a name it cannot convert with question
// marks, or with look-alikes that may name another user's folder.)
DWORD setup_getTempDirectory(char* path, DWORD capacity, size_t* length);
#endif

// ---- The package's digest (digest.cpp, portable) ----------------------------------------
// A keyed digest of a byte stream fed in pieces of any size: the same bytes under the same key
// give the same value however they are cut. The key comes from the system's random generator.

constexpr size_t SETUP_DIGEST_BLOCK_WORDS = 256;   // 32-bit words of one block, 1 KiB
constexpr size_t SETUP_DIGEST_KEY_WORDS = SETUP_DIGEST_BLOCK_WORDS + 4;

struct setup_Digest {
    uint32_t key[SETUP_DIGEST_KEY_WORDS];
    uint64_t point;      // of the polynomial, from the key
    uint64_t poly;       // the polynomial so far
    uint64_t nhA, nhB;   // the current block's two sums
    size_t words;        // taken into the current block
    uint64_t length;     // bytes in all
    uint8_t pending[8];  // a pair of words not yet complete
    size_t pendingSize;
};

void setup_digestStart(setup_Digest* digest, const uint32_t key[SETUP_DIGEST_KEY_WORDS]);
void setup_digestUpdate(setup_Digest* digest, const void* data, size_t size);
uint64_t setup_digestFinish(setup_Digest* digest);

// ---- Decoding (xz_decode.cpp) ----------------------------------------------------------------

// Every decoded byte also goes into digest, when one is given. With progress, a decode that
// lasts shows the progress window while it runs.
DWORD setup_xzDecodeToFile(const void* input, DWORD size, HANDLE file,
                           setup_Digest* digest = nullptr, bool progress = false);

// ---- The package file's identity and lock (package_file.cpp) -------------------------------

// A file as the file system knows it, whatever its path: volume and file index.
struct setup_FileId {
    DWORD volume, indexHigh, indexLow;
};

#ifdef _WIN32
DWORD setup_randomBytes(void* out, ULONG size);
DWORD setup_getFileId(HANDLE file, setup_FileId* id);
// Opens the package at path for reading, shared for reading only, and checks that it is the
// file id names and that its digest under key is expected. The lock stays open in *lock.
DWORD setup_lockPackage(const char* path, const setup_FileId& id, const uint32_t* key,
                        uint64_t expected, HANDLE* lock);
// Removes the file of a handle opened with delete access once the handle is closed.
void setup_removeThroughHandle(HANDLE file);
// Removes the file at path only when it is still the file id names; links are not followed.
void setup_removePackage(const char* path, const setup_FileId& id);
#endif

// ---- Private folder of an elevated run (private_folder.cpp) ---------------------------------

#ifdef _WIN32
// The run's elevation (setup_Elevation), from the process token.
int setup_getElevation();
// The access list of an elevated run's folder, in the system's descriptor language.
extern const char SETUP_PRIVATE_FOLDER_SDDL[];
// Creates that folder under the temporary directory and writes its path, backslash included,
// into path (capacity bytes); its length in *dirLen.
DWORD setup_createPrivateFolder(char* path, DWORD capacity, size_t* dirLen);
// Removes the folder whose path, backslash included, starts path; dirLen as created.
void setup_removePrivateFolder(char* path, size_t dirLen);
#endif

// ---- Installer start (msiexec.cpp; msiexec_params.cpp portable) -----------------------------

// The parameter text for msiexec: /i "path" REINSTALLMODE=amus [extra]. Heap, or null when it
// cannot be allocated. Portable.
wchar_t* setup_buildMsiexecParams(const wchar_t* packagePath, const wchar_t* extra);
DWORD setup_runMsiexec(const wchar_t* packagePath);

// Installer results that mean success but must still reach the caller as the exit code.
constexpr bool setup_isRebootSuccess(DWORD code)
{
    return code == 3010 /* ERROR_SUCCESS_REBOOT_REQUIRED */
        || code == 1641 /* ERROR_SUCCESS_REBOOT_INITIATED */;
}
