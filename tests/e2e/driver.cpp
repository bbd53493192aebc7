#include "driver.h"
#include "report.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace e2e {

std::string g_bin;
std::map<std::string, std::string> g_paths;
bool g_wow64;

const char kWow64Question[] =
    "The version of this file is x86 (32-bit) and the version of Windows you're running is x64 "
    "(64-bit). It is recommended to install the x64 (64-bit) version of the program.\n\n"
    "Continue anyway?";

namespace {

std::atomic<int> g_byHand {0};
std::mutex g_askedLock;
std::vector<DWORD> g_askedBy;  // the process of each question the watcher answered
// Of the progress window each process showed: its title and client area.
std::map<DWORD, std::pair<std::string, SIZE>> g_progressWindows;

// The text of a control of another process, read with a bounded wait: a process that has just
// left its message box may not answer for a while, and the driver must not hang on it.
std::wstring controlText(HWND control)
{
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    if (control == nullptr
        || !SendMessageTimeoutW(control, WM_GETTEXT, std::size(text),
                                reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied)) {
        return L"";
    }
    return std::wstring(text, copied);
}

Dialog readDialog(HWND window)
{
    wchar_t caption[1024] = {};
    GetWindowTextW(window, caption, 1024);
    std::wstring text = controlText(GetDlgItem(window, 0xFFFF));
    Dialog dialog;
    dialog.window = window;
    dialog.caption = utf8(caption);
    dialog.text = utf8(text);
    dialog.yesNo = GetDlgItem(window, IDYES) != nullptr && GetDlgItem(window, IDNO) != nullptr;
    return dialog;
}

// A message box on screen, read once: a box may show before its text is set, or be closing,
// so that what is decided about it must rest on one reading.
bool readMessageBox(HWND window, Dialog* dialog)
{
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) {
        return false;
    }
    *dialog = readDialog(window);
    return !dialog->text.empty();
}

// Questions the watcher answers; the test never sees them.
bool isWatchedQuestion(const Dialog& dialog)
{
    return g_byHand == 0 && lineFeeds(dialog.text) == kWow64Question;
}

// Setup's progress window is no message box: it is only noted, with its title.
void noteProgressWindow(HWND window)
{
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, SETUP_PROGRESS_CLASS) == 0 && IsWindowVisible(window)) {
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 256);
        RECT client = {};
        GetClientRect(window, &client);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        std::lock_guard<std::mutex> lock(g_askedLock);
        g_progressWindows[pid] = {utf8(title), {client.right, client.bottom}};
    }
}

BOOL CALLBACK noteProgressWindows(HWND window, LPARAM)
{
    noteProgressWindow(window);
    return TRUE;
}

BOOL CALLBACK answerQuestion(HWND window, LPARAM)
{
    noteProgressWindow(window);
    Dialog dialog;
    if (readMessageBox(window, &dialog) && isWatchedQuestion(dialog)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        {
            std::lock_guard<std::mutex> lock(g_askedLock);
            g_askedBy.push_back(pid);
        }
        answer(dialog, IDYES);
    }
    return TRUE;
}

int questionsAskedBy(DWORD pid)
{
    std::lock_guard<std::mutex> lock(g_askedLock);
    return static_cast<int>(std::count(g_askedBy.begin(), g_askedBy.end(), pid));
}

}  // namespace

bool progressShown(DWORD pid, std::string* title, SIZE* client)
{
    std::lock_guard<std::mutex> lock(g_askedLock);
    auto found = g_progressWindows.find(pid);
    if (found == g_progressWindows.end()) {
        return false;
    }
    if (title != nullptr) {
        *title = found->second.first;
    }
    if (client != nullptr) {
        *client = found->second.second;
    }
    return true;
}

void watchQuestions()
{
    std::thread([] {
        for (;;) {
            EnumWindows(answerQuestion, 0);
            Sleep(100);
        }
    }).detach();
}

QuestionsByHand::QuestionsByHand() { ++g_byHand; }

QuestionsByHand::~QuestionsByHand() { --g_byHand; }

bool asksQuestion(const std::string& args)
{
    std::istringstream words(args);
    std::string word;
    words >> word;
    if (_stricmp(word.c_str(), "--wait-parent") == 0) {
        words >> word;
    }
    return _stricmp(word.c_str(), "--quiet") != 0 && _stricmp(word.c_str(), "--xzdec") != 0;
}

std::string variantExe(const std::string& variant)
{
    return g_bin + "\\" + variant + "\\setup.exe";
}

// The driver's environment with the changes applied, as a block for CreateProcessW.
static std::wstring environmentBlock(const RunOptions& options)
{
    std::map<std::wstring, std::wstring> vars;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) {
        std::wstring entry(p);
        size_t eq = entry.find(L'=', 1);
        if (eq != std::wstring::npos) {
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    FreeEnvironmentStringsW(block);
    for (const auto& change : options.env) {
        std::wstring name = widen(change.first);
        // Names are case-insensitive on Windows: drop every spelling of the name first.
        for (auto it = vars.begin(); it != vars.end();) {
            if (_wcsicmp(it->first.c_str(), name.c_str()) == 0) {
                it = vars.erase(it);
            } else {
                ++it;
            }
        }
        if (change.second != kUnset) {
            vars[name] = widen(change.second);
        }
    }
    std::wstring out;
    for (const auto& var : vars) {
        out += var.first + L"=" + var.second;
        out.push_back(L'\0');
    }
    out.push_back(L'\0');
    return out;
}

// The token linked to the driver's own when that is of the given kind (the limited twin of an
// elevated token, or the elevated twin of a limited one), or null. Wine 8 starts the driver
// elevated, as run-tests.cmd is on Windows; Wine 10 starts it limited, as Windows starts an
// administrator's programs, and hands out the elevated twin.
static HANDLE linkedToken(TOKEN_ELEVATION_TYPE own)
{
    HANDLE token = nullptr;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)
        && GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) && type == own
        && GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size)) {
        CloseHandle(token);
        return linked.LinkedToken;
    }
    if (token != nullptr) {
        CloseHandle(token);
    }
    return nullptr;
}

// The token a run starts with; null: the driver's own.
static HANDLE runToken(bool elevated)
{
    static HANDLE limited = linkedToken(TokenElevationTypeFull);
    static HANDLE full = linkedToken(TokenElevationTypeLimited);
    return elevated ? full : limited;
}

Child start(const RunOptions& options)
{
    std::wstring exe = widen(options.exe);
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!options.args.empty()) {
        commandLine += L" " + widen(options.args);
    }
    std::wstring env = environmentBlock(options);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    Child child;
    std::wstring cwd = widen(options.cwd);
    HANDLE token = runToken(options.elevated);
    BOOL started = token != nullptr
        ? CreateProcessAsUserW(token, exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                               CREATE_UNICODE_ENVIRONMENT, &env[0],
                               cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)
        : CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                         CREATE_UNICODE_ENVIRONMENT, &env[0], cwd.empty() ? nullptr : cwd.c_str(),
                         &si, &pi);
    if (!started) {
        ADD_FAILURE() << "cannot start " << options.exe << ": error " << GetLastError();
        return child;
    }
    CloseHandle(pi.hThread);
    child.process = pi.hProcess;
    child.pid = pi.dwProcessId;
    {
        // What an ended process of the same id showed is not this one's.
        std::lock_guard<std::mutex> lock(g_askedLock);
        g_progressWindows.erase(child.pid);
    }
    child.started = GetTickCount();
    child.timeoutMs = options.timeoutMs;
    if (options.setupRun && g_byHand == 0) {
        child.questions = g_wow64 && asksQuestion(options.args) ? 1 : 0;
    }
    return child;
}

struct Search {
    DWORD pid;
    HWND found;
    Dialog dialog;
};

static bool belongsTo(DWORD windowPid, DWORD pid)
{
    if (windowPid == pid) {
        return true;
    }
    // A dialog of a process the child started (the installer) counts too.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool result = false;
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == windowPid) {
            result = entry.th32ParentProcessID == pid;
            break;
        }
    }
    CloseHandle(snapshot);
    return result;
}

static BOOL CALLBACK findDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    Dialog dialog;
    if (readMessageBox(window, &dialog) && !isWatchedQuestion(dialog)
        && belongsTo(pid, search->pid)) {
        search->found = window;
        search->dialog = dialog;
        return FALSE;
    }
    return TRUE;
}

bool waitDialog(const Child& child, Dialog* dialog, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        Search search = {child.pid, nullptr, {}};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            *dialog = search.dialog;
            return true;
        }
        DWORD step = timeoutMs < 100 ? timeoutMs : 100;
        if (WaitForSingleObject(child.process, step) == WAIT_OBJECT_0) {
            return false;
        }
    }
    return false;
}

void answer(const Dialog& dialog, int button)
{
    PostMessageA(dialog.window, WM_COMMAND, button, 0);
    // Gone before the next dialog is looked for, so that it is not found again.
    for (int i = 0; i < 100 && IsWindow(dialog.window) && IsWindowVisible(dialog.window); ++i) {
        Sleep(50);
    }
}

DWORD finish(Child& child)
{
    if (child.process == nullptr) {
        return 0xFFFFFFFF;
    }
    DWORD elapsed = GetTickCount() - child.started;
    DWORD left = elapsed < child.timeoutMs ? child.timeoutMs - elapsed : 0;
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(child.process, left) != WAIT_OBJECT_0) {
        Search search = {child.pid, nullptr, {}};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            ADD_FAILURE() << "process still waits in a dialog: " << search.dialog.text;
        } else {
            ADD_FAILURE() << "process did not end within " << child.timeoutMs << " ms";
        }
        TerminateProcess(child.process, 0xDEAD);
        WaitForSingleObject(child.process, 10000);
    } else {
        GetExitCodeProcess(child.process, &code);
    }
    if (child.questions >= 0) {
        EXPECT_EQ(questionsAskedBy(child.pid), child.questions)
            << "times the 32-bit question was asked (" << (g_wow64 ? "" : "not ")
            << "a 32-bit process on 64-bit Windows)";
    }
    CloseHandle(child.process);
    child.process = nullptr;
    return code;
}

DWORD runThroughDialog(const RunOptions& options, Dialog* shown)
{
    Child child = start(options);
    *shown = Dialog();
    if (waitDialog(child, shown)) {
        answer(*shown, shown->yesNo ? IDNO : IDOK);
    } else {
        ADD_FAILURE() << "no dialog from " << options.exe << " " << options.args;
    }
    return finish(child);
}

DWORD runQuiet(const RunOptions& options, bool* progress)
{
    Child child = start(options);
    Dialog dialog;
    // Poll for dialogs until the process ends: a dialog here is a failure, answered so that
    // the run can end. A progress window asked about is looked for far more often than the
    // watcher does: after a short decode that shows it by mistake, it lives only a moment.
    DWORD poll = progress != nullptr ? 1 : 500;
    while (child.process != nullptr && WaitForSingleObject(child.process, 0) != WAIT_OBJECT_0
           && GetTickCount() - child.started < options.timeoutMs) {
        if (progress != nullptr) {
            EnumWindows(noteProgressWindows, 0);
        }
        if (waitDialog(child, &dialog, poll)) {
            ADD_FAILURE() << "unexpected dialog '" << dialog.caption << "': " << dialog.text;
            answer(dialog, dialog.yesNo ? IDNO : IDOK);
        }
    }
    if (progress != nullptr) {
        *progress = progressShown(child.pid);
    }
    return finish(child);
}

Probe readProbe(const std::string& report)
{
    Probe probe = {readFile(report), readFile(report + ".limited")};
    DeleteFileA(report.c_str());
    DeleteFileA((report + ".limited").c_str());
    return probe;
}

Probe probeFile(const std::string& path, const std::string& dir)
{
    std::string report = dir + "\\probe.txt";
    RunOptions o;
    o.exe = g_bin + "\\..\\msiexec_standin.exe";
    o.args = "/i \"" + path + "\"";
    o.setupRun = false;
    o.elevated = true;
    o.env = {{"VORLANE_STANDIN_PROBE", report}, {"VORLANE_STANDIN_LOG", kUnset}};
    Child child = start(o);
    finish(child);
    return readProbe(report);
}

std::string systemText(DWORD code)
{
    wchar_t* text = nullptr;
    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
                       0, nullptr)
        == 0) {
        return "";
    }
    std::string result = utf8(text);
    LocalFree(text);
    return result;
}

std::string lineFeeds(std::string text)
{
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) {
        text.erase(at, 1);
    }
    return text;
}

std::string versionInfo(const std::string& exe)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    std::string info(size, '\0');
    if (size == 0 || !GetFileVersionInfoA(exe.c_str(), 0, size, &info[0])) {
        return "";
    }
    return info;
}

const void* versionValue(const std::string& info, const std::string& key)
{
    void* value = nullptr;
    UINT length = 0;
    return !info.empty() && VerQueryValueA(info.data(), key.c_str(), &value, &length) ? value
                                                                                      : nullptr;
}

}  // namespace e2e

std::string g_product;

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (strcmp(argv[i], "--bin") == 0) {
            e2e::g_bin = argv[i + 1];
        } else if (strcmp(argv[i], "--path") == 0) {
            std::string pair = argv[i + 1];
            size_t eq = pair.find('=');
            e2e::g_paths[pair.substr(0, eq)] = pair.substr(eq + 1);
        } else if (strcmp(argv[i], "--product") == 0) {
            g_product = argv[i + 1];
        }
    }
    // A 32-bit build of the driver runs in the same kind of prefix as the setup builds.
    const char* leg = getenv("VORLANE_WINE_LEG");
    e2e::g_wow64 = sizeof(void*) == 4 && leg != nullptr && strcmp(leg, "win64") == 0;
    // Windows scales what a DPI-unaware process reads of other processes' windows, and the
    // screen's DPI it reads, to 96 DPI; the driver measures the setup's windows in pixels.
    SetProcessDPIAware();
    e2e::watchQuestions();
    if (e2e::g_bin.empty()) {
        fprintf(stderr, "usage: %s --bin DIR [gtest options]\n", argv[0]);
        return 2;
    }
    return RUN_ALL_TESTS();
}
