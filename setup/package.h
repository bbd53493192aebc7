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

constexpr size_t SETUP_DIGEST_BLOCK_WORDS = 256;  // 32-bit words of one block, 1 KiB
constexpr size_t SETUP_DIGEST_KEY_WORDS = SETUP_DIGEST_BLOCK_WORDS + 4;

struct setup_Digest {
    uint32_t key[SETUP_DIGEST_KEY_WORDS];
    uint64_t point;  // of the polynomial, from the key
    uint64_t poly;  // the polynomial so far
    uint64_t nhA, nhB;  // the current block's two sums
    size_t words;  // taken into the current block
    uint64_t length;  // bytes in all
    uint8_t pending[8];  // a pair of words not yet complete
    size_t pendingSize;
};

void setup_digestStart(setup_Digest* digest, const uint32_t key[SETUP_DIGEST_KEY_WORDS]);
void setup_digestUpdate(setup_Digest* digest, const void* data, size_t size);
uint64_t setup_digestFinish(setup_Digest* digest);

// ---- Decoding (xz_decode.cpp) ----------------------------------------------------------------

// Every decoded byte also goes into digest, when one is given. With progress, a decode that
// lasts shows the progress window while it runs. The blocks of a payload that gives their
// sizes decode on up to threads threads, as many at once as threadingLimit bytes of memory
// allow; a payload without sizes, or a block that alone needs more, decodes on this thread.
DWORD setup_xzDecodeToFile(const void* input, DWORD size, HANDLE file,
                           setup_Digest* digest = nullptr, bool progress = false,
                           uint32_t threads = 1, uint64_t threadingLimit = 0);

// ---- Decoding threads (thread_rules.cpp portable; thread_facts.cpp Windows) ---------------

constexpr uint32_t SETUP_DECODE_THREADS_MAX = 8;
constexpr uint64_t SETUP_THREADING_LIMIT_MAX = uint64_t(512) << 20;

// The processors of an affinity mask, 1 to SETUP_DECODE_THREADS_MAX (1 for an empty mask).
uint32_t setup_threadsFromAffinity(uint64_t mask);
// The memory the decoding threads may take: a quarter of the physical memory and, when
// addressBound (a 32-bit process), of the largest free address range, at most
// SETUP_THREADING_LIMIT_MAX. 0 where a fact is 0 (unknown): one thread.
uint64_t setup_threadingLimit(uint64_t physicalMemory, uint64_t largestFreeRange,
                              bool addressBound);

#ifdef _WIN32
// The threads and the threading limit for this process on this machine.
void setup_decodeThreading(uint32_t* threads, uint64_t* limit);
#endif

// ---- The package file's identity and lock (package_file.cpp) -------------------------------

// A file as the file system knows it, whatever its path: volume and file index.
struct setup_FileId {
    DWORD volume, indexHigh, indexLow;
};

#ifdef _WIN32
DWORD setup_randomBytes(void* out, ULONG size);
DWORD setup_getFileId(HANDLE file, setup_FileId* id);
// Closes a package just written, its file id taken first into *id; one whose id cannot be
// read is removed, since nothing could tell it later from a file put in its place.
DWORD setup_closeWritten(HANDLE file, setup_FileId* id);
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

// ---- The mark of the web on what --xzdec keeps (zone_mark_rules.cpp portable;
// zone_mark.cpp Windows) ---------------------------------------------------------------------
// A setup.exe from the internet carries the system's mark in its Zone.Identifier stream; the
// package it decodes for the user to keep carries a copy on, so that decoding strips nothing.

constexpr size_t SETUP_ZONE_MARK_MAX = 4096;  // bytes of setup.exe's own mark copied at most
// The mark of a file from the internet, for a mark of setup.exe that cannot be copied.
constexpr char SETUP_ZONE_MARK_MINIMAL[] = "[ZoneTransfer]\r\nZoneId=3\r\n";
enum setup_ZoneMark { SETUP_ZONE_NONE, SETUP_ZONE_COPY, SETUP_ZONE_MINIMAL };

// The package's mark (setup_ZoneMark) from the look at setup.exe's own: openError the code of
// opening the stream (0: it opened), readError that of reading it, size the bytes read (more
// than SETUP_ZONE_MARK_MAX: it is longer).
int setup_zoneMarkFrom(DWORD openError, DWORD readError, size_t size);

// Whether that mark is written on the destination's volume, whose flags are volumeFlags when
// volumeKnown (GetVolumeInformation's).
bool setup_zoneMarkWritten(int mark, bool volumeKnown, DWORD volumeFlags);

#ifdef _WIN32
// setup.exe's own mark: its bytes in mark (SETUP_ZONE_MARK_MAX + 1 bytes), their count in
// *size; returns the package's mark (setup_ZoneMark).
int setup_readOwnZoneMark(char* mark, size_t* size);

// Writes size bytes of mark as the Zone.Identifier stream of the package at path, the file id
// names; when that fails, the package is removed. Failures are recorded.
DWORD setup_writeZoneMark(const char* path, const setup_FileId& id, const void* mark, DWORD size);

// The end of a --xzdec decoding into file at path: the package is closed and kept, marked
// where setup.exe is.
DWORD setup_keepDecodedPackage(const char* path, HANDLE file);

// Writes all size bytes to file, again after a write that takes only part; records a failure
// (xz_decode.cpp).
DWORD setup_writeAll(HANDLE file, const void* data, DWORD size);
#endif
