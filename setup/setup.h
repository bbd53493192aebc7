// The setup bootstrapper's chief header: process-wide state, the error record and the
// operations shared between the source files of the unit "setup".
//
// Every operation returns a Windows error code (0 = success) and records a failure once, at
// the statement that detects it, with SETUP_RECORD; callers pass the code upward unchanged.
#pragma once

#include "portable.h"

#include <stddef.h>
#include <stdint.h>

// ---- Option flags and the extra installer text -------------------------------------------

extern int g_waitParent;       // --wait-parent: wait for the parent before installing
extern int g_allowElevation;   // --allow-elevation, or the install-directory variable
extern int g_quiet;            // --quiet: no prompt, no error dialog
extern int g_xzdec;            // --xzdec: decode into the current directory and stop
extern wchar_t* g_msiexecExtra; // appended to msiexec's parameters; lives until exit

// How the run is privileged, found by the run sequence before the payload: an elevated run
// writes the package into a folder of its own that only SYSTEM and Administrators may enter.
enum setup_Elevation { SETUP_NOT_ELEVATED, SETUP_ELEVATED, SETUP_SYSTEM };
extern int g_elevation;

// The payload kind fixed when the executable is made ("msi" for a real setup).
extern const char g_payloadKind[];

// ---- Error record (error_record.cpp) -------------------------------------------------------

// Every recording in this program names the source unit "setup".
#define SETUP_UNIT "setup"
#define SETUP_RECORD(code) setup_recordError((code), SETUP_UNIT, __LINE__)

void setup_recordError(DWORD code, const char* file, int line);
DWORD setup_getErrorCode();
const char* setup_getErrorFile();
int setup_getErrorLine();

#ifdef _WIN32
// The last error of a call that has just failed, or fallback when it set none: a failure
// must not go on as a success.
inline DWORD setup_lastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}
#endif

#ifdef _WIN32
// ---- Calls looked up at run time (kernel_proc.cpp) ----------------------------------------

// kernel32's export of that name, or null where the system has none.
void* setup_getKernelProc(const char* name);
template <typename Fn>
Fn setup_kernelProc(const char* name)
{
    return reinterpret_cast<Fn>(setup_getKernelProc(name));
}
// The same from user32, which the program imports and so has loaded.
void* setup_getUserProc(const char* name);
template <typename Fn>
Fn setup_userProc(const char* name)
{
    return reinterpret_cast<Fn>(setup_getUserProc(name));
}
#endif

// ---- Text conversion (convert.cpp, Windows only) -------------------------------------------
// Heap copies owned by the caller (free); null on any failure; nothing recorded.

wchar_t* setup_mbsToWcs(const char* text);
char* setup_wcsToMbs(const wchar_t* text);

// ---- Naming rules (names.cpp, portable) ----------------------------------------------------

// Offset of the file-name part of a path of length len: after the last backslash or slash,
// or 0 when there is none. A path ending in a separator is its own base name.
size_t setup_baseNameOffset(const char* path, size_t len);

// Length of the program name within a base name: without a final ".exe" (any case) when the
// name is longer than four characters, else the whole name.
size_t setup_programNameLength(const char* baseName);

// ---- Target name (target_name.cpp, portable) ---------------------------------------------

// Target-name rule: writes dir (dirLen bytes) followed by the base name with its last four
// characters replaced by ".msi" into out (capacity outSize bytes, NUL included). Returns 0
// when no name can be derived (base name of four characters or fewer, or no room), which
// sends the caller to the generated-name step.
int setup_buildTargetPath(char* out, size_t outSize, const char* dir, size_t dirLen,
                          const char* baseName);

// ---- Texts of the string table (string_block.cpp portable; texts.cpp Windows) ------------

#include <stdint.h>

// Text index (0-15) of a string-table block of units UTF-16 units: each of the block's 16
// texts is its length followed by that many units. Null, with *length untouched, when the
// text is empty or the block ends before it. Portable.
const uint16_t* setup_stringInBlock(const uint16_t* block, size_t units, unsigned index,
                                    size_t* length);

#ifdef _WIN32
// The text in code page codePage, NUL-terminated in out (outSize bytes); returns its length,
// or 0 when a character of it has no form there (no best-fit look-alikes) or it does not fit.
int setup_convertWhole(const wchar_t* text, int length, UINT codePage, char* out, int outSize);

// uiText when the code page shows it whole, else english; the length in out, 0 when neither
// can be shown.
int setup_chooseText(const wchar_t* uiText, int uiLength, const wchar_t* english,
                     int englishLength, UINT codePage, char* out, int outSize);

// String-table entry id of this executable in the ANSI code page: in the user's UI language
// as the resource loader picks it, or in English (United States) when the ANSI code page
// cannot show that text. Returns the length, 0 when there is no such text; nothing recorded.
// With arm64, the text as setup_deriveArm64Text makes it.
int setup_loadText(UINT id, char* out, int outSize, bool arm64 = false);
#endif

// ---- Names of the running executable and the error report (error_report.cpp) -------------

const char* setup_getModuleBaseName();
const char* setup_getProgramName();
// The system's text for code (LocalAlloc'd, the caller frees it with LocalFree), or null.
char* setup_getSystemText(DWORD code);
DWORD setup_reportError(DWORD code);
void setup_releaseNames();

// ---- The run sequence's own steps (wow64.cpp, main.cpp) -------------------------------------

// Asks whether to go on when a 32-bit build runs on 64-bit Windows. True when the run goes
// on: the user said Yes, or there was nothing to ask (or the check could not be made).
bool setup_confirmWow64();

// Installer results that mean success but must still reach the caller as the exit code.
constexpr bool setup_isRebootSuccess(DWORD code)
{
    return code == 3010 /* ERROR_SUCCESS_REBOOT_REQUIRED */
        || code == 1641 /* ERROR_SUCCESS_REBOOT_INITIATED */;
}

// ---- Command line (args.cpp portable; command_line.cpp Windows) ----------------------------

// The white space of every argument-scanning step, narrow and wide alike: the space and TAB,
// LF, VT, FF, CR. The library classifiers disagree between widths (iswspace counts the
// no-break space, isspace in the C locale does not), and a character that separates in one
// step but not in another would split an argument on its way to the installer. Narrow
// callers pass the byte as unsigned char.
constexpr bool setup_isSpace(unsigned long c)
{
    return c == 0x20 || (c >= 0x09 && c <= 0x0D);
}

const char* setup_skipSpacesA(const char* text);
const wchar_t* setup_skipSpacesW(const wchar_t* text);
const char* setup_matchSwitchA(const char* word, const char* text, int* matched);
const wchar_t* setup_matchSwitchW(const wchar_t* word, const wchar_t* text, int* matched);
// Tokeniser: returns where the next call goes on and sets *token to the next argument with its
// surrounding quotes stripped, or to null. A null token where the returned position is the end
// of the text (or null) means the text is used up; anywhere else it is an argument that was
// empty after stripping (""), and the scan goes on. Writes NULs into text.
wchar_t* setup_nextArgW(wchar_t* text, wchar_t** token);

// Rebuilds the arguments of text into out, the pass-through form: every argument whole,
// separated by one space, re-quoted where it holds white space outside quotes and there is
// room. out has room for wcslen(text) + 2 units; the scan consumes text. Returns out.
wchar_t* setup_rebuildArgsW(wchar_t* text, wchar_t* out);

// Argument text step: the ANSI text after the program name (heap, lives until exit), or null.
// Returns the run result: 0, the code of a failed split, or ERROR_GEN_FAILURE.
DWORD setup_getArgumentText(char** argumentText);
// The same over a given command line (GetCommandLineW's in the step above).
DWORD setup_getArgumentTextOf(const wchar_t* commandLine, char** argumentText);

// Narrow switch step: --wait-parent, then --allow-elevation. Returns the narrow remainder.
const char* setup_parseNarrowSwitches(const char* argumentText);

// Pass-through step: --quiet, then --xzdec, then the rebuilt text into g_msiexecExtra.
void setup_parsePassThrough(const char* narrowRemainder);

// ---- Installer properties (install_dir_text.cpp portable; install_dir.cpp Windows) ---------

constexpr size_t SETUP_INSTALL_DIR_MAX = 260;      // characters of the environment value
constexpr size_t SETUP_QUOTE_BUFFER_SIZE = SETUP_INSTALL_DIR_MAX + 3;
extern const char SETUP_INSTALL_DIR_VAR[];         // "VORLANE_AUTOUPDATE_INSTALLDIR"

// Quotes a value of n characters held at buffer[1..n] unless it is quoted already; returns
// the start of the text and stores its length. Portable.
char* setup_quoteInstallDir(char* buffer, size_t n, size_t* length);

// Builds "VORLANE_AUTOUPDATE_INSTALLDIR=\"dir\"" from dirLen units of dir (heap, or null).
wchar_t* setup_makeInstallDirProperty(const wchar_t* dir, size_t dirLen);

// Reads the variable into buffer (SETUP_QUOTE_BUFFER_SIZE bytes) and quotes it. Returns the
// text or null; failures are recorded.
char* setup_readInstallDirEnv(char* buffer, size_t* length);
void setup_buildInstallDirProperty(const char* text);

// ---- Parent process control (parent_rules.cpp portable; parent.cpp Windows) ---------------

// True when name ends in "up2date.exe", compared byte for byte. Portable.
int setup_isUpdaterName(const char* name);

DWORD setup_getParentProcess(DWORD* parentId, char** parentName);
void setup_terminateUpdaterParent();
void setup_waitForParent();
// The steps above after the lookup, for the parent's id: a process of that id created after
// this one is a stranger that received the id, and is neither ended nor waited for.
void setup_terminateParentProcess(DWORD id);
void setup_waitForParentProcess(DWORD id);

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

// ---- Payload (payload.cpp, package_file.cpp, private_folder.cpp, xz_decode.cpp, msiexec.cpp;
// msiexec_params.cpp portable) --------------------------------------------------------------

int setup_extractResource(HMODULE module, LPCSTR type, LPCSTR name, DWORD* outError);
// The payload road for a payload of the given kind; the resource step passes g_payloadKind.
DWORD setup_extractAndRun(const void* payload, DWORD size, const char* kind);
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

// The temporary directory as GetTempPathA gives it, backslash included; its length in *length.
DWORD setup_getTempDirectory(char* path, DWORD capacity, size_t* length);

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

// Every decoded byte also goes into digest, when one is given. With progress, a decode that
// lasts shows the progress window while it runs.
DWORD setup_xzDecodeToFile(const void* input, DWORD size, HANDLE file,
                           setup_Digest* digest = nullptr, bool progress = false);

// The parameter text for msiexec: /i "path" REINSTALLMODE=amus [extra]. Heap, or null when it
// cannot be allocated. Portable.
wchar_t* setup_buildMsiexecParams(const wchar_t* packagePath, const wchar_t* extra);
DWORD setup_runMsiexec(const wchar_t* packagePath);

// ---- Progress window (progress_rules.cpp portable; progress_window.cpp Windows) ----------
// A decode that lasts longer than the delay shows a small window with the program name as its
// title and a bar of the compressed input consumed, until the decode ends.

constexpr DWORD SETUP_PROGRESS_DELAY_MS = 1000;
// Its window class: anything but the dialog class, so that it is never taken for a message
// box. The end-to-end tests look for it by this name.
constexpr char SETUP_PROGRESS_CLASS[] = "VorlaneSetupProgress";

// Whether interval milliseconds have passed from since to now, by the tick count, which wraps
// after 49.7 days.
bool setup_progressDue(DWORD since, DWORD now, DWORD interval);
// Of width units, those filled when done of total bytes are consumed (0 to width).
int setup_progressFill(DWORD done, DWORD total, int width);

#ifdef _WIN32
// The window shows once the delay has passed from begin, at a step; end removes it. A step
// costs a tick count read until then; after that the window's messages are handled at most
// every few tens of milliseconds. Nothing shows when the window cannot be made.
void setup_progressBegin(DWORD total);
void setup_progressStep(DWORD done);
void setup_progressEnd();
#endif

// ---- The machine question (machine_rules.cpp portable; wow64.cpp Windows) ------------------
// A 32-bit build on 64-bit Windows asks entry 2 of the string table, which names x64; on an
// ARM64 machine it asks the same text with ARM64 in the place of x64.

enum setup_Wow64Ask { SETUP_ASK_NONE, SETUP_ASK_X64, SETUP_ASK_ARM64 };
constexpr unsigned SETUP_MACHINE_ARM64 = 0xAA64;   // IMAGE_FILE_MACHINE_ARM64

// What a process asks: wow64 whether it runs under WOW64, nativeMachine the system's machine
// (IMAGE_FILE_MACHINE_*) or 0 where the system does not tell it.
int setup_wow64Question(int wow64, unsigned nativeMachine);

// text (length UTF-16 units) with every "x64" replaced by "ARM64", into out (outSize units,
// no NUL added). Returns its length; 0 when text is empty or the result does not fit.
size_t setup_deriveArm64Text(const uint16_t* text, size_t length, uint16_t* out, size_t outSize);

// ---- The mark of the web on what --xzdec keeps (zone_mark_rules.cpp portable;
// zone_mark.cpp Windows) ---------------------------------------------------------------------
// A setup.exe from the internet carries the system's mark in its Zone.Identifier stream; the
// package it decodes for the user to keep carries a copy on, so that decoding strips nothing.

constexpr size_t SETUP_ZONE_MARK_MAX = 4096;   // bytes of setup.exe's own mark copied at most
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
DWORD setup_writeZoneMark(const char* path, const setup_FileId& id, const void* mark,
                          DWORD size);

// The end of a --xzdec decoding into file at path: the package is closed and kept, marked
// where setup.exe is.
DWORD setup_keepDecodedPackage(const char* path, HANDLE file);

// Writes all size bytes to file, again after a write that takes only part; records a failure
// (xz_decode.cpp).
DWORD setup_writeAll(HANDLE file, const void* data, DWORD size);
#endif

// ---- The progress window's size by the screen's DPI (progress_rules.cpp portable) ----------
// Figures at 96 dots per inch, the system's unit, scaled to the DPI of the monitor the window
// is on: the program declares itself aware of it, so the system no longer stretches it.

constexpr int SETUP_PROGRESS_CLIENT_WIDTH = 352;
constexpr int SETUP_PROGRESS_CLIENT_HEIGHT = 60;
constexpr int SETUP_PROGRESS_MARGIN = 16;   // around the bar

// value pixels at 96 DPI (0 to 32767) at dpi instead, rounded to the nearest; a DPI of 0 or
// above 65535 counts as 96, a value out of range stays as it is.
int setup_scaleToDpi(int value, unsigned dpi);
