// The payload road from outside: the package is decoded, installed by the real Windows
// Installer (or the stand-in), and cleaned up; broken payloads fail with their codes.
#include "driver.h"

#include <gtest/gtest.h>

#include <msi.h>

using namespace e2e;

namespace {

RunOptions setupRun(const std::string& variant, const std::string& args, const std::string& temp)
{
    RunOptions o;
    o.exe = variantExe(variant);
    o.args = args;
    o.cwd = temp;
    o.env = {{"TMP", temp}, {"TEMP", temp}, {"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    return o;
}

std::string demoMsi() { return readFile(g_paths["demo.msi"]); }

void expectInstalled(const std::string& dir)
{
    EXPECT_TRUE(fileExists(dir + "\\readme.txt")) << "nothing installed in " << dir;
}

}  // namespace

// The real installer reads the package through the lock, in both routes: the user's
// temporary directory, and the elevated run's folder of its own.
TEST(Payload, InstallsSilentlyWhereThePropertySaysAndDeletesThePackage)
{
    Scratch scratch;
    std::string temp = scratch.dir("install");
    for (bool elevated : {false, true}) {
        std::string dir = scratch.own("C:\\Pass Through") + "\\Demo";
        RunOptions o = setupRun(
            "demo", "--quiet /qn VORLANE_AUTOUPDATE_INSTALLDIR=\"C:\\Pass Through\\Demo\"", temp);
        o.elevated = elevated;
        EXPECT_EQ(runQuiet(o), 0u) << elevated;
        expectInstalled(dir);
        EXPECT_TRUE(listFiles(temp).empty()) << elevated;
    }
}

TEST(Payload, XzdecKeepsTheDecodedPackageInTheCurrentDirectory)
{
    Scratch scratch;
    std::string cwd = scratch.dir("xzdec");
    std::string temp = scratch.dir("xzdec-temp");
    RunOptions o = setupRun("demo", "--xzdec", temp);
    o.cwd = cwd;
    EXPECT_EQ(runQuiet(o), 0u);
    std::string decoded = readFile(cwd + "\\setup.msi");
    EXPECT_FALSE(decoded.empty());
    EXPECT_TRUE(decoded == demoMsi()) << "decoded package differs from the packed one";
    EXPECT_TRUE(listFiles(temp).empty()) << "nothing goes to the temporary directory";
}

// A payload of several blocks, as setup-pack --threads makes them, installs like one of one.
TEST(Payload, AMultiBlockPayloadInstalls)
{
    Scratch scratch;
    std::string temp = scratch.dir("multiblock");
    std::string dir = scratch.own("C:\\Multi Block");
    EXPECT_EQ(
        runQuiet(setupRun("multiblock",
                          "--quiet /qn VORLANE_AUTOUPDATE_INSTALLDIR=\"C:\\Multi Block\"", temp)),
        0u);
    expectInstalled(dir);
    EXPECT_TRUE(listFiles(temp).empty());
}

// A payload packed with the SHA-256 check is verified like the usual CRC64 one: whole it
// decodes, and with only its check damaged it is corrupt (29) and nothing is kept.
TEST(Payload, ASha256PayloadIsVerified)
{
    Scratch scratch;
    std::string cwd = scratch.dir("sha256");
    std::string temp = scratch.dir("sha256-temp");
    for (const char* variant : {"sha256", "sha256check"}) {
        SCOPED_TRACE(variant);
        RunOptions o = setupRun(variant, "--quiet --xzdec", temp);
        o.cwd = cwd;
        bool whole = std::string(variant) == "sha256";
        EXPECT_EQ(runQuiet(o), whole ? 0u : static_cast<DWORD>(ERROR_WRITE_FAULT));
        if (whole) {
            EXPECT_TRUE(readFile(cwd + "\\setup.msi") == demoMsi());
            DeleteFileA((cwd + "\\setup.msi").c_str());
        }
        EXPECT_TRUE(listFiles(cwd).empty());
        EXPECT_TRUE(listFiles(temp).empty());
    }
}

TEST(Payload, AnExistingPackageIsLeftAloneAndAGeneratedNameUsed)
{
    Scratch scratch;
    std::string cwd = scratch.dir("existing");
    HANDLE file = CreateFileA((cwd + "\\setup.msi").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "keep me", 7, &written, nullptr);
    CloseHandle(file);

    RunOptions o = setupRun("demo", "--xzdec", cwd);
    EXPECT_EQ(runQuiet(o), 0u);
    EXPECT_EQ(readFile(cwd + "\\setup.msi"), "keep me");
    std::vector<std::string> generated = listFiles(cwd, "msi*.tmp");
    ASSERT_EQ(generated.size(), 1u);
    EXPECT_TRUE(readFile(cwd + "\\" + generated[0]) == demoMsi());
}

TEST(Payload, BrokenPayloadsFailWithTheirCodeAndLeaveNothing)
{
    Scratch scratch;
    const std::pair<const char*, DWORD> cases[] = {
        {"flip", ERROR_WRITE_FAULT},  // corrupt data
        {"truncate", ERROR_WRITE_FAULT},  // the stream ends early: not a success
        // The same in a payload of blocks, met by a thread other than the first one's.
        {"multiblock-flip3", ERROR_WRITE_FAULT},
        {"multiblock-cut2", ERROR_WRITE_FAULT},
    };
    for (const auto& c : cases) {
        std::string temp = scratch.dir(std::string("broken-") + c.first);
        EXPECT_EQ(runQuiet(setupRun(c.first, "--quiet", temp)), c.second) << c.first;
        EXPECT_TRUE(listFiles(temp).empty()) << c.first << " left a file";

        Dialog dialog;
        EXPECT_EQ(runThroughDialog(setupRun(c.first, "", temp), &dialog), 0u) << c.first;
        EXPECT_NE(dialog.text.find("error " + std::to_string(c.second) + " in file setup"),
                  std::string::npos)
            << dialog.text;
        EXPECT_TRUE(listFiles(temp).empty()) << c.first << " left a file";
    }
}

TEST(Payload, AnEmptyResourceIsAFailure)
{
    Scratch scratch;
    std::string temp = scratch.dir("empty");
    EXPECT_NE(runQuiet(setupRun("empty", "--quiet", temp)), 0u);
    EXPECT_TRUE(listFiles(temp).empty());
}

TEST(Payload, KindBspatchIsNotImplementedAndTheFileIsDeleted)
{
    Scratch scratch;
    std::string temp = scratch.dir("bspatch");
    EXPECT_EQ(runQuiet(setupRun("bspatch", "--quiet", temp)),
              static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_TRUE(listFiles(temp).empty());
}

TEST(Payload, AFailingInstallationIsTheUnattendedRunsExitCode)
{
    Scratch scratch;
    std::string temp = scratch.dir("failing");
    DWORD code = runQuiet(setupRun("failing", "--quiet /qn", temp));
    // Wine's installer may name the failure differently from Windows: any failure code.
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, 3010u);
    EXPECT_NE(code, 1641u);
    EXPECT_TRUE(listFiles(temp).empty());
}

TEST(Payload, APlantedMsiexecIsNotRun)
{
    Scratch scratch;
    std::string dir = scratch.dir("planted");
    std::string exe = dir + "\\setup.exe";
    ASSERT_TRUE(copyFile(variantExe("demo"), exe));
    ASSERT_TRUE(copyFile(g_bin + "\\..\\msiexec_standin.exe", dir + "\\msiexec.exe"));
    std::string log = dir + "\\planted-ran.txt";
    std::string target = scratch.own("C:\\Planted") + "\\Demo";
    RunOptions o =
        setupRun("demo", "--quiet /qn VORLANE_AUTOUPDATE_INSTALLDIR=\"" + target + "\"", dir);
    o.exe = exe;
    o.env.push_back({"VORLANE_STANDIN_LOG", log});
    EXPECT_EQ(runQuiet(o), 0u);
    EXPECT_FALSE(fileExists(log)) << "the msiexec.exe next to setup.exe was run";
    expectInstalled(target);
}

TEST(Payload, AFullDiskGivesTheWritesCodeAndLeavesNoPartialFile)
{
    Scratch scratch;
    std::string small = g_paths["smallfs"];
    if (!fileExists(small + "\\.mounted")) {
        GTEST_SKIP() << "no small file system mounted (needs root)";
    }
    std::string temp = small + "\\temp";
    scratch.own(temp);
    CreateDirectoryA(temp.c_str(), nullptr);
    EXPECT_EQ(runQuiet(setupRun("demo", "--quiet", temp)), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_TRUE(listFiles(temp).empty()) << "a partial package was left";
}

// ---- With the stand-in msiexec (a prefix of its own) ------------------------------------------

namespace {

struct StandInRun {
    DWORD exitCode;
    bool dialogShown;
    std::string dialogText;
    std::string params;
    Probe probe;  // what the stand-in could do to the package while it ran
    bool progress;  // whether setup showed its progress window
    std::string progressTitle;
};

StandInRun runWithStandIn(const std::string& args, DWORD installerCode, const std::string& temp,
                          bool elevated = false, const std::string& variant = "demo")
{
    RunOptions o = setupRun(variant, args, temp);
    o.elevated = elevated;
    std::string log = temp + "\\..\\vorlane-standin.log";
    std::string probe = temp + "\\..\\vorlane-standin.probe";
    DeleteFileA(log.c_str());
    DeleteFileA(probe.c_str());
    o.env.push_back({"VORLANE_STANDIN_LOG", log});
    o.env.push_back({"VORLANE_STANDIN_PROBE", probe});
    o.env.push_back({"VORLANE_STANDIN_EXIT", std::to_string(installerCode)});
    StandInRun result = {0, false, "", "", {}, false, ""};
    Child child = start(o);
    Dialog dialog;
    if (waitDialog(child, &dialog, 60000)) {
        result.dialogShown = true;
        result.dialogText = dialog.text;
        answer(dialog, IDOK);
    }
    result.exitCode = finish(child);
    result.progress = progressShown(child.pid, &result.progressTitle);
    std::string raw = readFile(log);
    std::wstring wide(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
    result.params = utf8(wide);
    result.probe = readProbe(probe);
    DeleteFileA(log.c_str());
    return result;
}

}  // namespace

TEST(StandIn, TheInstallerGetsTheExactParameterText)
{
    Scratch scratch;
    std::string temp = scratch.dir("standin-params");
    StandInRun run = runWithStandIn("--quiet /qn FOO=1 \"C:\\A B\"", 0, temp);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.dialogShown);
    std::string expected =
        "/i \"" + temp + "\\setup.msi\" REINSTALLMODE=amus /qn FOO=1 \"C:\\A B\"";
    EXPECT_EQ(run.params, expected);
    EXPECT_TRUE(listFiles(temp).empty());

    run = runWithStandIn("--quiet", 0, temp);
    EXPECT_EQ(run.params, "/i \"" + temp + "\\setup.msi\" REINSTALLMODE=amus ");
}

// Only the six ASCII white-space characters separate arguments: a no-break space stays inside
// its argument, unchanged.
TEST(StandIn, ANoBreakSpaceStaysInsideItsArgument)
{
    Scratch scratch;
    std::string temp = scratch.dir("standin-nbsp");
    StandInRun run = runWithStandIn(u8"--quiet FOO=a\u00a0b BAR=1", 0, temp);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.params, "/i \"" + temp + u8"\\setup.msi\" REINSTALLMODE=amus FOO=a\u00a0b BAR=1");
}

// While the installer runs, another process may read the package and do nothing else to it,
// whether elevated or not.
TEST(StandIn, ThePackageIsLockedWhileTheInstallerRuns)
{
    Scratch scratch;
    std::string temp = scratch.dir("standin-lock");
    StandInRun run = runWithStandIn("--quiet", 0, temp);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.probe.own, "write=32 rename=32 delete=32 read=0 progress=0");
    EXPECT_EQ(run.probe.unelevated, "write=32 rename=32 delete=32 read=0 progress=0");
    EXPECT_TRUE(listFiles(temp).empty());
}

// An elevated run (every process under Wine is one unless started otherwise) writes into a
// folder of its own with a new name each time, under the same lock, and leaves nothing behind,
// whether the installer succeeds or fails, or the payload does not decode.
TEST(StandIn, AnElevatedRunWritesIntoANewFolderOfItsOwn)
{
    Scratch scratch;
    std::string temp = scratch.dir("standin-elevated");
    std::string prefix = "/i \"" + temp + "\\setup-";
    std::vector<std::string> folders;
    for (DWORD code : {0u, 1603u}) {
        StandInRun run = runWithStandIn("--quiet", code, temp, true);
        EXPECT_EQ(run.exitCode, code);
        EXPECT_EQ(run.probe.own, "write=32 rename=32 delete=32 read=0 progress=0");
        // The folder's access list keeps an unelevated process out altogether; Wine does not
        // enforce access lists, so there only the lock refuses it.
        EXPECT_EQ(run.probe.unelevated,
                  underWine() ? "write=32 rename=32 delete=32 read=0 progress=0"
                              : "write=5 rename=5 delete=5 read=5 progress=0");
        ASSERT_EQ(run.params.compare(0, prefix.size(), prefix), 0) << run.params;
        std::string folder = run.params.substr(prefix.size(), 16);
        EXPECT_EQ(folder.find_first_not_of("0123456789abcdef"), std::string::npos) << folder;
        EXPECT_EQ(run.params.substr(prefix.size() + 16), "\\setup.msi\" REINSTALLMODE=amus ");
        folders.push_back(folder);
        EXPECT_TRUE(listFiles(temp).empty()) << code;
    }
    EXPECT_NE(folders[0], folders[1]);
    StandInRun cut = runWithStandIn("--quiet", 0, temp, true, "truncate");
    EXPECT_EQ(cut.exitCode, static_cast<DWORD>(ERROR_WRITE_FAULT));
    EXPECT_TRUE(cut.params.empty());
    EXPECT_TRUE(listFiles(temp).empty());
}

TEST(StandIn, InstallerExitCodesReachTheCaller)
{
    Scratch scratch;
    std::string temp = scratch.dir("standin-codes");
    for (DWORD code : {0u, 3010u, 1641u, 1602u, 1603u}) {
        StandInRun quiet = runWithStandIn("--quiet", code, temp);
        EXPECT_EQ(quiet.exitCode, code) << "--quiet, installer " << code;
        EXPECT_FALSE(quiet.dialogShown) << code;

        StandInRun shown = runWithStandIn("/qn", code, temp);
        bool failure = code != 0 && code != 3010 && code != 1641;
        EXPECT_EQ(shown.dialogShown, failure) << code << ": " << shown.dialogText;
        EXPECT_EQ(shown.exitCode, failure ? 0u : code) << code;
        if (failure) {
            EXPECT_NE(shown.dialogText.find("error " + std::to_string(code) + " in file setup"),
                      std::string::npos)
                << shown.dialogText;
            EXPECT_NE(lineFeeds(shown.dialogText).find(lineFeeds(systemText(code))),
                      std::string::npos);
        }
        EXPECT_TRUE(listFiles(temp).empty()) << code;
    }
}

// A decode that lasts shows the progress window, titled with the program name, and removes it
// before the installer starts; --quiet shows none.
TEST(StandIn, ALongDecodeShowsProgressUntilTheInstallerStarts)
{
    Scratch scratch;
    std::string temp = scratch.dir("standin-progress");
    StandInRun run = runWithStandIn("", 0, temp, false, "slow");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.dialogShown) << run.dialogText;
    EXPECT_TRUE(run.progress) << "no progress window seen";
    EXPECT_EQ(run.progressTitle, "setup");
    // The zeros are no installer database: the read is refused with 13.
    EXPECT_EQ(run.probe.own, "write=32 rename=32 delete=32 read=13 progress=0");
    EXPECT_TRUE(listFiles(temp).empty());

    run = runWithStandIn("--quiet", 0, temp, false, "slow");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(run.progress) << "a progress window with --quiet";
    EXPECT_TRUE(listFiles(temp).empty());
}

// ---- Names outside the ANSI code page ------------------------------------------------------
// The driver runs in code page 1252 (the bench's locale gives it), which has none of these
// letters; setup.exe runs in UTF-8, as its manifest asks.

namespace {

const char* const kNamesOutside1252[] = {u8"Ζωή", u8"Łukasz", u8"日本語"};
const char kArgumentOutside1252[] = u8"NAME=\"Żółć ζωή 日本\"";

void expectCodePage1252()
{
    EXPECT_EQ(GetACP(), 1252u) << "these cases are about names outside code page 1252";
}

}  // namespace

TEST(StandInCodePage, PathsAndArgumentsOutsideTheCodePageReachTheInstallerExactly)
{
    expectCodePage1252();
    Scratch scratch;
    for (const char* name : kNamesOutside1252) {
        std::string temp = scratch.dir(name);
        StandInRun run =
            runWithStandIn(std::string("--quiet /qn ") + kArgumentOutside1252, 0, temp);
        EXPECT_EQ(run.exitCode, 0u) << name;
        EXPECT_EQ(run.params,
                  "/i \"" + temp + "\\setup.msi\" REINSTALLMODE=amus /qn " + kArgumentOutside1252);
        // The installer could read the package by the path it was given.
        EXPECT_NE(run.probe.own.find("read=0"), std::string::npos) << run.probe.own;
        EXPECT_TRUE(listFiles(temp).empty()) << name;
    }
}

TEST(Payload, InstallsFromATemporaryDirectoryOutsideTheCodePage)
{
    expectCodePage1252();
    Scratch scratch;
    std::string temp = scratch.dir(kNamesOutside1252[0]);
    std::string dir = scratch.own(u8"C:\\Ζωή Demo");
    EXPECT_EQ(runQuiet(setupRun(
                  "demo", u8"--quiet /qn VORLANE_AUTOUPDATE_INSTALLDIR=\"C:\\Ζωή Demo\"", temp)),
              0u);
    expectInstalled(dir);
    EXPECT_TRUE(listFiles(temp).empty());
}

// ---- A run that nobody sees ---------------------------------------------------------------
// station.exe starts setup.exe on a desktop of a window station without WSF_VISIBLE, as a
// service or a deployment agent does. Without --quiet such a run would ask its question (in
// the 64-bit prefix) and show its error dialog there, and wait for ever.

TEST(Payload, ARunNobodySeesAsksNothingShowsNothingAndEndsWithItsCode)
{
    QuestionsByHand byHand;  // a question on the driver's own desktop is a failure too
    Scratch scratch;
    std::string temp = scratch.dir("station");
    std::string report = temp + "\\..\\vorlane-station.txt";
    std::string dir = scratch.own("C:\\Unseen Demo");
    for (const char* variant : {"demo", "failing"}) {
        SCOPED_TRACE(variant);
        DeleteFileA(report.c_str());
        RunOptions o = setupRun(variant, "", temp);
        o.exe = g_bin + "\\..\\station.exe";
        o.args = "\"" + report + "\" \"" + variantExe(variant)
            + "\" /qn VORLANE_AUTOUPDATE_INSTALLDIR=\"C:\\Unseen Demo\"";
        o.setupRun = false;
        DWORD code = runQuiet(o);
        EXPECT_EQ(readFile(report), "visible=0 dialogs=0");
        if (std::string(variant) == "demo") {
            EXPECT_EQ(code, 0u);
            expectInstalled(dir);
        } else {
            // The installer's failure, not the dialog's 0 nor the launcher's time-out.
            EXPECT_NE(code, 0u);
            EXPECT_NE(code, static_cast<DWORD>(ERROR_TIMEOUT));
        }
        EXPECT_TRUE(listFiles(temp).empty());
    }
    DeleteFileA(report.c_str());
}

// ---- The command lines of the README's section for deployment ------------------------------

namespace {

const char kDemoProductCode[] = "{6B0F5F0E-2C43-4C9A-9D7E-3A1E51B6C101}";

DWORD runSystemMsiexec(const std::string& args, const std::string& cwd)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    RunOptions o;
    o.exe = std::string(system) + "\\msiexec.exe";
    o.args = args;
    o.cwd = cwd;
    o.setupRun = false;
    return runQuiet(o);
}

// The folder the installer takes the demo's files from for a repair, as it remembers it.
std::string demoInstallSource()
{
    char source[MAX_PATH + 1] = {};
    DWORD n = sizeof source;
    return MsiGetProductInfoA(kDemoProductCode, INSTALLPROPERTY_INSTALLSOURCE, source, &n) == 0
        ? source
        : "";
}

}  // namespace

// Intune and Configuration Manager: a silent install with the installer's log, found by its
// ProductCode, and removed by it.
TEST(Deploy, InstallsWithALogIsFoundByItsProductCodeAndUninstalls)
{
    Scratch scratch;
    std::string temp = scratch.dir("deploy");
    std::string log = temp + "\\..\\vorlane-deploy.log";
    DeleteFileA(log.c_str());
    EXPECT_EQ(runQuiet(setupRun("demo", "--quiet /qn /l*v \"" + log + "\"", temp)), 0u);
    EXPECT_FALSE(readFile(log).empty()) << "no installer log at " << log;
    EXPECT_EQ(MsiQueryProductStateA(kDemoProductCode), INSTALLSTATE_DEFAULT);
    EXPECT_EQ(runSystemMsiexec(std::string("/x ") + kDemoProductCode + " /qn", temp), 0u);
    EXPECT_EQ(MsiQueryProductStateA(kDemoProductCode), INSTALLSTATE_UNKNOWN);
    DeleteFileA(log.c_str());
}

// A repair that needs files looks for the package where it was installed from: after an
// elevated run (a deployment tool's) that is the run's own folder, removed at its end; after
// an install of the package decoded with --xzdec into a lasting folder, that folder.
TEST(Deploy, TheInstallersSourceIsTheFolderThePackageWasIn)
{
    Scratch scratch;
    std::string temp = scratch.dir("deploy-source");
    RunOptions o = setupRun("demo", "--quiet /qn", temp);
    o.elevated = true;
    EXPECT_EQ(runQuiet(o), 0u);
    std::string source = demoInstallSource();
    EXPECT_EQ(source.compare(0, temp.size() + 7, temp + "\\setup-"), 0) << source;
    EXPECT_FALSE(fileExists(source)) << source;

    std::string lasting = scratch.own("C:\\Packages") + "\\Vorlane Demo";
    CreateDirectoryA("C:\\Packages", nullptr);
    CreateDirectoryA(lasting.c_str(), nullptr);
    RunOptions xzdec = setupRun("demo", "--quiet --xzdec", temp);
    xzdec.cwd = lasting;
    EXPECT_EQ(runQuiet(xzdec), 0u);
    EXPECT_EQ(runSystemMsiexec("/i \"" + lasting + "\\setup.msi\" /qn", temp), 0u);
    EXPECT_EQ(demoInstallSource(), lasting + "\\");
}
