#include "driver.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <map>

namespace e2e {

std::string g_bin;
std::map<std::string, std::string> g_paths;

std::string variantExe(const std::string& variant)
{
    return g_bin + "\\" + variant + "\\setup.exe";
}

// The driver's environment with the changes applied, as a block for CreateProcessA.
static std::string environmentBlock(const RunOptions& options)
{
    std::map<std::string, std::string> vars;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; *p != '\0'; p += strlen(p) + 1) {
        std::string entry(p);
        size_t eq = entry.find('=', 1);
        if (eq != std::string::npos) {
            vars[entry.substr(0, eq)] = entry.substr(eq + 1);
        }
    }
    FreeEnvironmentStringsA(block);
    for (const auto& change : options.env) {
        // Names are case-insensitive on Windows: drop every spelling of the name first.
        for (auto it = vars.begin(); it != vars.end();) {
            if (_stricmp(it->first.c_str(), change.first.c_str()) == 0) {
                it = vars.erase(it);
            } else {
                ++it;
            }
        }
        if (change.second != kUnset) {
            vars[change.first] = change.second;
        }
    }
    std::string out;
    for (const auto& var : vars) {
        out += var.first + "=" + var.second;
        out.push_back('\0');
    }
    out.push_back('\0');
    return out;
}

Child start(const RunOptions& options)
{
    std::string commandLine = "\"" + options.exe + "\"";
    if (!options.args.empty()) {
        commandLine += " " + options.args;
    }
    std::string env = environmentBlock(options);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    Child child;
    if (!CreateProcessA(options.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                        &env[0], options.cwd.empty() ? nullptr : options.cwd.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start " << options.exe << ": error " << GetLastError();
        return child;
    }
    CloseHandle(pi.hThread);
    child.process = pi.hProcess;
    child.pid = pi.dwProcessId;
    child.started = GetTickCount();
    child.timeoutMs = options.timeoutMs;
    return child;
}

struct Search {
    DWORD pid;
    HWND found;
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
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(window) && belongsTo(pid, search->pid)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

bool waitDialog(const Child& child, Dialog* dialog, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        Search search = {child.pid, nullptr};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            char caption[1024] = {};
            char text[4096] = {};
            GetWindowTextA(search.found, caption, sizeof caption);
            GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
            dialog->window = search.found;
            dialog->caption = caption;
            dialog->text = text;
            dialog->yesNo = GetDlgItem(search.found, IDYES) != nullptr
                         && GetDlgItem(search.found, IDNO) != nullptr;
            return true;
        }
        if (WaitForSingleObject(child.process, 100) == WAIT_OBJECT_0) {
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
        Dialog dialog;
        Search search = {child.pid, nullptr};
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            char text[4096] = {};
            GetDlgItemTextA(search.found, 0xFFFF, text, sizeof text);
            ADD_FAILURE() << "process still waits in a dialog: " << text;
        } else {
            ADD_FAILURE() << "process did not end within " << child.timeoutMs << " ms";
        }
        TerminateProcess(child.process, 0xDEAD);
        WaitForSingleObject(child.process, 10000);
    } else {
        GetExitCodeProcess(child.process, &code);
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

DWORD runQuiet(const RunOptions& options)
{
    Child child = start(options);
    Dialog dialog;
    // Poll for dialogs until the process ends: a dialog here is a failure, answered so that
    // the run can end.
    while (child.process != nullptr
           && WaitForSingleObject(child.process, 0) != WAIT_OBJECT_0
           && GetTickCount() - child.started < options.timeoutMs) {
        if (waitDialog(child, &dialog, 500)) {
            ADD_FAILURE() << "unexpected dialog '" << dialog.caption << "': " << dialog.text;
            answer(dialog, dialog.yesNo ? IDNO : IDOK);
        }
    }
    return finish(child);
}

std::string systemText(DWORD code)
{
    char* text = nullptr;
    if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
                       nullptr) == 0) {
        return "";
    }
    std::string result(text);
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

std::string tempDir()
{
    char path[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof path, path);
    return std::string(path, n);
}

std::string makeScratchDir(const std::string& name)
{
    std::string dir = tempDir() + "vorlane-e2e-" + name;
    removeTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> listFiles(const std::string& dir, const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0) {
            names.push_back(data.cFileName);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

std::string readFile(const std::string& path)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return content;
    }
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(file);
    return content;
}

void copyFile(const std::string& from, const std::string& to)
{
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), FALSE))
        << from << " -> " << to << ": error " << GetLastError();
}

void removeTree(const std::string& dir)
{
    for (const std::string& name : listFiles(dir)) {
        std::string path = dir + "\\" + name;
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            removeTree(path);
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(dir.c_str());
}

} // namespace e2e

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
    if (e2e::g_bin.empty()) {
        fprintf(stderr, "usage: %s --bin DIR [gtest options]\n", argv[0]);
        return 2;
    }
    return RUN_ALL_TESTS();
}
