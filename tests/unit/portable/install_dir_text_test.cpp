// The install-directory text: quoting the environment value and the property assignment.
#include "command_line.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

namespace {

// Quotes value as read into a buffer of exactly the promised size, at its second byte.
std::string quote(const std::string& value, size_t* length, size_t* offset)
{
    std::unique_ptr<char[]> buffer(new char[SETUP_QUOTE_BUFFER_SIZE]);
    memcpy(buffer.get() + 1, value.c_str(), value.size() + 1);
    char* text = setup_quoteInstallDir(buffer.get(), value.size(), length);
    *offset = static_cast<size_t>(text - buffer.get());
    return std::string(text);
}

TEST(QuoteInstallDir, WrapsAValueUnlessItIsQuotedAlready)
{
    struct {
        const char* value;
        const char* text;
        size_t offset;
    } rows[] = {
        {R"(C:\Program Files\App)", R"("C:\Program Files\App")", 0},
        {R"("C:\Program Files\App")", R"("C:\Program Files\App")", 1},
        {R"("")", R"("")", 1},
        // A lone quote, or a quote at one end only, is not a quoted value.
        {R"(")", R"(""")", 0},
        {R"("abc)", R"(""abc")", 0},
        {R"(abc")", R"("abc"")", 0},
        {"x", R"("x")", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        size_t length = 0, offset = 9;
        std::string text = quote(row.value, &length, &offset);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(length, text.size());
        EXPECT_EQ(offset, row.offset);
    }
}

TEST(QuoteInstallDir, TheLongestValueFitsWithItsQuotes)
{
    size_t length = 0, offset = 9;
    std::string value(SETUP_INSTALL_DIR_MAX, 'd');
    EXPECT_EQ(quote(value, &length, &offset), '"' + value + '"');
    EXPECT_EQ(length, SETUP_INSTALL_DIR_MAX + 2);
}

TEST(InstallDirProperty, IsTheNameAnEqualsSignAndTheQuotedDirectory)
{
    EXPECT_STREQ(SETUP_INSTALL_DIR_VAR, "VORLANE_AUTOUPDATE_INSTALLDIR");
    const wchar_t dir[] = LR"(C:\Program Files\App and more)";
    // Only dirLen units of dir are taken; the directory is not escaped.
    wchar_t* property = setup_makeInstallDirProperty(dir, 20);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(std::wstring(property), LR"(VORLANE_AUTOUPDATE_INSTALLDIR="C:\Program Files\App")");
    free(property);

    property = setup_makeInstallDirProperty(LR"(a"b)", 3);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(std::wstring(property), LR"(VORLANE_AUTOUPDATE_INSTALLDIR="a"b")");
    free(property);
}

TEST(InstallDirProperty, AnImpossibleLengthGivesNone)
{
    EXPECT_EQ(setup_makeInstallDirProperty(L"x", static_cast<size_t>(-1) / 2), nullptr);
}

}  // namespace
