// The rebuild over generated argument texts: every argument whole, single spaces between,
// nothing read or written outside the buffers (the sanitizers watch the exact-size copies).
#include "command_line.h"
#include "portable/args_props.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string narrow(const std::wstring& w)
{
    std::string s;
    for (wchar_t c : w) {
        s += c == L'\t' ? std::string("<TAB>") : std::string(1, static_cast<char>(c));
    }
    return s;
}

// Texts from single characters, and texts from pieces that make the interesting shapes more
// likely: quoted values, a nested quoted value that needs the room test, empty quotes.
std::wstring generate(std::mt19937& rng)
{
    static const wchar_t letters[] = L"\"= \tab";
    static const wchar_t* const pieces[] = {
        L"\"",          L"=",         L" ",    L"  ",      L"\t",
        L"a",           L"b c",       L"\"\"", L"\"a b\"", L"x=\"a=\"b c\"\"",
        L"\"C:\\P F\"", L"P=\"a b\"",
    };
    std::wstring text;
    int length = static_cast<int>(rng() % 24);
    bool fromPieces = rng() % 2 == 0;
    for (int i = 0; i < length; ++i) {
        if (fromPieces) {
            text += pieces[rng() % std::size(pieces)];
        } else {
            text += letters[rng() % (std::size(letters) - 1)];
        }
    }
    return text;
}

TEST(RebuildProperty, KeepsEveryArgumentWholeOverGeneratedTexts)
{
    std::mt19937 rng(20240611);
    int failures = 0;
    for (int i = 0; i < 5000 && failures < 5; ++i) {
        std::wstring text = generate(rng);
        std::wstring out = args_props::rebuild(text);
        std::string broken = args_props::check(text, out);
        if (!broken.empty()) {
            ++failures;
            ADD_FAILURE() << broken << "\n  text [" << narrow(text) << "]\n  out  [" << narrow(out)
                          << "]";
        }
    }
}

}  // namespace
