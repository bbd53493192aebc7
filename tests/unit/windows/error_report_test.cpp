// The cached names of the running executable.
#include "report.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

TEST(ExecutableNames, AreCachedAndReleased)
{
    char path[MAX_PATH + 1];
    DWORD len = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(len, 0u);
    std::string full(path, len);
    std::string base = full.substr(full.find_last_of("\\/") + 1);

    const char* baseName = setup_getModuleBaseName();
    ASSERT_NE(baseName, nullptr);
    EXPECT_EQ(baseName, base);
    EXPECT_EQ(setup_getModuleBaseName(), baseName) << "a second call returns the cached text";

    const char* programName = setup_getProgramName();
    ASSERT_NE(programName, nullptr);
    EXPECT_EQ(std::string(programName), base.substr(0, base.size() - 4));
    EXPECT_EQ(setup_getProgramName(), programName);

    setup_releaseNames();
    // Filled again on the next use.
    ASSERT_NE(setup_getProgramName(), nullptr);
    EXPECT_EQ(std::string(setup_getProgramName()), base.substr(0, base.size() - 4));
    setup_releaseNames();
}

TEST(ErrorReport, QuietReturnsTheCodeWithoutADialog)
{
    g_quiet = 1;
    EXPECT_EQ(setup_reportError(5), 5u);
    g_quiet = 0;
}

TEST(ErrorReport, ACodeWithoutSystemTextShowsNoDialog)
{
    // No system message exists for this code, so there is nothing to show: the code stays.
    constexpr DWORD noText = 0x2000FFFF;
    EXPECT_EQ(setup_reportError(noText), noText);
}

// A text with an insert of its own is shown with the insert as it stands, not dropped.
TEST(ErrorReport, ASystemTextWithAnInsertIsRead)
{
    char* text = setup_getSystemText(ERROR_BAD_EXE_FORMAT);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(strstr(text, "%1"), nullptr) << text;
    LocalFree(text);
}
