// The choice between the user's language and English, apart from the locale of the bench.
#include "report.h"

#include <gtest/gtest.h>

#include <wchar.h>

namespace {

std::string choose(const wchar_t* text, UINT codePage)
{
    const wchar_t english[] = L"Continue anyway?";
    char out[64];
    int n = setup_chooseText(text, static_cast<int>(wcslen(text)), english,
                             static_cast<int>(wcslen(english)), codePage, out, sizeof out);
    return std::string(out, n > 0 ? n : 0);
}

}  // namespace

TEST(Texts, TheUserLanguageOnlyWhereTheCodePageShowsEveryCharacter)
{
    const wchar_t japanese[] = L"\u7d9a\u884c\u3057\u307e\u3059\u304b?";
    const wchar_t polish[] = L"Czy mimo to kontynuowa\u0107? \u0142";
    // A Japanese user interface on a system whose ANSI code page is 1252.
    EXPECT_EQ(choose(japanese, 1252), "Continue anyway?");
    EXPECT_EQ(choose(japanese, 932), "\x91\xb1\x8ds\x82\xb5\x82\xdc\x82\xb7\x82\xa9?");
    EXPECT_EQ(choose(japanese, CP_UTF8), "\u7d9a\u884c\u3057\u307e\u3059\u304b?");
    // Nor look-alikes: 1252 has no "c" with acute or "l" with stroke, only "c" and "l".
    EXPECT_EQ(choose(polish, 1252), "Continue anyway?");
    EXPECT_EQ(choose(polish, 1250), "Czy mimo to kontynuowa\xe6? \xb3");
}

// A stub without entry 2 (this test program has no string table at all) asks no question, on
// x64 and ARM64 alike.
TEST(Texts, NoQuestionWithoutEntry2OnEitherMachine)
{
    char out[1024];
    EXPECT_EQ(setup_loadText(2, out, sizeof out), 0);
    EXPECT_EQ(setup_loadText(2, out, sizeof out, true), 0);
}
