// Argument scanning: switch matching, white space, the tokeniser and the pass-through rebuild.
#include "command_line.h"
#include "portable/args_props.h"

#include <gtest/gtest.h>

#include <locale.h>

#include <string>
#include <vector>

using args_props::exactCopy;
using args_props::rebuild;

namespace {

struct RebuildRow {
    const wchar_t* text;
    const wchar_t* expected;
};

// The text after the switches, and the pass-through text made from it.
const RebuildRow rebuildRows[] = {
    {LR"(FOO=1 BAR=2)", LR"(FOO=1 BAR=2)"},
    {LR"(FOO=1    BAR=2  )", LR"(FOO=1 BAR=2)"},
    {L"a\tb", L"a b"},
    {LR"("C:\Program Files\App")", LR"("C:\Program Files\App")"},
    {LR"(INSTALLDIR="C:\Program Files\App")", LR"(INSTALLDIR="C:\Program Files\App")"},
    {LR"("INSTALLDIR=C:\Program Files\App")", LR"("INSTALLDIR=C:\Program Files\App")"},
    {LR"("P="a b"")", LR"(P="a b")"},
    {LR"("A="x y" z")", LR"("A="x y" z")"},
    {LR"(""a b"" c)", LR"("a b" c)"},
    {LR"("a" b)", LR"(a b)"},
    {L"\"a\tb\"", L"\"a\tb\""},
    {LR"(a"b c"d)", LR"(a"b c"d)"},
    {LR"("abc)", LR"("abc)"},
    {LR"("a b"c)", LR"("a b"c)"},
    {LR"(")", LR"(")"},
    {LR"(A="" B)", LR"(A="" B)"},
    // An argument that is empty once its quotes are gone is left out; the rest stays.
    {LR"(FOO=1 "" BAR=2)", LR"(FOO=1 BAR=2)"},
    {LR"("" FOO=1)", LR"(FOO=1)"},
    {LR"(FOO=1 "")", LR"(FOO=1)"},
    {LR"("" "" """")", L""},
    {L"", L""},
    {L" \t ", L""},
    // The room test: quotes are added only where they end before the scan position.
    {LR"(x="a="b c"")", LR"(x="a="b c"")"},
    {LR"("q" x="a="b c"" d)", LR"(q "x="a="b c""" d)"},
    {LR"(x="a="b c"" d)", LR"(x="a="b c"" d)"},
    // Quotes that end exactly at the scan position push the next argument one unit further:
    // the output is one unit longer than the input.
    {LR"(a  x="a="b c"" d)", LR"(a "x="a="b c""" d)"},
    // An argument that lost its own quotes gets them back even behind such a shift.
    {LR"(a  x="a="b c"" "C:\P F")", LR"(a "x="a="b c""" "C:\P F")"},
    {LR"(a  x="a="b c"" "C:\P F" e)", LR"(a "x="a="b c""" "C:\P F" e)"},
};

class Rebuild : public testing::TestWithParam<RebuildRow> { };

TEST_P(Rebuild, GivesThePassThroughText)
{
    const RebuildRow& row = GetParam();
    std::wstring out = rebuild(row.text);
    EXPECT_EQ(out, row.expected);
    EXPECT_EQ(args_props::check(row.text, out), "");
}

INSTANTIATE_TEST_SUITE_P(Rows, Rebuild, testing::ValuesIn(rebuildRows));

std::wstring widen(const char* s) { return std::wstring(s, s + strlen(s)); }

struct SwitchRow {
    const char* word;
    const char* text;
    int matched;
    const char* rest;
};

const SwitchRow switchRows[] = {
    {"--quiet", "--quiet /qn", 1, "/qn"},
    {"--quiet", " \t--QUIET  \t /qn", 1, "/qn"},
    {"--quiet", "--Quiet", 1, ""},
    {"--xzdec", "--XZDEC FOO=1", 1, "FOO=1"},
    // Only the word is compared: a longer word matches and leaves its tail.
    {"--quiet", "--quietly", 1, "ly"},
    {"--wait-parent", "--wait-parentX", 1, "X"},
    // Not at the front: no match, and the position is the first non-white character.
    {"--quiet", "  /qn --quiet", 0, "/qn --quiet"},
    {"--quiet", "--quie", 0, "--quie"},
    {"--quiet", "-quiet", 0, "-quiet"},
    {"--quiet", "", 0, ""},
    {"--quiet", "   ", 0, ""},
};

TEST(MatchSwitch, NarrowAndWideAgree)
{
    for (const SwitchRow& row : switchRows) {
        SCOPED_TRACE(std::string(row.word) + " in [" + row.text + "]");
        int matched = -1;
        const char* rest = setup_matchSwitchA(row.word, row.text, &matched);
        EXPECT_EQ(matched, row.matched);
        EXPECT_STREQ(rest, row.rest);

        std::wstring wideText = widen(row.text);
        matched = -1;
        const wchar_t* wideRest =
            setup_matchSwitchW(widen(row.word).c_str(), wideText.c_str(), &matched);
        EXPECT_EQ(matched, row.matched);
        EXPECT_EQ(std::wstring(wideRest), widen(row.rest));
    }
}

TEST(MatchSwitch, TheMatchedOutIsOptional)
{
    EXPECT_STREQ(setup_matchSwitchA("--quiet", " --quiet x", nullptr), "x");
    EXPECT_EQ(std::wstring(setup_matchSwitchW(L"--quiet", L" --quiet x", nullptr)), L"x");
}

// Each switch is tried once, at the front of what the previous one left.
TEST(MatchSwitch, SwitchesAreFoundOnlyInTheirOrder)
{
    int quiet = -1, xzdec = -1;
    const char* rest = setup_matchSwitchA("--quiet", "--xzdec --quiet", &quiet);
    rest = setup_matchSwitchA("--xzdec", rest, &xzdec);
    EXPECT_EQ(quiet, 0);
    EXPECT_EQ(xzdec, 1);
    EXPECT_STREQ(rest, "--quiet");
}

TEST(WhiteSpace, TheSixControlAndSpaceCharactersAreSkipped)
{
    const char spaces[] = " \t\n\v\f\r";
    std::string narrow = std::string(spaces) + "x";
    EXPECT_STREQ(setup_skipSpacesA(narrow.c_str()), "x");
    std::wstring wide = widen(narrow.c_str());
    EXPECT_EQ(std::wstring(setup_skipSpacesW(wide.c_str())), L"x");
    EXPECT_EQ(*setup_skipSpacesA(spaces), '\0');

    // Each of them separates arguments outside quotes and is kept inside them.
    for (const char* s = spaces; *s != '\0'; ++s) {
        std::wstring sep(1, static_cast<wchar_t>(*s));
        EXPECT_EQ(rebuild(L"a" + sep + sep + L"b"), L"a b");
        EXPECT_EQ(rebuild(L"\"a" + sep + L"b\""), L"\"a" + sep + L"b\"");
    }
}

TEST(WhiteSpace, BytesAboveAsciiAreReadUnsigned)
{
    // A signed char would reach isspace as a negative value.
    EXPECT_STREQ(setup_skipSpacesA("\xA0\xFFx"), "\xA0\xFFx");
}

// Every other character, the no-break and typographic spaces included, is part of an
// argument in both widths: the narrow switch step and the wide rebuild must agree.
TEST(WhiteSpace, NoOtherCharacterSeparatesInEitherWidth)
{
    // A locale that classifies the typographic spaces as white space, where there is one.
    std::string saved = setlocale(LC_ALL, nullptr);
    setlocale(LC_ALL, "C.UTF-8");
    std::vector<unsigned> separating;
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
        if (setup_isSpace(c) || (c >= 0xD800 && c <= 0xDFFF)) {
            continue;
        }
        std::wstring word = L"a";
        word += static_cast<wchar_t>(c);
        word += L"b";
        const char narrow[] = {static_cast<char>(c), 'x', '\0'};
        if (rebuild(L"--x " + word + L" y") != L"--x " + word + L" y"
            || static_cast<unsigned>(
                   *setup_matchSwitchW(L"--x", (static_cast<wchar_t>(c) + word).c_str(), nullptr))
                != c
            || (c <= 0xFF && setup_skipSpacesA(narrow) != narrow)) {
            separating.push_back(c);
        }
    }
    setlocale(LC_ALL, saved.c_str());
    EXPECT_TRUE(separating.empty())
        << separating.size() << " characters, the first U+" << std::hex << separating.front();
}

TEST(NextArg, MarksTheTokenEndAndReturnsTheNextArgument)
{
    auto text = exactCopy(L"a\t \nb");
    wchar_t* token;
    wchar_t* next = setup_nextArgW(text.get(), &token);
    EXPECT_EQ(std::wstring(token), L"a");
    EXPECT_EQ(token, text.get());
    EXPECT_EQ(next, text.get() + 4);
    next = setup_nextArgW(next, &token);
    EXPECT_EQ(std::wstring(token), L"b");
    EXPECT_EQ(*next, L'\0');
    next = setup_nextArgW(next, &token);
    EXPECT_EQ(token, nullptr);
    EXPECT_EQ(*next, L'\0');
}

TEST(NextArg, AnEmptyArgumentIsNoTokenButNotTheEnd)
{
    auto text = exactCopy(LR"("" x)");
    wchar_t* token = text.get();
    wchar_t* next = setup_nextArgW(text.get(), &token);
    EXPECT_EQ(token, nullptr);
    EXPECT_EQ(next, text.get() + 3);
    next = setup_nextArgW(next, nullptr);  // the token out is optional
    EXPECT_EQ(*next, L'\0');
}

TEST(NextArg, ANullTextHasNoToken)
{
    wchar_t* token = reinterpret_cast<wchar_t*>(&token);
    EXPECT_EQ(setup_nextArgW(nullptr, &token), nullptr);
    EXPECT_EQ(token, nullptr);
}

TEST(NextArg, AnUnclosedQuoteRunsToTheEndAndIsKept)
{
    for (const wchar_t* s : {LR"("abc def)", LR"(a"b c)", LR"(x="a="b c)"}) {
        auto text = exactCopy(s);
        wchar_t* token;
        wchar_t* next = setup_nextArgW(text.get(), &token);
        EXPECT_EQ(std::wstring(token), s);
        EXPECT_EQ(next, text.get() + wcslen(s));
    }
}

TEST(NextArg, QuotesAreStrippedInPairsFromBothEnds)
{
    struct {
        const wchar_t* text;
        const wchar_t* token;
    } rows[] = {
        {LR"("a")", L"a"},    {LR"(""a b"")", L"a b"}, {LR"("a b"c)", LR"("a b"c)"},
        {LR"(a")", LR"(a")"}, {LR"(""")", LR"(")"},
    };
    for (const auto& row : rows) {
        auto text = exactCopy(row.text);
        wchar_t* token;
        setup_nextArgW(text.get(), &token);
        ASSERT_NE(token, nullptr) << std::string(row.text, row.text + wcslen(row.text));
        EXPECT_EQ(std::wstring(token), row.token);
    }
}

}  // namespace
