// Both routes of the command line from outside: the user's own installer arguments, the
// updater's route with its parent, the environment route, and the parent wait.
#include "driver.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

using namespace e2e;

namespace {

RunOptions setupRun(const std::string& args, const std::string& temp)
{
    RunOptions o;
    o.exe = variantExe("demo");
    o.args = args;
    o.cwd = temp;
    o.env = {{"TMP", temp}, {"TEMP", temp}, {"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    return o;
}

// A run of parent.exe (or a copy of it) that starts the demo setup with setupArgs and then
// waits for the named event ("-": for ever), in the scratch directory dir.
RunOptions parentRun(const std::string& exe, const std::string& event, const std::string& setupArgs,
                     const std::string& dir)
{
    RunOptions o;
    o.exe = exe;
    o.args = event + " \"" + variantExe("demo") + "\" " + setupArgs;
    o.setupRun = false;
    o.cwd = dir;
    o.env = {{"TMP", dir}, {"TEMP", dir}, {"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    return o;
}

// Lets a parent started by parentRun end.
void releaseParent(const char* event)
{
    HANDLE release = OpenEventA(EVENT_MODIFY_STATE, FALSE, event);
    ASSERT_NE(release, nullptr);
    SetEvent(release);
    CloseHandle(release);
}

// The demo is a 32-bit package: on 64-bit Windows its default directory is under the 32-bit
// program-files folder.
std::string defaultDir()
{
    char folder[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("ProgramFiles(x86)", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        n = GetEnvironmentVariableA("ProgramFiles", folder, MAX_PATH);
    }
    return std::string(folder, n) + "\\Vorlane Demo";
}

bool waitForFile(const std::string& path, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(200)) {
        if (fileExists(path)) {
            return true;
        }
    }
    return false;
}

// Waits until no process of the given executable name runs any more.
bool waitForNoProcess(const char* exeName, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(200)) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        bool running = false;
        for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry)) {
            running = running || _stricmp(entry.szExeFile, exeName) == 0;
        }
        CloseHandle(snapshot);
        if (!running) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(PassThrough, SwitchOrderAndCaseFollowTheFrontRule)
{
    Scratch scratch;
    std::string temp = scratch.dir("order");
    // --QUIET in any case is the switch; the nopayload build fails quietly with its code.
    RunOptions o = setupRun("--QUIET /qn", temp);
    o.exe = variantExe("nopayload");
    EXPECT_EQ(runQuiet(o), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    // --xzdec before --quiet: --quiet is an ordinary argument, so failures show the dialog.
    o.args = "--xzdec --quiet";
    Dialog dialog;
    EXPECT_EQ(runThroughDialog(o, &dialog), 0u);
    EXPECT_FALSE(dialog.yesNo);
}

TEST(UpdaterRoute, TerminatesTheUpdaterAndInstallsWhereItSays)
{
    Scratch scratch;
    std::string dir = scratch.dir("updater");
    std::string updater = dir + "\\up2date.exe";
    ASSERT_TRUE(copyFile(g_bin + "\\..\\parent.exe", updater));
    std::string target = "C:\\Updated App";
    scratch.own(target);

    Child child =
        start(parentRun(updater, "-", "--wait-parent --allow-elevation \"" + target + "\"", dir));
    // The updater itself would wait for ever: it ends only because setup.exe terminates it.
    EXPECT_EQ(finish(child), 0u) << "the updater was not terminated with exit code 0";
    // No /qn on this route: the package has no dialogs of its own, so the installer runs
    // with its progress window only.
    EXPECT_TRUE(waitForFile(target + "\\readme.txt", 180000)) << "nothing installed in " << target;
    EXPECT_TRUE(waitForNoProcess("setup.exe", 180000));
    EXPECT_TRUE(listFiles(dir, "*.msi").empty());
}

TEST(UpdaterRoute, AParentWithAnotherNameIsLeftAlone)
{
    Scratch scratch;
    std::string dir = scratch.dir("other-parent");
    std::string parent = dir + "\\launcher.exe";
    ASSERT_TRUE(copyFile(g_bin + "\\..\\parent.exe", parent));
    std::string target = "C:\\Not Updated";
    scratch.own(target);
    Child child = start(
        parentRun(parent, "vorlane-e2e-release", "--allow-elevation \"" + target + "\"", dir));
    EXPECT_TRUE(waitForFile(target + "\\readme.txt", 180000));
    EXPECT_TRUE(waitForNoProcess("setup.exe", 180000));
    EXPECT_EQ(WaitForSingleObject(child.process, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the launcher was ended";
    releaseParent("vorlane-e2e-release");
    EXPECT_EQ(finish(child), 3u);
}

TEST(EnvironmentRoute, NoArgumentsAndTheVariableSetInstallThere)
{
    Scratch scratch;
    std::string temp = scratch.dir("env");
    std::string target = scratch.own("C:\\Env Route") + "\\Demo";
    RunOptions o = setupRun("", temp);
    o.env.back() = {"VORLANE_AUTOUPDATE_INSTALLDIR", target};
    bool progress = true;
    EXPECT_EQ(runQuiet(o, &progress), 0u);
    EXPECT_TRUE(fileExists(target + "\\readme.txt")) << "nothing installed in " << target;
    // The demo's payload decodes well within the progress window's delay.
    EXPECT_FALSE(progress) << "the demo's short decode showed the progress window";
}

TEST(EnvironmentRoute, AValueTooLongIsIgnoredAndTheRunSucceeds)
{
    Scratch scratch;
    std::string temp = scratch.dir("env-long");
    std::string target = "C:\\" + std::string(258, 'x');
    ASSERT_EQ(target.size(), 261u);
    scratch.own(defaultDir());
    RunOptions o = setupRun("", temp);
    o.env.back() = {"VORLANE_AUTOUPDATE_INSTALLDIR", target};
    EXPECT_EQ(runQuiet(o), 0u);
    EXPECT_TRUE(fileExists(defaultDir() + "\\readme.txt")) << "the default directory was not used";
}

TEST(ParentWait, ThePackageIsHeldLockedAndNotInstalledUntilTheParentEnds)
{
    Scratch scratch;
    std::string dir = scratch.dir("wait");
    std::string target = scratch.own("C:\\Waited") + "\\Demo";
    Child parent = start(parentRun(
        g_bin + "\\..\\parent.exe", "vorlane-e2e-wait",
        "--wait-parent --quiet /qn VORLANE_AUTOUPDATE_INSTALLDIR=\"" + target + "\"", dir));
    std::string package = dir + "\\setup.msi";
    ASSERT_TRUE(waitForFile(package, 60000)) << "no decoded package";
    Sleep(3000);
    // Decoded and held: no other process, elevated or not, may read, change, rename or delete
    // it, and no installer has run.
    Probe probe = probeFile(package, dir);
    EXPECT_EQ(probe.own, "write=32 rename=32 delete=32 read=32 progress=0");
    EXPECT_EQ(probe.unelevated, "write=32 rename=32 delete=32 read=32 progress=0");
    EXPECT_FALSE(fileExists(target + "\\readme.txt")) << "installed before the parent ended";

    releaseParent("vorlane-e2e-wait");
    EXPECT_EQ(finish(parent), 3u);
    EXPECT_TRUE(waitForFile(target + "\\readme.txt", 180000)) << "not installed after the wait";
    EXPECT_TRUE(waitForNoProcess("setup.exe", 180000));
    EXPECT_FALSE(fileExists(package));
}
