// What every part of the setup bootstrapper shares: the option flags and the other
// process-wide variables, the error record, the calls looked up at run time and the text
// conversions.
//
// Every operation returns a Windows error code (0 = success) and records a failure once, at
// the statement that detects it, with SETUP_RECORD; callers pass the code upward unchanged.
//
// The operations are declared by concern in the headers beside this one:
//   command_line.h  the argument text, the switches, the installer's arguments and the
//                   install-directory property
//   parent.h        the parent process: the updater's end, the parent wait
//   package.h       the payload: target file, decoding, digest, private folder, the package
//                   file's lock, the installer's start
//   report.h        the string table's texts, the question, the progress window, the names of
//                   the running executable and the error report
// Their sources stand in portable/ (builds natively too) and windows/ (Win32 only).
#pragma once

#include "portable.h"

#include <stddef.h>
#include <stdint.h>

// ---- Option flags and the extra installer text -------------------------------------------

extern int g_waitParent;  // --wait-parent: wait for the parent before installing
extern int g_allowElevation;  // --allow-elevation, or the install-directory variable
extern int g_quiet;  // --quiet: no prompt, no error dialog
extern int g_xzdec;  // --xzdec: decode into the current directory and stop
extern wchar_t* g_msiexecExtra;  // appended to msiexec's parameters; lives until exit

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

// ---- Calls looked up at run time (kernel_proc.cpp) ----------------------------------------

#ifdef _WIN32
// kernel32's export of that name, or null where the system has none.
void* setup_getKernelProc(const char* name);
template<typename Fn>
Fn setup_kernelProc(const char* name)
{
    return reinterpret_cast<Fn>(setup_getKernelProc(name));
}
// The same from user32, which the program imports and so has loaded.
void* setup_getUserProc(const char* name);
template<typename Fn>
Fn setup_userProc(const char* name)
{
    return reinterpret_cast<Fn>(setup_getUserProc(name));
}
#endif

// ---- Text conversion (convert.cpp, Windows only) -------------------------------------------
// Heap copies owned by the caller (free); null on any failure; nothing recorded.

wchar_t* setup_mbsToWcs(const char* text);
char* setup_wcsToMbs(const wchar_t* text);

#ifdef _WIN32
// ---- The ANSI code page (convert.cpp, temp_path.cpp) --------------------------------------
// Every narrow text here is in the code page the A functions take, GetACP(): UTF-8 from
// Windows 10 1903 on (the manifest asks for it), the system's setting before.

// The flags that keep WideCharToMultiByte from best-fit look-alikes; the call refuses them
// for UTF-8, which needs none.
inline DWORD setup_noBestFitFlags(UINT codePage)
{
    return codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
}
#endif
