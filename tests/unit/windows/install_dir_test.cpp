// The install-directory property from the environment variable and from the text after
// --allow-elevation.
#include "command_line.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

const std::wstring propertyName = L"VORLANE_AUTOUPDATE_INSTALLDIR=";

// Leaves the variable, the extra text and the flag as it found them.
class InstallDir : public testing::Test {
protected:
    void SetUp() override
    {
        DWORD n = GetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, savedValue_, sizeof savedValue_);
        hadValue_ = n > 0 && n < sizeof savedValue_;
        SetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, nullptr);
        savedExtra_ = g_msiexecExtra;
        savedAllow_ = g_allowElevation;
        g_msiexecExtra = nullptr;
        // A mark in the error record: a step that records nothing leaves it.
        setup_recordError(12345, "mark", 1);
    }
    void TearDown() override
    {
        SetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, hadValue_ ? savedValue_ : nullptr);
        free(g_msiexecExtra);
        g_msiexecExtra = savedExtra_;
        g_allowElevation = savedAllow_;
    }

    // The environment branch: the quoted value, or "" when there is none.
    std::string readVariable(size_t* length)
    {
        char buffer[SETUP_QUOTE_BUFFER_SIZE];
        const char* text = setup_readInstallDirEnv(buffer, length);
        return text == nullptr ? std::string() : std::string(text);
    }

    // The directory part of the property built from text; "(none)" when none was built.
    std::wstring directoryFrom(const char* text)
    {
        free(g_msiexecExtra);
        g_msiexecExtra = nullptr;
        setup_buildInstallDirProperty(text);
        if (g_msiexecExtra == nullptr) {
            return L"(none)";
        }
        std::wstring property = g_msiexecExtra;
        EXPECT_EQ(property.compare(0, propertyName.size(), propertyName), 0);
        return property.substr(propertyName.size());
    }

private:
    char savedValue_[SETUP_QUOTE_BUFFER_SIZE];
    bool hadValue_ = false;
    wchar_t* savedExtra_ = nullptr;
    int savedAllow_ = 0;
};

TEST_F(InstallDir, TheValueIsQuotedOnceAndBecomesTheProperty)
{
    for (const char* value : {R"(C:\Program Files\App)", R"("C:\Program Files\App")"}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(SetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, value));
        size_t length = 0;
        std::string text = readVariable(&length);
        EXPECT_EQ(text, R"("C:\Program Files\App")");
        EXPECT_EQ(length, text.size());
        EXPECT_EQ(directoryFrom(text.c_str()), LR"("C:\Program Files\App")");
    }
    EXPECT_EQ(std::wstring(g_msiexecExtra),
              LR"(VORLANE_AUTOUPDATE_INSTALLDIR="C:\Program Files\App")");
    EXPECT_EQ(setup_getErrorCode(), 12345u);
}

TEST_F(InstallDir, AMissingVariableIsSilent)
{
    size_t length = 99;
    EXPECT_EQ(readVariable(&length), "");
    EXPECT_EQ(setup_getErrorCode(), 12345u);
}

TEST_F(InstallDir, AValueOf260CharactersIsUsedAndOneOf261Records8)
{
    std::string value(260, 'd');
    ASSERT_TRUE(SetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, value.c_str()));
    size_t length = 0;
    EXPECT_EQ(readVariable(&length), '"' + value + '"');
    EXPECT_EQ(length, 262u);
    EXPECT_EQ(setup_getErrorCode(), 12345u);

    value += 'd';
    ASSERT_TRUE(SetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, value.c_str()));
    EXPECT_EQ(readVariable(&length), "");
    EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST_F(InstallDir, ALoneQuoteIsWrappedAndGivesNoDirectory)
{
    ASSERT_TRUE(SetEnvironmentVariableA(SETUP_INSTALL_DIR_VAR, "\""));
    size_t length = 0;
    std::string text = readVariable(&length);
    EXPECT_EQ(text, "\"\"\"");
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(directoryFrom(text.c_str()), L"(none)");
}

TEST_F(InstallDir, TheDirectoryIsTheOnlyArgumentOrTheSecondOfTwo)
{
    struct {
        const char* text;
        const wchar_t* directory;
    } rows[] = {
        {R"(D:\Dir)", LR"("D:\Dir")"},  {R"("C:\A" "C:\B")", LR"("C:\B")"},
        {R"(D:\Dir /qn)", LR"("/qn")"}, {R"("C:\A" x y)", L"(none)"},
        {R"("")", L"(none)"},           {"", L"(none)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(directoryFrom(row.text), row.directory);
    }
    // None of these is a failure.
    EXPECT_EQ(setup_getErrorCode(), 12345u);
}

}  // namespace
