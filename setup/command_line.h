// The command line: the argument text, the switches, the arguments rebuilt for the installer
// (args.cpp portable; command_line.cpp Windows) and the install-directory property built from
// an argument or the environment (install_dir_text.cpp portable; install_dir.cpp Windows).
#pragma once

#include "setup.h"

// ---- Command line (args.cpp portable; command_line.cpp Windows) ----------------------------

// The white space of every argument-scanning step, narrow and wide alike: the space and TAB,
// LF, VT, FF, CR. The library classifiers disagree between widths (iswspace counts the
// no-break space, isspace in the C locale does not), and a character that separates in one
// step but not in another would split an argument on its way to the installer. Narrow
// callers pass the byte as unsigned char.
constexpr bool setup_isSpace(unsigned long c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D); }

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

constexpr size_t SETUP_INSTALL_DIR_MAX = 260;  // characters of the environment value
constexpr size_t SETUP_QUOTE_BUFFER_SIZE = SETUP_INSTALL_DIR_MAX + 3;
extern const char SETUP_INSTALL_DIR_VAR[];  // "VORLANE_AUTOUPDATE_INSTALLDIR"

// Quotes a value of n characters held at buffer[1..n] unless it is quoted already; returns
// the start of the text and stores its length. Portable.
char* setup_quoteInstallDir(char* buffer, size_t n, size_t* length);

// Builds "VORLANE_AUTOUPDATE_INSTALLDIR=\"dir\"" from dirLen units of dir (heap, or null).
wchar_t* setup_makeInstallDirProperty(const wchar_t* dir, size_t dirLen);

// Reads the variable into buffer (SETUP_QUOTE_BUFFER_SIZE bytes) and quotes it. Returns the
// text or null; failures are recorded.
char* setup_readInstallDirEnv(char* buffer, size_t* length);
void setup_buildInstallDirProperty(const char* text);
