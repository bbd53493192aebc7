// The end-to-end driver: starts real setup builds under Wine, finds and answers their dialogs,
// and collects their full exit codes.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// Where the setup builds are: <bin>\<variant>\setup.exe (set from the command line).
extern std::string g_bin;

std::string variantExe(const std::string& variant);

// Named paths given with --path NAME=PATH (demo.msi, smallfs).
extern std::map<std::string, std::string> g_paths;

struct RunOptions {
    std::string exe;          // full path of the program
    std::string args;         // command line after the program name
    std::string cwd;          // working directory; empty: the driver's
    // Environment changes: value set, or removed when the value is the null text "\x01".
    std::vector<std::pair<std::string, std::string>> env;
    DWORD timeoutMs = 180000; // the whole run; then the process is killed and the test fails
};

constexpr const char* kUnset = "\x01";

struct Dialog {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    bool yesNo = false;       // has Yes and No buttons
};

struct Child {
    HANDLE process = nullptr;
    DWORD pid = 0;
    DWORD started = 0;
    DWORD timeoutMs = 0;
};

// Starts the program; fails the test when it cannot be started.
Child start(const RunOptions& options);

// Waits up to timeoutMs for a message box of the child (or a process it started) to appear.
// False when none appeared or the child ended first.
bool waitDialog(const Child& child, Dialog* dialog, DWORD timeoutMs = 60000);

// Presses a button (IDOK, IDYES, IDNO) of the dialog and waits until it has closed.
void answer(const Dialog& dialog, int button);

// Waits for the end of the child within its time budget; on time-out kills it, fails the test
// and returns 0xFFFFFFFF. Closes the handle.
DWORD finish(Child& child);

// A run that should show one dialog: it is answered with OK (No when it asks a question) and
// kept in *shown; fails the test when none appears. Returns the exit code.
DWORD runThroughDialog(const RunOptions& options, Dialog* shown);

// start + finish for runs that show no dialog; fails the test if a dialog appears.
DWORD runQuiet(const RunOptions& options);

// The system's text for a code, as FormatMessageA gives it ("" when there is none).
std::string systemText(DWORD code);

// The text with every CR LF made a plain line feed (dialogs may show either).
std::string lineFeeds(std::string text);

// Files and directories.
std::string tempDir();                         // the driver's %TEMP%, with a trailing backslash
std::string makeScratchDir(const std::string& name); // a fresh empty directory under %TEMP%
bool fileExists(const std::string& path);
std::vector<std::string> listFiles(const std::string& dir, const std::string& pattern = "*");
std::string readFile(const std::string& path);
void copyFile(const std::string& from, const std::string& to);
void removeTree(const std::string& dir);

} // namespace e2e
