// The payload road below the resource lookup: target directory and name, decoding, the kind
// dispatch and the deletion of the decoded file.
#include "package.h"
#include "report.h"
#include "files.h"
#include "windows/xz_writer.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

namespace {

using support::fileExists;
using support::listFiles;
using support::readFile;

const char demoProductCode[] = "{6B0F5F0E-2C43-4C9A-9D7E-3A1E51B6C101}";

// Runs each case in a directory of its own, as the current directory and as the temporary
// directory (a subdirectory "tmp"), and leaves the process-wide state as it found it.
class Payload : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof savedCwd_, savedCwd_);
        savedTmp_ = getEnv("TMP");
        savedTemp_ = getEnv("TEMP");
        saved_ = {g_waitParent, g_xzdec, g_msiexecExtra};
        g_waitParent = g_xzdec = 0;
        g_msiexecExtra = nullptr;
        kind_ = "msi";

        dir_ = support::makeScratchDir("payload");
        tmp_ = dir_ + "\\tmp";
        CreateDirectoryA(tmp_.c_str(), nullptr);
        SetCurrentDirectoryA(dir_.c_str());
        setTempDir(tmp_);
        setup_recordError(0, "none", 0);

        const char* base = setup_getModuleBaseName();
        ASSERT_NE(base, nullptr);
        derivedName_ = std::string(base, strlen(base) - 4) + ".msi";
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(savedCwd_);
        restoreEnv("TMP", savedTmp_);
        restoreEnv("TEMP", savedTemp_);
        g_waitParent = saved_.waitParent;
        g_xzdec = saved_.xzdec;
        g_msiexecExtra = saved_.extra;
        support::removeTree(dir_);
    }

    static std::string getEnv(const char* name)
    {
        char value[1024];
        DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
        return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
    }
    static void restoreEnv(const char* name, const std::string& value)
    {
        SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
    }
    static void setTempDir(const std::string& dir)
    {
        SetEnvironmentVariableA("TMP", dir.c_str());
        SetEnvironmentVariableA("TEMP", dir.c_str());
    }

    DWORD run(const std::string& payload) const
    {
        return setup_extractAndRun(payload.data(), static_cast<DWORD>(payload.size()), kind_);
    }

    const char* kind_;
    std::string dir_;
    std::string tmp_;
    std::string derivedName_;
    char savedCwd_[MAX_PATH + 1];
    std::string savedTmp_;
    std::string savedTemp_;
    struct {
        int waitParent;
        int xzdec;
        wchar_t* extra;
    } saved_;
};

const std::string& content()
{
    static const std::string c = xz_writer::noise(70000, 21);
    return c;
}

const std::string& goodPayload()
{
    static const std::string p = xz_writer::make(content()).bytes;
    return p;
}

std::string corruptPayload()
{
    std::string p = goodPayload();
    p[p.size() / 2] = static_cast<char>(p[p.size() / 2] ^ 0x40);
    return p;
}

bool isGeneratedName(const std::string& name)
{
    return name.size() > 7 && _strnicmp(name.c_str(), "msi", 3) == 0
        && _stricmp(name.c_str() + name.size() - 4, ".tmp") == 0;
}

TEST_F(Payload, XzdecKeepsTheDecodedFileInTheCurrentDirectory)
{
    g_xzdec = 1;
    ASSERT_EQ(run(goodPayload()), 0u);
    EXPECT_EQ(listFiles(dir_), (std::vector<std::string> {"tmp", derivedName_}));
    EXPECT_TRUE(readFile(dir_ + "\\" + derivedName_) == content());
    EXPECT_TRUE(listFiles(tmp_).empty());
}

// A file of the derived name is never touched: the package goes to a name the system
// generates, and that is the file that remains.
TEST_F(Payload, AnExistingFileIsLeftAloneForAGeneratedName)
{
    g_xzdec = 1;
    std::string existing = dir_ + "\\" + derivedName_;
    ASSERT_TRUE(support::writeFile(existing, "keep"));
    ASSERT_EQ(run(goodPayload()), 0u);
    EXPECT_EQ(readFile(existing), "keep");
    std::vector<std::string> names = listFiles(dir_);
    ASSERT_EQ(names.size(), 3u);
    std::string generated;
    for (const std::string& name : names) {
        if (name != "tmp" && name != derivedName_) {
            generated = name;
        }
    }
    EXPECT_TRUE(isGeneratedName(generated)) << generated;
    EXPECT_TRUE(readFile(dir_ + "\\" + generated) == content());
}

TEST_F(Payload, AFailedDecodingLeavesNoFile)
{
    for (int xzdec : {1, 0}) {
        g_xzdec = xzdec;
        setup_recordError(0, "none", 0);
        EXPECT_EQ(run(corruptPayload()), static_cast<DWORD>(ERROR_WRITE_FAULT)) << xzdec;
        EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_WRITE_FAULT));
        EXPECT_EQ(listFiles(dir_), std::vector<std::string> {"tmp"});
        EXPECT_TRUE(listFiles(tmp_).empty());
    }
}

// Only "msi" (its first three letters, any case) reaches the installer; the other kinds fail
// after decoding, and the decoded file goes.
TEST_F(Payload, KindsWithoutAnInstallerFailAfterDecoding)
{
    for (const char* kind : {"bspatch", "BSP", "zip", ""}) {
        SCOPED_TRACE(kind);
        kind_ = kind;
        setup_recordError(0, "none", 0);
        EXPECT_EQ(run(goodPayload()), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
        EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
        EXPECT_TRUE(listFiles(tmp_).empty());
        // The payload is decoded first: a corrupt one fails there.
        EXPECT_EQ(run(corruptPayload()), static_cast<DWORD>(ERROR_WRITE_FAULT));
    }
}

// Near 260 characters the derived name stops fitting and a generated one takes over; a
// directory with no room for a generated name is a failure. Nothing is left behind.
TEST_F(Payload, LongTemporaryDirectories)
{
    kind_ = "bspatch";
    struct Row {
        size_t tempPathLength;  // what GetTempPathA reports, trailing backslash included
        DWORD expected;
    };
    const size_t derived = derivedName_.size();
    const Row rows[] = {
        {260 - derived, ERROR_CALL_NOT_IMPLEMENTED},  // derived name, exactly 260
        {261 - derived, ERROR_CALL_NOT_IMPLEMENTED},  // generated name
        {246, ERROR_CALL_NOT_IMPLEMENTED},  // generated name, longest directory
        {247, ERROR_BUFFER_OVERFLOW},  // no room for a generated name
        {255, ERROR_BUFFER_OVERFLOW},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tempPathLength);
        std::string dir = tmp_ + "\\";
        ASSERT_LT(dir.size() + 2, row.tempPathLength);
        dir += std::string(row.tempPathLength - dir.size() - 1, 'd');
        // Past 248 characters only the extended form creates a directory.
        std::wstring wide = L"\\\\?\\" + std::wstring(dir.begin(), dir.end());
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr)) << GetLastError();
        setTempDir(dir);
        setup_recordError(0, "none", 0);
        EXPECT_EQ(run(goodPayload()), row.expected);
        EXPECT_EQ(setup_getErrorCode(), row.expected);
        EXPECT_TRUE(listFiles(dir).empty());
        RemoveDirectoryA(dir.c_str());
    }
}

// The whole road with the real installer: the package is decoded into the temporary
// directory, installed where the extra text says, and the decoded file is gone afterwards.
TEST_F(Payload, InstallsThePackageAndDeletesTheFile)
{
    std::string msi = readFile(support::binaryDir() + "\\examples\\demo.msi");
    ASSERT_FALSE(msi.empty());
    std::string target = dir_ + "\\Installed Demo";
    std::wstring extra = L"/qn VORLANE_AUTOUPDATE_INSTALLDIR=\"";
    extra.append(target.begin(), target.end());
    extra += L"\"";
    g_msiexecExtra = &extra[0];

    EXPECT_EQ(run(xz_writer::make(msi).bytes), 0u);
    EXPECT_EQ(readFile(target + "\\readme.txt"), "Vorlane Demo 1.1.0 installed.\r\n");
    EXPECT_TRUE(fileExists(target + "\\data\\greeting.dat"));
    EXPECT_TRUE(listFiles(tmp_).empty());

    // Leave the prefix as it was.
    std::string uninstall = std::string("msiexec /x ") + demoProductCode + " /qn";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &uninstall[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST_F(Payload, AFailedInstallationIsReturnedAndTheFileDeleted)
{
    std::string msi = readFile(support::binaryDir() + "\\examples\\failing.msi");
    ASSERT_FALSE(msi.empty());
    wchar_t extra[] = L"/qn";
    g_msiexecExtra = extra;
    EXPECT_EQ(run(xz_writer::make(msi).bytes), 1603u);
    EXPECT_EQ(setup_getErrorCode(), 1603u);
    EXPECT_TRUE(listFiles(tmp_).empty());
}

// The resource lookup, on executables of this build loaded as data.
TEST_F(Payload, ExtractResourceHandsThePayloadOnOrNamesTheFailure)
{
    g_xzdec = 1;
    std::string bin = support::binaryDir();
    HMODULE setup =
        LoadLibraryExA((bin + "\\setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(setup, nullptr);
    DWORD error = 12345;
    EXPECT_EQ(setup_extractResource(setup, RT_RCDATA, MAKEINTRESOURCEA(12), &error), 0);
    EXPECT_EQ(error, 0u);
    std::string package = support::inBuild(readFile(bin + "\\setup.gen\\package.txt"));
    EXPECT_TRUE(readFile(dir_ + "\\" + derivedName_) == readFile(package));
    DeleteFileA((dir_ + "\\" + derivedName_).c_str());

    // No such resource: the system's code, recorded; the out-parameter is optional.
    EXPECT_NE(setup_extractResource(setup, RT_RCDATA, MAKEINTRESOURCEA(13), &error), 0);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(setup_getErrorCode(), error);
    EXPECT_NE(setup_extractResource(setup, RT_RCDATA, MAKEINTRESOURCEA(13), nullptr), 0);
    FreeLibrary(setup);

    // An empty resource sets no last error of its own, and must not read as success.
    HMODULE empty = LoadLibraryExA((bin + "\\tests\\e2e\\bin\\empty\\setup.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
    if (empty == nullptr) {
        GTEST_SKIP() << "the build has no setup.exe with an empty payload";
    }
    SetLastError(0);
    EXPECT_NE(setup_extractResource(empty, RT_RCDATA, MAKEINTRESOURCEA(12), &error), 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_INVALID_DATA));
    FreeLibrary(empty);
    EXPECT_EQ(listFiles(dir_), std::vector<std::string> {"tmp"});
}

}  // namespace

// This program runs in code page 1252 (it asks for no other), which lacks these letters:
// GetTempPathA writes them as question marks, or as a look-alike ("Lukasz") that names
// another folder. The directory's short name is taken instead; a directory without one (here:
// one that does not exist) is refused.
TEST_F(Payload, ATempDirectoryNamedOutsideTheCodePageIsTakenByItsShortName)
{
    ASSERT_EQ(GetACP(), 1252u);
    CreateDirectoryA((dir_ + "\\Lukasz").c_str(), nullptr);
    for (const char* name : {u8"Ζωή", u8"Łukasz", u8"日本語", u8"Ζωή-missing"}) {
        SCOPED_TRACE(name);
        bool exists = strcmp(name, u8"Ζωή-missing") != 0;
        std::wstring dir = support::widen(dir_ + "\\" + name);
        if (exists) {
            CreateDirectoryW(dir.c_str(), nullptr);
        }
        SetEnvironmentVariableW(L"TMP", dir.c_str());
        SetEnvironmentVariableW(L"TEMP", dir.c_str());
        char path[MAX_PATH + 1];
        size_t length = 0;
        DWORD result = setup_getTempDirectory(path, sizeof path, &length);
        if (!exists) {
            EXPECT_EQ(result, static_cast<DWORD>(ERROR_INVALID_NAME));
            EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_INVALID_NAME));
            continue;
        }
        ASSERT_EQ(result, 0u);
        EXPECT_EQ(length, strlen(path));
        wchar_t* wide = setup_mbsToWcs(path);
        wchar_t named[MAX_PATH + 1] = {};
        GetLongPathNameW(wide, named, MAX_PATH + 1);
        free(wide);
        EXPECT_EQ(std::wstring(named), dir + L"\\") << path;
    }
}
