// The end-to-end driver: starts real setup builds under Wine, finds and answers their dialogs,
// and collects their full exit codes.
#pragma once

#include "files.h"

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using namespace support;

// Where the setup builds are: <bin>\<variant>\setup.exe (set from the command line).
extern std::string g_bin;

std::string variantExe(const std::string& variant);

// Named paths given with --path NAME=PATH (demo.msi, smallfs).
extern std::map<std::string, std::string> g_paths;

// Texts here are UTF-8: paths, arguments, environment, dialog texts.
struct RunOptions {
    std::string exe;  // full path of the program
    std::string args;  // command line after the program name
    std::string cwd;  // working directory; empty: the driver's
    // Environment changes: value set, or removed when the value is the null text "\x01".
    std::vector<std::pair<std::string, std::string>> env;
    DWORD timeoutMs = 180000;  // the whole run; then the process is killed and the test fails
    // Whether exe is a setup.exe started with args, whose 32-bit question is then checked:
    // not a program that starts setup.exe itself.
    bool setupRun = true;
    // A run is started with the limited token of the driver's user unless it asks for the
    // elevated one (whichever of the two the driver was started with).
    bool elevated = false;
};

constexpr const char* kUnset = "\x01";

struct Dialog {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    bool yesNo = false;  // has Yes and No buttons
};

struct Child {
    HANDLE process = nullptr;
    DWORD pid = 0;
    DWORD started = 0;
    DWORD timeoutMs = 0;
    int questions = -1;  // times it must ask the 32-bit question; -1: not checked
};

// The 32-bit question (string-table entry 2 of setup.exe).
extern const char kWow64Question[];

// Whether this bench is where the question is asked: a 32-bit build in a 64-bit prefix
// (VORLANE_WINE_LEG=win64).
extern bool g_wow64;

// Starts the background watcher that answers the question (see QuestionsByHand).
void watchQuestions();

// Whether a setup.exe started with these arguments asks the question on 64-bit Windows: every
// run whose switches do not lead to --quiet or --xzdec.
bool asksQuestion(const std::string& args);

// The driver answers every question Yes as it appears (a background watcher), and finish()
// checks that a setup run asked exactly when it must. While one of these lives, questions are
// left to the test, which finds them with waitDialog.
struct QuestionsByHand {
    QuestionsByHand();
    ~QuestionsByHand();
    QuestionsByHand(const QuestionsByHand&) = delete;
    QuestionsByHand& operator=(const QuestionsByHand&) = delete;
};

// Starts the program; fails the test when it cannot be started.
Child start(const RunOptions& options);

// Waits up to timeoutMs for a message box of the child (or a process it started) to appear.
// False when none appeared or the child ended first.
bool waitDialog(const Child& child, Dialog* dialog, DWORD timeoutMs = 60000);

// Presses a button (IDOK, IDYES, IDNO) of the dialog and waits until it has closed.
void answer(const Dialog& dialog, int button);

// Waits for the end of the child within its time budget; on time-out kills it, fails the test
// and returns 0xFFFFFFFF. Checks the questions it asked. Closes the handle.
DWORD finish(Child& child);

// A run that should show one dialog: it is answered with OK (No when it asks a question) and
// kept in *shown; fails the test when none appears. Returns the exit code.
DWORD runThroughDialog(const RunOptions& options, Dialog* shown);

// start + finish for runs that show no dialog; fails the test if a dialog appears. Whether
// the run showed the progress window goes to *progress, when given; it is then looked for
// every millisecond.
DWORD runQuiet(const RunOptions& options, bool* progress = nullptr);

// Whether the process showed setup's progress window (SETUP_PROGRESS_CLASS) at some time
// while the driver watched, which it does every 100 ms, as for the question; its title goes
// to *title, the size of its client area to *client.
bool progressShown(DWORD pid, std::string* title = nullptr, SIZE* client = nullptr);

// An executable's version record as the system reads it (GetFileVersionInfoA), "" when it has
// none, and one value of it (VerQueryValueA: "\\" the fixed part, "\\StringFileInfo\\...")
// or null.
std::string versionInfo(const std::string& exe);
const void* versionValue(const std::string& info, const std::string& key);

// What another process of the user could do to a file: the msiexec stand-in's attempts to open
// it for writing, rename it, open it for deletion and read it, as the process itself (own) and
// as an unelevated copy of it (unelevated): "write=E rename=E delete=E read=E progress=P", each E
// the attempt's error code (0: done), P whether setup's progress window was on screen.
struct Probe {
    std::string own, unelevated;
};

// The reports the stand-in wrote at report (and beside it), removed once read.
Probe readProbe(const std::string& report);

// The stand-in started as such a process with the elevated token of the driver's two, on the
// file at path; its reports go into dir.
Probe probeFile(const std::string& path, const std::string& dir);

// The system's text for a code, as FormatMessageA gives it ("" when there is none).
std::string systemText(DWORD code);

// The text with every CR LF made a plain line feed (dialogs may show either).
std::string lineFeeds(std::string text);

}  // namespace e2e
