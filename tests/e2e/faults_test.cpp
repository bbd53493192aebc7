// Faults a user runs into, seen from outside: a temporary directory that cannot be written, a
// full disk, no installer, a package the installer rejects, very long and non-ASCII paths.
// Every failure must end with a clear code (the exit code under --quiet; otherwise a dialog
// naming it, then exit code 0) and leave no file behind. Paths here may hold characters outside
// the ANSI code page and be longer than MAX_PATH: the driver's helpers take them as UTF-8.
#include "driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

using namespace e2e;

namespace {

std::string listing(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += " '" + name + "'";
    }
    return text.empty() ? " (nothing)" : text;
}

void expectNothingIn(const std::string& dir, const std::string& what)
{
    std::vector<std::string> left = listFiles(dir);
    EXPECT_TRUE(left.empty()) << what << ": left in " << dir << ":" << listing(left);
}

bool makeDir(const std::string& path)
{
    return CreateDirectoryW(widen(path).c_str(), nullptr) != 0;
}

// One start of setup.exe with the temporary directory it is given (TMP and TEMP) and its
// working directory (empty: the driver's).
RunOptions setupRun(const std::string& exe, const std::string& args, const std::string& temp,
                    const std::string& cwd = "")
{
    RunOptions o;
    o.exe = exe;
    o.args = args;
    o.cwd = cwd;
    o.env = {{"TMP", temp}, {"TEMP", temp}, {"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    return o;
}

RunOptions variantRun(const std::string& variant, const std::string& args, const std::string& temp)
{
    return setupRun(variantExe(variant), args, temp);
}

// The exit code of the run with --quiet, where any dialog is a failure.
DWORD quietCode(RunOptions run)
{
    run.args = run.args.empty() ? "--quiet" : "--quiet " + run.args;
    return runQuiet(run);
}

// The same run without --quiet: one error dialog naming the code, and exit code 0 once it is
// answered. Returns the dialog.
Dialog expectReported(const RunOptions& run, DWORD code)
{
    Dialog dialog;
    EXPECT_EQ(runThroughDialog(run, &dialog), 0u) << "an answered error dialog ends the run with 0";
    EXPECT_FALSE(dialog.yesNo) << dialog.text;
    EXPECT_NE(dialog.text.find(" has encountered error " + std::to_string(code)
                               + " in file setup at line "),
              std::string::npos)
        << dialog.text;
    return dialog;
}

// Both runs of a failing case; returns the code of the quiet one.
DWORD failureCode(const RunOptions& run)
{
    DWORD code = quietCode(run);
    if (code != 0) {
        expectReported(run, code);
    }
    return code;
}

// Where the demo installs in a case, under the prefix's C: drive.
const char kInstallRoot[] = "C:\\Vorlane Faults";

std::string installArgs()
{
    return "/qn VORLANE_AUTOUPDATE_INSTALLDIR=\"" + std::string(kInstallRoot) + "\"";
}

void expectInstalled(const std::string& what)
{
    EXPECT_TRUE(fileExists(std::string(kInstallRoot) + "\\readme.txt"))
        << what << ": nothing installed";
    removeTree(kInstallRoot);
}

// Either the install succeeds, or the run fails with the expected code; nothing stays in temp.
void expectOutcome(const RunOptions& run, DWORD code, const std::string& temp,
                   const std::string& what)
{
    if (code == 0) {
        EXPECT_EQ(quietCode(run), 0u) << what;
        expectInstalled(what);
    } else {
        EXPECT_EQ(failureCode(run), code) << what;
    }
    expectNothingIn(temp, what);
}

}  // namespace

// ---- 1. A temporary directory that cannot be written ---------------------------------------
//
// Running as root under Wine, neither the read-only attribute nor Unix permissions stop a
// write (the attribute maps onto permission bits, which root passes over), so a read-only
// directory is no fault there. What does fail the same way for a user: TMP naming a directory
// that is gone, naming a file, or lying on a file system mounted read-only (the 'rofs' fixture,
// which needs root). The package's own name fails first in each; the code is that of the
// generated-name step after it: GetTempFileNameA's for a directory that is none, and under
// Wine CreateFileA's on the read-only mount (Wine's GetTempFileNameA hands out a name it could
// not create there instead of failing as Windows does).

TEST(FaultTempDir, UnwritableTemporaryDirectoriesFailWithTheSystemsCode)
{
    Scratch scratch;
    std::string root = scratch.dir("tempdir");
    std::string plainFile = root + "\\not-a-directory";
    ASSERT_TRUE(writeFile(plainFile, ""));

    struct Case {
        const char* what;
        std::string temp;
        DWORD code;
        std::string watch;  // where nothing may appear
    };
    std::vector<Case> cases = {
        {"missing directory", root + "\\gone", ERROR_DIRECTORY, root},
        {"a file", plainFile, ERROR_DIRECTORY, root},
    };
    std::string rofs = g_paths["rofs"];
    if (!rofs.empty() && fileExists(rofs + "\\.mounted")) {
        std::string temp = rofs + "\\temp";
        cases.push_back({"read-only mount", temp, ERROR_ACCESS_DENIED, temp});
    } else {
        std::cout << "[ NOTE     ] no read-only mount (needs root): that row is left out\n";
    }
    for (const Case& c : cases) {
        EXPECT_EQ(failureCode(variantRun("demo", "/qn", c.temp)), c.code) << c.what;
        std::vector<std::string> left = listFiles(c.watch);
        left.erase(std::remove(left.begin(), left.end(), "not-a-directory"), left.end());
        EXPECT_TRUE(left.empty()) << c.what << ": left" << listing(left);
    }
    EXPECT_EQ(readFile(plainFile), "");
}

// ---- 2. A full disk ------------------------------------------------------------------------
// The payload cases fill a small disk while the package is written; these start with a disk
// that is full already, so the very first write fails, and once more with the package's own
// name taken, so the failing file is one the system named.

namespace {

// Fills the file system of dir to the last byte with one file; returns its path.
std::string fillDisk(const std::string& dir)
{
    std::string filler = dir + "\\filler";
    HANDLE file =
        CreateFileW(widen(filler).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    std::string block(65536, 'f');
    for (DWORD size = 65536; size > 0; size /= 2) {
        DWORD written = 0;
        while (WriteFile(file, block.data(), size, &written, nullptr) && written == size) {
        }
    }
    CloseHandle(file);
    return filler;
}

}  // namespace

TEST(FaultFullDisk, AFullDiskBeforeTheFirstWriteGivesTheWritesCodeAndLeavesOnlyWhatWasThere)
{
    Scratch scratch;
    std::string small = g_paths["smallfs"];
    if (small.empty() || !fileExists(small + "\\.mounted")) {
        GTEST_SKIP() << "no small file system mounted (needs root)";
    }
    std::string temp = scratch.own(small + "\\fault-temp");
    for (bool nameTaken : {false, true}) {
        removeTree(temp);
        ASSERT_TRUE(makeDir(temp));
        std::vector<std::string> before;
        if (nameTaken) {
            ASSERT_TRUE(writeFile(temp + "\\setup.msi", ""));
            before.push_back("setup.msi");
        }
        fillDisk(temp);
        before.insert(before.begin(), "filler");
        EXPECT_EQ(failureCode(variantRun("demo", "", temp)), static_cast<DWORD>(ERROR_DISK_FULL))
            << (nameTaken ? "name taken" : "name free");
        EXPECT_EQ(listFiles(temp), before) << "left:" << listing(listFiles(temp));
    }
}

// ---- 3. No installer -----------------------------------------------------------------------
// Runs in the 'nomsiexec' prefix, whose system directory has no msiexec.exe.

TEST(FaultNoMsiexec, TheLaunchFailsWithItsCodeAndThePackageIsDeleted)
{
    Scratch scratch;
    wchar_t system[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::string installer = utf8(std::wstring(system, n)) + "\\msiexec.exe";
    ASSERT_FALSE(fileExists(installer))
        << installer << " exists: this case runs in the prefix without it (e2e_nomsiexec)";
    std::string temp = scratch.dir("nomsiexec");
    EXPECT_EQ(failureCode(variantRun("demo", "/qn", temp)),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    expectNothingIn(temp, "no msiexec");
}

// ---- 4. A package the installer rejects ----------------------------------------------------

TEST(FaultRejectedPackage, TheInstallersFailureIsTheCodeAndThePackageIsDeleted)
{
    Scratch scratch;
    std::string temp = scratch.dir("notmsi");
    DWORD code = failureCode(variantRun("notmsi", "/qn", temp));
    // Wine's installer names a broken package differently from Windows: any failure, but not
    // a success, a reboot request or a crash of setup itself.
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, 3010u);
    EXPECT_NE(code, 1641u);
    EXPECT_LT(code, 0xC0000000u) << "setup ended by an exception";
    std::cout << "[ NOTE     ] the installer's code: " << code << "\n";
    expectNothingIn(temp, "rejected package");
}

// ---- 5. A very long temporary path ---------------------------------------------------------
// The directory's length below counts the trailing backslash, as GetTempPathA returns it. The
// derived name "setup.msi" fits up to a directory of 251 characters (260 in all); past that
// the generated name (msiXXXX.tmp) is tried, which setup allows up to 246; past MAX_PATH the
// directory itself cannot be had through the ANSI function. The installer makes temporary files
// of its own in the same directory, and the 32-bit one fails (1627) once there is no room for
// them (past 249 characters), so the cases that install stay at 246.

namespace {

// A directory whose path with a trailing backslash is length characters long, made of
// components short enough for any file system.
std::string longDir(const std::string& base, size_t length)
{
    std::string dir = base;
    while (dir.size() + 1 < length) {
        // A backslash and at least one character each: never leave room for just one.
        size_t need = length - 1 - dir.size();
        size_t part = need <= 101 ? need - 1 : std::min<size_t>(100, need - 3);
        EXPECT_GT(part, 0u) << "the base is too long for " << length;
        if (part == 0) {
            break;
        }
        dir += "\\" + std::string(part, 'd');
        EXPECT_TRUE(makeDir("\\\\?\\" + dir) || GetLastError() == ERROR_ALREADY_EXISTS)
            << dir.size() << ": error " << GetLastError();
    }
    return dir;
}

}  // namespace

TEST(FaultLongTempPath, TheDerivedNameTheGeneratedNameOrAClearCode)
{
    Scratch scratch;
    scratch.own(kInstallRoot);
    std::string base = scratch.dir("long");
    std::string longName = base + "\\setup-with-a-name-of-forty-characters.exe";
    ASSERT_TRUE(copyFile(variantExe("demo"), longName));
    const std::string demo = variantExe("demo");
    struct Case {
        size_t length;
        const std::string* exe;
        DWORD code;
    };
    const Case cases[] = {
        {246, &demo, 0},  // the derived name
        {252, &demo, ERROR_BUFFER_OVERFLOW},  // neither name fits
        {246, &longName, 0},  // derived name too long: generated name
        {247, &longName, ERROR_BUFFER_OVERFLOW},
        // Wine's GetTempPathA fails from MAX_PATH characters on (Windows would return 260
        // characters, which setup refuses with 111, and the length needed beyond that, which
        // setup refuses with ERROR_NOT_ENOUGH_MEMORY).
        {260, &demo, ERROR_FILENAME_EXCED_RANGE},
        {261, &demo, ERROR_FILENAME_EXCED_RANGE},
        {300, &demo, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        std::string top = base + "\\" + std::to_string(&c - cases);
        ASSERT_TRUE(makeDir(top));
        std::string temp = longDir(top, c.length);
        ASSERT_EQ(temp.size() + 1, c.length);
        std::string what = "directory of " + std::to_string(c.length) + " characters, "
            + c.exe->substr(c.exe->rfind('\\') + 1);
        expectOutcome(setupRun(*c.exe, installArgs(), temp), c.code, temp, what);
    }
}

// ---- 6. Non-ASCII names --------------------------------------------------------------------
// setup works on ANSI paths, in the UTF-8 code page that its manifest asks for (Wine honours it
// as Windows 10 1903 and later do). The system's code page here is 1252: Latin-1 letters are in
// it, CJK letters are not, and both must just work, in the executable's own name (the package
// is named after it) and in the temporary directory's. (Where the manifest is not honoured the
// ANSI functions see CJK letters as '?'; the temporary directory is then taken by its short
// name, which the Windows unit tests show.)

TEST(FaultNonAscii, NamesInsideAndOutsideTheCodePage)
{
    Scratch scratch;
    scratch.own(kInstallRoot);
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the expectations below are for code page 1252, not " << GetACP();
    }
    std::string root = scratch.dir("nonascii");
    struct Case {
        const char* exeName;
        const char* tempName;
        DWORD code;
    };
    const Case cases[] = {
        {u8"S\u00e9tup.exe", u8"temp-\u00fc\u00e9", 0},
        {u8"\u5b89\u88c5.exe", "temp", 0},
        {"setup.exe", u8"temp-\u4e34\u65f6", 0},
        {u8"S\u00e9tup-\u5b89\u88c5.exe", u8"temp-\u00fc-\u4e34\u65f6", 0},
    };
    for (const Case& c : cases) {
        std::string dir = root + "\\" + c.tempName;
        std::string temp = dir + "\\t";
        ASSERT_TRUE(makeDir(dir));
        ASSERT_TRUE(makeDir(temp));
        std::string exe = dir + "\\" + c.exeName;
        ASSERT_TRUE(copyFile(variantExe("demo"), exe));
        std::string what = exe.substr(root.size() + 1);
        expectOutcome(setupRun(exe, installArgs(), temp), c.code, temp, what);
        std::vector<std::string> beside = {c.exeName, "t"};
        std::sort(beside.begin(), beside.end());
        EXPECT_EQ(listFiles(dir), beside) << what << ": left" << listing(listFiles(dir));
    }
    EXPECT_EQ(listFiles(root).size(), std::size(cases)) << "left" << listing(listFiles(root));
}

TEST(FaultNonAscii, TheErrorDialogNamesTheProgramAsTheUserSeesIt)
{
    Scratch scratch;
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the expectations below are for code page 1252, not " << GetACP();
    }
    std::string dir = scratch.dir("caption");
    const std::pair<const char*, const char*> names[] = {
        {u8"S\u00e9tup.exe", u8"S\u00e9tup"},
        {u8"\u5b89\u88c5.exe", u8"\u5b89\u88c5"},
    };
    for (const auto& name : names) {
        std::string exe = dir + "\\" + name.first;
        ASSERT_TRUE(copyFile(variantExe("nopayload"), exe));
        Dialog dialog = expectReported(setupRun(exe, "", dir), ERROR_RESOURCE_TYPE_NOT_FOUND);
        EXPECT_EQ(dialog.caption, name.second);
        EXPECT_EQ(dialog.text.rfind(std::string(name.second) + " has encountered error", 0), 0u)
            << dialog.text;
    }
}

// What the user sees of the derived name: --xzdec leaves the package in the current directory
// under the executable's name, whatever its letters.
TEST(FaultNonAscii, XzdecNamesThePackageAfterTheExecutableWhereItCan)
{
    Scratch scratch;
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the expectations below are for code page 1252, not " << GetACP();
    }
    const std::string demo = readFile(g_paths["demo.msi"]);
    ASSERT_FALSE(demo.empty());
    const std::pair<const char*, const char*> names[] = {
        {u8"S\u00e9tup.exe", u8"S\u00e9tup.msi"},
        {u8"\u5b89\u88c5.exe", u8"\u5b89\u88c5.msi"},
    };
    for (const auto& name : names) {
        std::string dir = scratch.dir(u8"xzdec-\u00fc");
        std::string exe = dir + "\\" + name.first;
        ASSERT_TRUE(copyFile(variantExe("demo"), exe));
        std::string what = name.first;
        EXPECT_EQ(quietCode(setupRun(exe, "--xzdec", dir, dir)), 0u) << what;
        std::vector<std::string> files = listFiles(dir);
        files.erase(std::remove(files.begin(), files.end(), name.first), files.end());
        ASSERT_EQ(files.size(), 1u) << what << ":" << listing(files);
        EXPECT_EQ(files[0], name.second) << what;
        EXPECT_TRUE(readFile(dir + "\\" + files[0]) == demo)
            << what << ": the decoded package differs";
    }
}
