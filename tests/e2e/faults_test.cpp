// Faults a user runs into, seen from outside: a temporary directory that cannot be written, a
// full disk, no installer, a package the installer rejects, very long and non-ASCII paths.
// Every failure must end with a clear code (the exit code under --quiet; otherwise a dialog
// naming it, then exit code 0) and leave no file behind.
//
// Paths here may hold characters outside the ANSI code page and be longer than MAX_PATH, which
// the driver's ANSI helpers cannot reach: these cases start setup.exe and look at files through
// the wide functions.
#include "driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

using namespace e2e;

namespace {

std::wstring widen(const std::string& text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    return wide;
}

// For messages only: UTF-8, so that a CJK name reads as itself in the test log.
std::string utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::vector<std::wstring> filesIn(const std::wstring& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) {
            names.push_back(data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::string listing(const std::vector<std::wstring>& names)
{
    std::string text;
    for (const std::wstring& name : names) {
        text += " '" + utf8(name) + "'";
    }
    return text.empty() ? " (nothing)" : text;
}

void removeTreeW(const std::wstring& dir)
{
    for (const std::wstring& name : filesIn(dir)) {
        std::wstring path = dir + L"\\" + name;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            removeTreeW(path);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(dir.c_str());
}

// A fresh empty directory under the driver's %TEMP%.
std::wstring scratchDir(const std::wstring& name)
{
    std::wstring dir = widen(tempDir()) + L"vorlane-fault-" + name;
    removeTreeW(dir);
    EXPECT_TRUE(CreateDirectoryW(dir.c_str(), nullptr))
        << utf8(dir) << ": error " << GetLastError();
    return dir;
}

void expectNothingIn(const std::wstring& dir, const std::string& what)
{
    std::vector<std::wstring> left = filesIn(dir);
    EXPECT_TRUE(left.empty()) << what << ": left in " << utf8(dir) << ":" << listing(left);
}

bool existsW(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One start of setup.exe: the program, its arguments after the optional --quiet, the
// temporary directory it is given (TMP and TEMP) and its working directory (empty: the
// driver's).
struct SetupRun {
    std::wstring exe;
    std::wstring args;
    std::wstring temp;
    std::wstring cwd;
};

SetupRun variantRun(const std::string& variant, const std::wstring& args, const std::wstring& temp)
{
    return {widen(variantExe(variant)), args, temp, L""};
}

// The driver's environment with TMP and TEMP replaced and the install-directory variable
// removed, as a block of wide strings.
std::wstring environmentFor(const SetupRun& run)
{
    std::wstring block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* p = own; *p != L'\0'; p += wcslen(p) + 1) {
        const wchar_t* eq = wcschr(p + 1, L'=');
        std::wstring name(p, eq != nullptr ? eq - p : wcslen(p));
        if (_wcsicmp(name.c_str(), L"TMP") != 0 && _wcsicmp(name.c_str(), L"TEMP") != 0
            && _wcsicmp(name.c_str(), L"VORLANE_AUTOUPDATE_INSTALLDIR") != 0) {
            block.append(p, wcslen(p) + 1);
        }
    }
    FreeEnvironmentStringsW(own);
    for (const wchar_t* name : {L"TMP=", L"TEMP="}) {
        block += name + run.temp;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

Child launch(const SetupRun& run, bool quiet)
{
    std::wstring commandLine = L"\"" + run.exe + L"\"";
    std::wstring args = quiet ? L"--quiet " + run.args : run.args;
    if (!args.empty()) {
        commandLine += L" " + args;
    }
    std::wstring env = environmentFor(run);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    Child child;
    if (!CreateProcessW(run.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, &env[0],
                        run.cwd.empty() ? nullptr : run.cwd.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start " << utf8(run.exe) << ": error " << GetLastError();
        return child;
    }
    CloseHandle(pi.hThread);
    child.process = pi.hProcess;
    child.pid = pi.dwProcessId;
    child.started = GetTickCount();
    child.timeoutMs = 180000;
    return child;
}

// The exit code of a run with --quiet, where any dialog is a failure.
DWORD quietCode(const SetupRun& run)
{
    Child child = launch(run, true);
    Dialog dialog;
    while (child.process != nullptr && waitDialog(child, &dialog)) {
        ADD_FAILURE() << "dialog under --quiet '" << dialog.caption << "': " << dialog.text;
        answer(dialog, dialog.yesNo ? IDNO : IDOK);
    }
    return finish(child);
}

// The same run without --quiet: one error dialog naming the code, and exit code 0 once it is
// answered. Returns the dialog.
Dialog expectReported(const SetupRun& run, DWORD code)
{
    Child child = launch(run, false);
    Dialog dialog;
    if (!waitDialog(child, &dialog)) {
        ADD_FAILURE() << "no error dialog; exit code " << finish(child);
        return dialog;
    }
    EXPECT_FALSE(dialog.yesNo) << dialog.text;
    EXPECT_NE(dialog.text.find(" has encountered error " + std::to_string(code)
                               + " in file setup at line "),
              std::string::npos) << dialog.text;
    answer(dialog, IDOK);
    EXPECT_EQ(finish(child), 0u) << "an answered error dialog ends the run with 0";
    return dialog;
}

// Both runs of a failing case; returns the code of the quiet one.
DWORD failureCode(const SetupRun& run)
{
    DWORD code = quietCode(run);
    if (code != 0) {
        expectReported(run, code);
    }
    return code;
}

// Where the demo installs in a case, under the prefix's C: drive.
const wchar_t kInstallRoot[] = L"C:\\Vorlane Faults";

std::wstring installArgs()
{
    return L"/qn VORLANE_AUTOUPDATE_INSTALLDIR=\"" + std::wstring(kInstallRoot) + L"\"";
}

void expectInstalled(const std::string& what)
{
    EXPECT_TRUE(existsW(std::wstring(kInstallRoot) + L"\\readme.txt"))
        << what << ": nothing installed";
    removeTreeW(kInstallRoot);
}

// Either the install succeeds, or the run fails with the expected code; nothing stays in temp.
void expectOutcome(const SetupRun& run, DWORD code, const std::wstring& temp, const std::string& what)
{
    if (code == 0) {
        EXPECT_EQ(quietCode(run), 0u) << what;
        expectInstalled(what);
    } else {
        EXPECT_EQ(failureCode(run), code) << what;
    }
    expectNothingIn(temp, what);
}

} // namespace

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
    std::wstring scratch = scratchDir(L"tempdir");
    std::wstring plainFile = scratch + L"\\not-a-directory";
    HANDLE file = CreateFileW(plainFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    struct Case {
        const char* what;
        std::wstring temp;
        DWORD code;
        std::wstring watch;  // where nothing may appear
    };
    std::vector<Case> cases = {
        {"missing directory", scratch + L"\\gone", ERROR_DIRECTORY, scratch},
        {"a file", plainFile, ERROR_DIRECTORY, scratch},
    };
    std::string rofs = g_paths["rofs"];
    if (!rofs.empty() && fileExists(rofs + "\\.mounted")) {
        std::wstring temp = widen(rofs) + L"\\temp";
        cases.push_back({"read-only mount", temp, ERROR_ACCESS_DENIED, temp});
    } else {
        std::cout << "[ NOTE     ] no read-only mount (needs root): that row is left out\n";
    }
    for (const Case& c : cases) {
        EXPECT_EQ(failureCode(variantRun("demo", L"/qn", c.temp)), c.code) << c.what;
        std::vector<std::wstring> left = filesIn(c.watch);
        left.erase(std::remove(left.begin(), left.end(), L"not-a-directory"), left.end());
        EXPECT_TRUE(left.empty()) << c.what << ": left" << listing(left);
    }
    EXPECT_EQ(readFile(utf8(plainFile)), "");
    removeTreeW(scratch);
}

// ---- 2. A full disk ------------------------------------------------------------------------
// The payload cases fill a small disk while the package is written; these start with a disk
// that is full already, so the very first write fails, and once more with the package's own
// name taken, so the failing file is one the system named.

namespace {

// Fills the file system of dir to the last byte with one file; returns its path.
std::wstring fillDisk(const std::wstring& dir)
{
    std::wstring filler = dir + L"\\filler";
    HANDLE file = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
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

} // namespace

TEST(FaultFullDisk, AFullDiskBeforeTheFirstWriteGivesTheWritesCodeAndLeavesOnlyWhatWasThere)
{
    std::string small = g_paths["smallfs"];
    if (small.empty() || !fileExists(small + "\\.mounted")) {
        GTEST_SKIP() << "no small file system mounted (needs root)";
    }
    std::wstring temp = widen(small) + L"\\fault-temp";
    for (bool nameTaken : {false, true}) {
        removeTreeW(temp);
        ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
        std::vector<std::wstring> before;
        if (nameTaken) {
            std::wstring taken = temp + L"\\setup.msi";
            HANDLE file = CreateFileW(taken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                      nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            CloseHandle(file);
            before.push_back(L"setup.msi");
        }
        fillDisk(temp);
        before.insert(before.begin(), L"filler");
        EXPECT_EQ(failureCode(variantRun("demo", L"", temp)), static_cast<DWORD>(ERROR_DISK_FULL))
            << (nameTaken ? "name taken" : "name free");
        EXPECT_EQ(filesIn(temp), before) << "left:" << listing(filesIn(temp));
    }
    removeTreeW(temp);
}

// ---- 3. No installer -----------------------------------------------------------------------
// Runs in the 'nomsiexec' prefix, whose system directory has no msiexec.exe.

TEST(FaultNoMsiexec, TheLaunchFailsWithItsCodeAndThePackageIsDeleted)
{
    wchar_t system[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::wstring installer = std::wstring(system, n) + L"\\msiexec.exe";
    ASSERT_FALSE(existsW(installer))
        << utf8(installer) << " exists: this case runs in the prefix without it (e2e_nomsiexec)";
    std::wstring temp = scratchDir(L"nomsiexec");
    EXPECT_EQ(failureCode(variantRun("demo", L"/qn", temp)),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    expectNothingIn(temp, "no msiexec");
    removeTreeW(temp);
}

// ---- 4. A package the installer rejects ----------------------------------------------------

TEST(FaultRejectedPackage, TheInstallersFailureIsTheCodeAndThePackageIsDeleted)
{
    std::wstring temp = scratchDir(L"notmsi");
    DWORD code = failureCode(variantRun("notmsi", L"/qn", temp));
    // Wine's installer names a broken package differently from Windows: any failure, but not
    // a success, a reboot request or a crash of setup itself.
    EXPECT_NE(code, 0u);
    EXPECT_NE(code, 3010u);
    EXPECT_NE(code, 1641u);
    EXPECT_LT(code, 0xC0000000u) << "setup ended by an exception";
    std::cout << "[ NOTE     ] the installer's code: " << code << "\n";
    expectNothingIn(temp, "rejected package");
    removeTreeW(temp);
}

// ---- 5. A very long temporary path ---------------------------------------------------------
// The directory's length below counts the trailing backslash, as GetTempPathA returns it. The
// derived name "setup.msi" fits up to a directory of 251 characters (260 in all); past that
// the generated name (msiXXXX.tmp) is tried, which setup allows up to 246; past MAX_PATH the
// directory itself cannot be had through the ANSI function.

namespace {

// A directory whose path with a trailing backslash is length characters long, made of
// components short enough for any file system.
std::wstring longDir(const std::wstring& base, size_t length)
{
    std::wstring dir = base;
    while (dir.size() + 1 < length) {
        // A backslash and at least one character each: never leave room for just one.
        size_t need = length - 1 - dir.size();
        size_t part = need <= 101 ? need - 1 : std::min<size_t>(100, need - 3);
        EXPECT_GT(part, 0u) << "the base is too long for " << length;
        if (part == 0) {
            break;
        }
        dir += L"\\" + std::wstring(part, L'd');
        std::wstring full = L"\\\\?\\" + dir;
        EXPECT_TRUE(CreateDirectoryW(full.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
            << dir.size() << ": error " << GetLastError();
    }
    return dir;
}

} // namespace

TEST(FaultLongTempPath, TheDerivedNameTheGeneratedNameOrAClearCode)
{
    std::wstring base = scratchDir(L"long");
    std::wstring longName = base + L"\\setup-with-a-name-of-forty-characters.exe";
    ASSERT_TRUE(CopyFileW(widen(variantExe("demo")).c_str(), longName.c_str(), FALSE));
    const std::wstring demo = widen(variantExe("demo"));
    struct Case {
        size_t length;
        const std::wstring* exe;
        DWORD code;
    };
    const Case cases[] = {
        {251, &demo, 0},                          // "setup.msi" ends at character 260
        {252, &demo, ERROR_BUFFER_OVERFLOW},      // neither name fits
        {246, &longName, 0},                      // derived name too long: generated name
        {247, &longName, ERROR_BUFFER_OVERFLOW},
        // Wine's GetTempPathA fails from MAX_PATH characters on (Windows would return 260
        // characters, which setup refuses with 111, and the length needed beyond that, which
        // setup refuses with ERROR_NOT_ENOUGH_MEMORY).
        {260, &demo, ERROR_FILENAME_EXCED_RANGE},
        {261, &demo, ERROR_FILENAME_EXCED_RANGE},
        {300, &demo, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        std::wstring top = base + L"\\" + std::to_wstring(c.length);
        ASSERT_TRUE(CreateDirectoryW(top.c_str(), nullptr));
        std::wstring temp = longDir(top, c.length);
        ASSERT_EQ(temp.size() + 1, c.length);
        std::string what = "directory of " + std::to_string(c.length) + " characters, "
                         + utf8(c.exe->substr(c.exe->rfind(L'\\') + 1));
        SetupRun run = {*c.exe, installArgs(), temp, L""};
        expectOutcome(run, c.code, temp, what);
    }
    removeTreeW(base);
}

// ---- 6. Non-ASCII names --------------------------------------------------------------------
// setup works on ANSI paths. Latin-1 letters are in code page 1252 and must just work; CJK
// letters are not, and the ANSI functions see them as '?': the executable's own name then gives
// no usable package name (the generated name is used instead) and a temporary directory so
// named cannot be reached at all, which must be a clear code.

TEST(FaultNonAscii, NamesInsideAndOutsideTheCodePage)
{
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the expectations below are for code page 1252, not " << GetACP();
    }
    std::wstring scratch = scratchDir(L"nonascii");
    struct Case {
        const wchar_t* exeName;
        const wchar_t* tempName;
        DWORD code;
    };
    const Case cases[] = {
        {L"S\u00e9tup.exe", L"temp-\u00fc\u00e9", 0},
        {L"\u5b89\u88c5.exe", L"temp", 0},
        {L"setup.exe", L"temp-\u4e34\u65f6", ERROR_DIRECTORY},
        {L"S\u00e9tup-\u5b89\u88c5.exe", L"temp-\u00fc-\u4e34\u65f6", ERROR_DIRECTORY},
    };
    for (const Case& c : cases) {
        std::wstring dir = scratch + L"\\" + c.tempName;
        std::wstring temp = dir + L"\\t";
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
        std::wstring exe = dir + L"\\" + c.exeName;
        ASSERT_TRUE(CopyFileW(widen(variantExe("demo")).c_str(), exe.c_str(), FALSE));
        std::string what = utf8(exe.substr(scratch.size() + 1));
        SetupRun run = {exe, installArgs(), temp, L""};
        expectOutcome(run, c.code, temp, what);
        std::vector<std::wstring> beside = {c.exeName, L"t"};
        std::sort(beside.begin(), beside.end());
        EXPECT_EQ(filesIn(dir), beside) << what << ": left" << listing(filesIn(dir));
    }
    EXPECT_EQ(filesIn(scratch).size(), std::size(cases)) << "left" << listing(filesIn(scratch));
    removeTreeW(scratch);
}

TEST(FaultNonAscii, TheErrorDialogNamesTheProgramAsTheUserSeesIt)
{
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the expectations below are for code page 1252, not " << GetACP();
    }
    std::wstring dir = scratchDir(L"caption");
    const std::pair<const wchar_t*, const char*> names[] = {
        {L"S\u00e9tup.exe", "S\xe9tup"},
        {L"\u5b89\u88c5.exe", "??"},
    };
    for (const auto& name : names) {
        std::wstring exe = dir + L"\\" + name.first;
        ASSERT_TRUE(CopyFileW(widen(variantExe("nopayload")).c_str(), exe.c_str(), FALSE));
        Dialog dialog = expectReported({exe, L"", dir, L""}, ERROR_RESOURCE_TYPE_NOT_FOUND);
        EXPECT_EQ(dialog.caption, name.second);
        EXPECT_EQ(dialog.text.rfind(std::string(name.second) + " has encountered error", 0), 0u)
            << dialog.text;
    }
    removeTreeW(dir);
}

// What the user sees of the derived name: --xzdec leaves the package in the current directory
// under the executable's name, or under a generated one when that name has no ANSI form.
TEST(FaultNonAscii, XzdecNamesThePackageAfterTheExecutableWhereItCan)
{
    if (GetACP() != 1252) {
        GTEST_SKIP() << "the expectations below are for code page 1252, not " << GetACP();
    }
    const std::string demo = readFile(g_paths["demo.msi"]);
    ASSERT_FALSE(demo.empty());
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"S\u00e9tup.exe", L"S\u00e9tup.msi"},
        {L"\u5b89\u88c5.exe", nullptr},  // a generated msiXXXX.tmp
    };
    for (const auto& name : names) {
        std::wstring dir = scratchDir(L"xzdec-\u00fc");
        std::wstring exe = dir + L"\\" + name.first;
        ASSERT_TRUE(CopyFileW(widen(variantExe("demo")).c_str(), exe.c_str(), FALSE));
        std::string what = utf8(name.first);
        EXPECT_EQ(quietCode({exe, L"--xzdec", dir, dir}), 0u) << what;
        std::vector<std::wstring> files = filesIn(dir);
        files.erase(std::remove(files.begin(), files.end(), name.first), files.end());
        ASSERT_EQ(files.size(), 1u) << what << ":" << listing(files);
        if (name.second != nullptr) {
            EXPECT_EQ(files[0], name.second) << what;
        } else {
            EXPECT_TRUE(files[0].rfind(L"msi", 0) == 0 && files[0].size() == 11
                        && files[0].compare(7, 4, L".tmp") == 0) << utf8(files[0]);
        }
        // Read through the wide name, so that the check does not depend on the code page.
        std::wstring decoded = dir + L"\\" + files[0];
        HANDLE file = CreateFileW(decoded.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << what;
        std::string content(demo.size() + 1, '\0');
        DWORD got = 0;
        ReadFile(file, &content[0], static_cast<DWORD>(content.size()), &got, nullptr);
        CloseHandle(file);
        content.resize(got);
        EXPECT_TRUE(content == demo) << what << ": the decoded package differs";
        removeTreeW(dir);
    }
}
