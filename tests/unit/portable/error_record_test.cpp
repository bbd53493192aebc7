// The error record and the naming rules behind the dialog caption.
#include "report.h"

#include <gtest/gtest.h>

#include <string>

TEST(ErrorRecord, KeepsTheMostRecentEntryAndNeverShrinksItsBuffer)
{
    setup_recordError(5, "setup", 42);
    EXPECT_EQ(setup_getErrorCode(), 5u);
    EXPECT_STREQ(setup_getErrorFile(), "setup");
    EXPECT_EQ(setup_getErrorLine(), 42);

    setup_recordError(87, "a-much-longer-unit-name", 7);
    const char* grown = setup_getErrorFile();
    EXPECT_STREQ(grown, "a-much-longer-unit-name");

    // A shorter name is copied into the buffer held now.
    setup_recordError(2, "x", 9);
    EXPECT_EQ(setup_getErrorFile(), grown);
    EXPECT_STREQ(setup_getErrorFile(), "x");
    EXPECT_EQ(setup_getErrorCode(), 2u);
    EXPECT_EQ(setup_getErrorLine(), 9);

    // The growth test compares with the text held ("x"), not with the buffer's size.
    setup_recordError(3, "setup", 11);
    EXPECT_STREQ(setup_getErrorFile(), "setup");

    SETUP_RECORD(14);
    EXPECT_EQ(setup_getErrorCode(), 14u);
    EXPECT_STREQ(setup_getErrorFile(), "setup");
    EXPECT_EQ(setup_getErrorLine(), __LINE__ - 3);
}

static std::string baseName(const std::string& path)
{
    return path.substr(setup_baseNameOffset(path.c_str(), path.size()));
}

TEST(Names, BaseNameFollowsTheLastSeparatorOfEitherKind)
{
    EXPECT_EQ(baseName("C:\\dir/sub\\setup.exe"), "setup.exe");
    EXPECT_EQ(baseName("C:/dir\\sub/setup.exe"), "setup.exe");
    EXPECT_EQ(baseName("C:\\Program Files\\App\\Setup.EXE"), "Setup.EXE");
    EXPECT_EQ(baseName("setup.exe"), "setup.exe");
    EXPECT_EQ(baseName("\\setup.exe"), "setup.exe");
    // A path that ends in a separator is its own base name.
    EXPECT_EQ(baseName("C:\\dir\\"), "C:\\dir\\");
    EXPECT_EQ(baseName("C:/dir/"), "C:/dir/");
    EXPECT_EQ(baseName(""), "");
}

TEST(Names, ProgramNameDropsAFinalExeInAnyCase)
{
    const std::pair<const char*, const char*> cases[] = {
        {"setup.exe", "setup"},
        {"SETUP.EXE", "SETUP"},
        {"Setup.EXE", "Setup"},
        {"tool.msi.exe", "tool.msi"},
        {"setup", "setup"},
        {".exe", ".exe"},
        {"a.exe", "a"},
        {"setup.exe.bak", "setup.exe.bak"},
        {"exe", "exe"},
        {"x.ExE", "x"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(c.first, setup_programNameLength(c.first)), c.second) << c.first;
    }
}
