// Parent process control with real processes: the test executable starts copies of itself in
// a role (chosen by its first arguments, before the tests run) and reads what they saw.
#include "files.h"
#include "parent.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD survivorExit = 3;  // a parent that was not terminated ends with this
constexpr DWORD childTimeout = 60000;  // generous: Wine starts processes slowly under load
constexpr DWORD markCode = 12345;  // set before a step that must record nothing

std::wstring ownPath()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, n);
}

std::wstring inQuotes(const std::wstring& s) { return L"\"" + s + L"\""; }

// Starts exe with the role's arguments; returns the process handle, or null.
HANDLE startRole(const std::wstring& exe, const std::wstring& args)
{
    std::wstring line = inQuotes(exe) + L" --parent-role " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

void signalEvent(const wchar_t* eventName)
{
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    SetEvent(event);
    CloseHandle(event);
}

// ---- The roles, run by the copies -------------------------------------------------------

// probe OUT: what the lookup says about this process's parent.
DWORD roleProbe(wchar_t** args)
{
    DWORD id = 0;
    char* name = nullptr;
    DWORD code = setup_getParentProcess(&id, &name);
    DWORD idOnly = 0;
    DWORD codeIdOnly = setup_getParentProcess(&idOnly, nullptr);
    char text[512];
    snprintf(text, sizeof text, "%lu %lu %lu %lu %s", static_cast<unsigned long>(code),
             static_cast<unsigned long>(id), static_cast<unsigned long>(codeIdOnly),
             static_cast<unsigned long>(idOnly), name != nullptr ? name : "(none)");
    support::writeFile(support::utf8(args[0]), text);
    return 0;
}

// parent OUT DONE: starts a child that ends its parent if that is the updater, then waits for
// it; reaching the end means this process was left alone.
DWORD roleParent(wchar_t** args)
{
    HANDLE child = startRole(
        ownPath(), std::wstring(L"terminate ") + inQuotes(args[0]) + L" " + inQuotes(args[1]));
    if (child == nullptr) {
        return 1;
    }
    WaitForSingleObject(child, childTimeout);
    return survivorExit;
}

// terminate OUT DONE
DWORD roleTerminate(wchar_t** args)
{
    setup_recordError(markCode, "mark", 1);
    setup_terminateUpdaterParent();
    support::writeFile(support::utf8(args[0]), std::to_string(setup_getErrorCode()));
    signalEvent(args[1]);
    return 0;
}

// waiting-parent RELEASE OUT DONE: starts a child that waits for this process, then lives
// until RELEASE is set ("-" for not at all).
DWORD roleWaitingParent(wchar_t** args)
{
    std::wstring childArgs = L"wait " + std::to_wstring(GetCurrentProcessId()) + L" "
        + inQuotes(args[1]) + L" " + inQuotes(args[2]);
    HANDLE child = startRole(ownPath(), childArgs);
    if (child == nullptr) {
        return 1;
    }
    CloseHandle(child);
    if (wcscmp(args[0], L"-") != 0) {
        HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, args[0]);
        WaitForSingleObject(release, childTimeout);
        CloseHandle(release);
    }
    return 0;
}

// wait PARENT-ID OUT DONE: the parent wait, and whether the parent had ended when it returned.
DWORD roleWait(wchar_t** args)
{
    // A handle of our own to the parent, to ask it afterwards; none if it has ended already.
    HANDLE parentHandle = OpenProcess(SYNCHRONIZE, FALSE, wcstoul(args[0], nullptr, 10));
    setup_waitForParent();
    bool ended = parentHandle == nullptr || WaitForSingleObject(parentHandle, 0) == WAIT_OBJECT_0;
    support::writeFile(support::utf8(args[1]), ended ? "ended" : "running");
    signalEvent(args[2]);
    return 0;
}

DWORD runRole(wchar_t** args, int count)
{
    struct {
        const wchar_t* name;
        int count;
        DWORD (*run)(wchar_t**);
    } roles[] = {
        {L"probe", 1, roleProbe},         {L"parent", 2, roleParent},
        {L"terminate", 2, roleTerminate}, {L"waiting-parent", 3, roleWaitingParent},
        {L"wait", 3, roleWait},
    };
    for (const auto& role : roles) {
        if (wcscmp(args[0], role.name) == 0 && count == role.count + 1) {
            return role.run(args + 1);
        }
    }
    return 2;
}

// Runs before the tests are set up: a copy started in a role does that and nothing else.
int runRoleIfAsked()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv != nullptr && argc >= 3 && wcscmp(argv[1], L"--parent-role") == 0) {
        ExitProcess(runRole(argv + 2, argc - 2));
    }
    LocalFree(argv);
    return 0;
}

[[maybe_unused]] const int roleRun = runRoleIfAsked();

// ---- The tests ----------------------------------------------------------------------------

class Parent : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        // A directory per test: a copy that has just ended can hold its file a moment longer.
        std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        prefix_ = L"vorlane-parent-" + std::to_wstring(GetCurrentProcessId()) + L"-"
            + std::wstring(test.begin(), test.end());
        dir_ = std::wstring(temp) + prefix_;
        CreateDirectoryW(dir_.c_str(), nullptr);
        out_ = dir_ + L"\\out.txt";
        DeleteFileW(out_.c_str());
    }
    void TearDown() override
    {
        created_.push_back(out_);
        for (const std::wstring& file : created_) {
            for (int tries = 0; !DeleteFileW(file.c_str()) && tries < 50; ++tries) {
                if (GetLastError() == ERROR_FILE_NOT_FOUND) {
                    break;
                }
                Sleep(100);
            }
        }
        RemoveDirectoryW(dir_.c_str());
    }

    // A copy of the test executable under another name, in the test's own directory.
    std::wstring copyAs(const wchar_t* name)
    {
        std::wstring path = dir_ + L"\\" + name;
        EXPECT_TRUE(CopyFileW(ownPath().c_str(), path.c_str(), FALSE));
        created_.push_back(path);
        return path;
    }

    // A named event for this test (manual reset, not set).
    HANDLE event(const wchar_t* what, std::wstring* name)
    {
        *name = L"Local\\" + prefix_ + L"-" + what;
        return CreateEventW(nullptr, TRUE, FALSE, name->c_str());
    }

    // Runs exe as an updater-or-not parent whose child calls the updater termination. Returns
    // the parent's exit code and stores what the child recorded.
    DWORD runTermination(const std::wstring& exe, std::string* recorded)
    {
        std::wstring doneName;
        HANDLE done = event(L"done", &doneName);
        HANDLE process = startRole(exe, L"parent " + inQuotes(out_) + L" " + inQuotes(doneName));
        EXPECT_NE(process, nullptr);
        DWORD exitCode = 0xFFFFFFFF;
        if (process != nullptr) {
            EXPECT_EQ(WaitForSingleObject(process, childTimeout), WAIT_OBJECT_0);
            GetExitCodeProcess(process, &exitCode);
            CloseHandle(process);
        }
        EXPECT_EQ(WaitForSingleObject(done, childTimeout), WAIT_OBJECT_0);
        CloseHandle(done);
        *recorded = support::readFile(support::utf8(out_));
        return exitCode;
    }

    std::wstring prefix_, dir_, out_;
    std::vector<std::wstring> created_;
};

std::string narrowName(const std::wstring& path)
{
    std::wstring base = path.substr(path.find_last_of(L"\\/") + 1);
    return std::string(base.begin(), base.end());
}

TEST_F(Parent, TheLookupFindsTheRealParentIdAndName)
{
    HANDLE child = startRole(ownPath(), L"probe " + inQuotes(out_));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(WaitForSingleObject(child, childTimeout), WAIT_OBJECT_0);
    CloseHandle(child);

    unsigned long code = 99, id = 0, codeIdOnly = 99, idOnly = 0;
    char name[300] = "";
    std::string seen = support::readFile(support::utf8(out_));
    ASSERT_EQ(
        sscanf(seen.c_str(), "%lu %lu %lu %lu %299[^\n]", &code, &id, &codeIdOnly, &idOnly, name),
        5)
        << seen;
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(id, GetCurrentProcessId());
    EXPECT_STREQ(name, narrowName(ownPath()).c_str());
    EXPECT_EQ(codeIdOnly, 0u);
    EXPECT_EQ(idOnly, GetCurrentProcessId());
}

TEST_F(Parent, AnUpdaterParentIsTerminatedWithExitCode0)
{
    std::string recorded;
    EXPECT_EQ(runTermination(copyAs(L"up2date.exe"), &recorded), 0u);
    EXPECT_EQ(recorded, std::to_string(markCode)) << "the termination recorded a failure";
}

TEST_F(Parent, AParentWithAnotherNameIsLeftAlone)
{
    std::string recorded;
    EXPECT_EQ(runTermination(copyAs(L"UP2DATE.EXE"), &recorded), survivorExit);
    EXPECT_EQ(recorded, std::to_string(markCode));
}

TEST_F(Parent, TheWaitReturnsOnlyAfterTheParentHasEnded)
{
    std::wstring releaseName, doneName;
    HANDLE release = event(L"release", &releaseName);
    HANDLE done = event(L"done", &doneName);
    HANDLE process = startRole(ownPath(),
                               L"waiting-parent " + inQuotes(releaseName) + L" " + inQuotes(out_)
                                   + L" " + inQuotes(doneName));
    ASSERT_NE(process, nullptr);

    // While the parent lives, the waiting child does not get past the wait.
    EXPECT_EQ(WaitForSingleObject(done, 2000), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(process, childTimeout), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(done, childTimeout), WAIT_OBJECT_0);
    EXPECT_EQ(support::readFile(support::utf8(out_)), "ended");
    CloseHandle(process);
    CloseHandle(release);
    CloseHandle(done);
}

TEST_F(Parent, AParentThatHasEndedCausesNoWait)
{
    std::wstring doneName;
    HANDLE done = event(L"done", &doneName);
    HANDLE process =
        startRole(ownPath(), L"waiting-parent - " + inQuotes(out_) + L" " + inQuotes(doneName));
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, childTimeout), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(done, childTimeout), WAIT_OBJECT_0);
    EXPECT_EQ(support::readFile(support::utf8(out_)), "ended");
    CloseHandle(process);
    CloseHandle(done);
}

}  // namespace
