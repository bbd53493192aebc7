// Running the real Windows Installer of the prefix and reading how it ended.
#include "package.h"
#include "files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring example(const char* name)
{
    std::string path = support::binaryDir() + "\\examples\\" + name;
    return std::wstring(path.begin(), path.end());
}

class Msiexec : public testing::Test {
protected:
    void SetUp() override
    {
        savedExtra_ = g_msiexecExtra;
        g_msiexecExtra = quiet_;
        setup_recordError(0, "none", 0);
    }
    void TearDown() override { g_msiexecExtra = savedExtra_; }

    wchar_t quiet_[4] = L"/qn";
    wchar_t* savedExtra_ = nullptr;
};

TEST_F(Msiexec, NoPackagePath)
{
    EXPECT_EQ(setup_runMsiexec(nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_STREQ(setup_getErrorFile(), "setup");
}

// The installer's own failure is the result, recorded where it is read, not a success.
TEST_F(Msiexec, AFailedInstallationIsReturned)
{
    EXPECT_EQ(setup_runMsiexec(example("failing.msi").c_str()), 1603u);
    EXPECT_EQ(setup_getErrorCode(), 1603u);
    EXPECT_STREQ(setup_getErrorFile(), "setup");
}

TEST_F(Msiexec, AMissingPackageIsAFailure)
{
    DWORD result = setup_runMsiexec(example("no such package.msi").c_str());
    EXPECT_NE(result, 0u);
    EXPECT_EQ(setup_getErrorCode(), result);
}

}  // namespace
