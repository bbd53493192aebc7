// The command line steps: the argument text behind the program name, the narrow switches and
// the pass-through text, over the system's own command-line split.
#include "command_line.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

// Leaves the process-wide flags and the extra text as it found them.
class CommandLine : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = {g_waitParent, g_allowElevation, g_quiet, g_xzdec, g_msiexecExtra};
        g_waitParent = g_allowElevation = g_quiet = g_xzdec = 0;
        g_msiexecExtra = nullptr;
    }
    void TearDown() override
    {
        free(g_msiexecExtra);
        g_waitParent = saved_.waitParent;
        g_allowElevation = saved_.allowElevation;
        g_quiet = saved_.quiet;
        g_xzdec = saved_.xzdec;
        g_msiexecExtra = saved_.extra;
    }

    // The argument phases as the run sequence takes them: the pass-through step only without
    // --allow-elevation and with text left.
    const char* parse(const char* argumentText)
    {
        const char* rest = setup_parseNarrowSwitches(argumentText);
        if (!g_allowElevation && *rest != '\0') {
            setup_parsePassThrough(rest);
        }
        return rest;
    }

private:
    struct {
        int waitParent, allowElevation, quiet, xzdec;
        wchar_t* extra;
    } saved_;
};

struct TextRow {
    const wchar_t* commandLine;
    const char* argumentText;
};

TEST_F(CommandLine, ArgumentTextStartsBehindTheProgramName)
{
    const TextRow rows[] = {
        {LR"("C:\dir with space\setup.exe" FOO=1)", " FOO=1"},
        {LR"(C:\setup.exe --quiet  /qn)", " --quiet  /qn"},
        {LR"(setup.exe)", ""},
        {LR"("C:\a b\setup.exe")", ""},
        // What sticks to the quoted name goes with it.
        {LR"("C:\a b\setup.exe"x y)", " y"},
        {L"setup.exe\tA=1", "\tA=1"},
    };
    for (const TextRow& row : rows) {
        std::wstring line = row.commandLine;
        SCOPED_TRACE(std::string(line.begin(), line.end()));
        char* text = nullptr;
        EXPECT_EQ(setup_getArgumentTextOf(row.commandLine, &text), 0u);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, row.argumentText);
        free(text);
    }
}

// This program runs in code page 1252, the bench's locale's (it has no manifest asking for
// UTF-8, as setup.exe's does): a character of the code page keeps its form, one outside it
// becomes the default character. In setup.exe's UTF-8 every character keeps its form (the
// end-to-end case StandInCodePage). The rows above hold in any code page.
TEST_F(CommandLine, InCodePage1252ACharacterOutsideItBecomesAQuestionMark)
{
    ASSERT_EQ(GetACP(), 1252u);
    char* text = nullptr;
    EXPECT_EQ(setup_getArgumentTextOf(L"setup.exe A=\u00e9\u0142", &text), 0u);
    EXPECT_STREQ(text, " A=\xe9?");
    free(text);
}

TEST_F(CommandLine, NoOrAnEmptyCommandLineGivesNoTextAndNoFailure)
{
    char* text = reinterpret_cast<char*>(&text);
    EXPECT_EQ(setup_getArgumentTextOf(nullptr, &text), 0u);
    EXPECT_EQ(text, nullptr);
    text = reinterpret_cast<char*>(&text);
    EXPECT_EQ(setup_getArgumentTextOf(L"", &text), 0u);
    EXPECT_EQ(text, nullptr);
}

TEST_F(CommandLine, TheProcessCommandLineHasTheTestsOwnArguments)
{
    char* text = nullptr;
    ASSERT_EQ(setup_getArgumentText(&text), 0u);
    ASSERT_NE(text, nullptr);
    // Whatever ctest passed, the program name is not part of it.
    EXPECT_EQ(std::string(text).find("unit_windows"), std::string::npos) << text;
    free(text);
}

struct SwitchRow {
    const char* argumentText;
    int waitParent, allowElevation, quiet, xzdec;
    const char* rest;  // the narrow remainder
    const wchar_t* passThrough;  // null: no pass-through step
};

TEST_F(CommandLine, SwitchesAndPassThroughByArgumentText)
{
    const SwitchRow rows[] = {
        {" --wait-parent --quiet --xzdec FOO=1", 1, 0, 1, 1, "--quiet --xzdec FOO=1", L"FOO=1"},
        {" --quiet", 0, 0, 1, 0, "--quiet", L""},
        {" --xzdec --quiet", 0, 0, 0, 1, "--xzdec --quiet", L"--quiet"},
        {" --QUIET /qn", 0, 0, 1, 0, "--QUIET /qn", L"/qn"},
        {" --quiet --wait-parent", 0, 0, 1, 0, "--quiet --wait-parent", L"--wait-parent"},
        {" --wait-parent", 1, 0, 0, 0, "", nullptr},
        {" --allow-elevation --wait-parent", 0, 1, 0, 0, "--wait-parent", nullptr},
        {" --allow-elevation --quiet", 0, 1, 0, 0, "--quiet", nullptr},
        {" --wait-parent --allow-elevation D:\\Dir", 1, 1, 0, 0, "D:\\Dir", nullptr},
        {"", 0, 0, 0, 0, "", nullptr},
        {" --quietly", 0, 0, 1, 0, "--quietly", L"ly"},
        {" --Wait-Parent\t--XZDEC \"C:\\P F\"  \"\" A=1", 1, 0, 0, 1,
         "--XZDEC \"C:\\P F\"  \"\" A=1", L"\"C:\\P F\" A=1"},
    };
    for (const SwitchRow& row : rows) {
        SCOPED_TRACE(row.argumentText);
        g_waitParent = g_allowElevation = g_quiet = g_xzdec = 0;
        EXPECT_STREQ(parse(row.argumentText), row.rest);
        EXPECT_EQ(g_waitParent, row.waitParent);
        EXPECT_EQ(g_allowElevation, row.allowElevation);
        EXPECT_EQ(g_quiet, row.quiet);
        EXPECT_EQ(g_xzdec, row.xzdec);
        if (row.passThrough == nullptr) {
            EXPECT_EQ(g_msiexecExtra, nullptr);
        } else {
            ASSERT_NE(g_msiexecExtra, nullptr);
            EXPECT_EQ(std::wstring(g_msiexecExtra), row.passThrough);
        }
        free(g_msiexecExtra);
        g_msiexecExtra = nullptr;
    }
}

// From the raw command line to the installer's extra text, as a run takes it.
TEST_F(CommandLine, AQuotedPathAndAnEmptyArgumentReachThePassThroughText)
{
    char* text = nullptr;
    ASSERT_EQ(setup_getArgumentTextOf(
                  LR"("C:\dir with space\setup.exe" --wait-parent FOO=1 "" "C:\Program Files\App")",
                  &text),
              0u);
    ASSERT_NE(text, nullptr);
    parse(text);
    EXPECT_EQ(g_waitParent, 1);
    ASSERT_NE(g_msiexecExtra, nullptr);
    EXPECT_EQ(std::wstring(g_msiexecExtra), LR"(FOO=1 "C:\Program Files\App")");
    free(text);
}

}  // namespace
