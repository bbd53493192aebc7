// What the user sees: the texts of the string table (string_block.cpp portable; texts.cpp
// Windows), the question on 64-bit Windows (wow64.cpp), the progress window (progress_rules.cpp
// portable; progress_window.cpp Windows), the names of the running executable (names.cpp
// portable) and the error report (error_report.cpp).
#pragma once

#include "setup.h"

// ---- Naming rules (names.cpp, portable) ----------------------------------------------------

// Offset of the file-name part of a path of length len: after the last backslash or slash,
// or 0 when there is none. A path ending in a separator is its own base name.
size_t setup_baseNameOffset(const char* path, size_t len);

// Length of the program name within a base name: without a final ".exe" (any case) when the
// name is longer than four characters, else the whole name.
size_t setup_programNameLength(const char* baseName);

// ---- Texts of the string table (string_block.cpp portable; texts.cpp Windows) ------------

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
int setup_chooseText(const wchar_t* uiText, int uiLength, const wchar_t* english, int englishLength,
                     UINT codePage, char* out, int outSize);

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

// ---- Runs nobody sees (window_station.cpp) -----------------------------------------------

// Whether a window station of these UOI_FLAGS flags is shown to anybody (WSF_VISIBLE, 1). A
// run on one that is not, as services and deployment agents start it, goes on as with
// --quiet: a question or a dialog there waits for ever. When the flags cannot be read the
// station counts as shown. Portable.
constexpr bool setup_isVisibleStation(bool queried, DWORD flags)
{
    return !queried || (flags & 1) != 0;
}
#ifdef _WIN32
// The same for this process's window station.
bool setup_stationVisible();
#endif

// ---- The question on 64-bit Windows (wow64.cpp) -------------------------------------------

// Asks whether to go on when a 32-bit build runs on 64-bit Windows. True when the run goes
// on: the user said Yes, or there was nothing to ask (or the check could not be made).
bool setup_confirmWow64();

// The decision (machine_rules.cpp, portable): a 32-bit build on 64-bit Windows asks entry 2
// of the string table, which names x64; on an ARM64 machine it asks the same text with ARM64
// in the place of x64.
enum setup_Wow64Ask { SETUP_ASK_NONE, SETUP_ASK_X64, SETUP_ASK_ARM64 };
constexpr unsigned SETUP_MACHINE_ARM64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64

// What a process asks: wow64 whether it runs under WOW64, nativeMachine the system's machine
// (IMAGE_FILE_MACHINE_*) or 0 where the system does not tell it.
int setup_wow64Question(int wow64, unsigned nativeMachine);

// text (length UTF-16 units) with every "x64" replaced by "ARM64", into out (outSize units,
// no NUL added). Returns its length; 0 when text is empty or the result does not fit.
size_t setup_deriveArm64Text(const uint16_t* text, size_t length, uint16_t* out, size_t outSize);

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

// ---- The progress window's size by the screen's DPI (progress_rules.cpp portable) ----------
// Figures at 96 dots per inch, the system's unit, scaled to the DPI of the monitor the window
// is on: the program declares itself aware of it, so the system no longer stretches it.

constexpr int SETUP_PROGRESS_CLIENT_WIDTH = 352;
constexpr int SETUP_PROGRESS_CLIENT_HEIGHT = 60;
constexpr int SETUP_PROGRESS_MARGIN = 16;  // around the bar

// value pixels at 96 DPI (0 to 32767) at dpi instead, rounded to the nearest; a DPI of 0 or
// above 65535 counts as 96, a value out of range stays as it is.
int setup_scaleToDpi(int value, unsigned dpi);
