// What the rebuild of an argument text must keep, checked over generated and fuzzed texts.
//
// "Whole" is defined against the tokens of the input: the output is those tokens, each either
// as it is or wrapped in one pair of quotes, joined by single spaces. Re-scanning the output
// does not in general give the input tokens back: quotes are added without escaping, so an
// argument that holds quotes of its own can read differently once wrapped (`="<TAB>="a<TAB>a`
// needs quotes, and wrapped it re-scans as `=` followed by another argument). What
// re-scanning does give back is every token of a text whose arguments hold no quotes after
// stripping; that is checked as well.
#pragma once

#include "command_line.h"

#include <memory>
#include <string>
#include <vector>

namespace args_props {

struct Token {
    std::wstring text;
    bool stripped;  // its surrounding quotes were removed by the tokeniser
};

// A heap copy of exactly the text and its NUL, so that the sanitizer sees any overrun.
inline std::unique_ptr<wchar_t[]> exactCopy(const std::wstring& text)
{
    std::unique_ptr<wchar_t[]> copy(new wchar_t[text.size() + 1]);
    text.copy(copy.get(), text.size());
    copy[text.size()] = L'\0';
    return copy;
}

inline std::vector<Token> scanTokens(const std::wstring& text)
{
    std::unique_ptr<wchar_t[]> copy = exactCopy(text);
    std::vector<Token> tokens;
    wchar_t* r = copy.get();
    while (r != nullptr && *r != L'\0') {
        const wchar_t* rawStart = setup_skipSpacesW(r);
        wchar_t* token;
        r = setup_nextArgW(r, &token);
        if (token != nullptr) {
            tokens.push_back({token, token != rawStart});
        }
    }
    return tokens;
}

// The rebuild of text, from and into buffers of exactly the promised sizes.
inline std::wstring rebuild(const std::wstring& text)
{
    std::unique_ptr<wchar_t[]> in = exactCopy(text);
    std::unique_ptr<wchar_t[]> out(new wchar_t[text.size() + 2]);
    return setup_rebuildArgsW(in.get(), out.get());
}

inline bool holdsSpaceOutsideQuotes(const std::wstring& token)
{
    bool inside = false;
    for (wchar_t c : token) {
        if (c == L'"') {
            inside = !inside;
        } else if (!inside && setup_isSpace(static_cast<unsigned long>(c))) {
            return true;
        }
    }
    return false;
}

// Can output[pos..] be tokens[i..], each bare or quoted, joined by single spaces? Quotes are
// allowed only on a token that holds white space outside quotes, and required on such a token
// that lost its own quotes.
inline bool matchesFrom(const std::vector<Token>& tokens, size_t i, const std::wstring& output,
                        size_t pos)
{
    if (i == tokens.size()) {
        return pos == output.size();
    }
    const Token& t = tokens[i];
    bool needs = holdsSpaceOutsideQuotes(t.text);
    for (int quoted = 0; quoted < 2; ++quoted) {
        if ((quoted && !needs) || (!quoted && needs && t.stripped)) {
            continue;
        }
        std::wstring piece = quoted ? L"\"" + t.text + L"\"" : t.text;
        if (output.compare(pos, piece.size(), piece) != 0) {
            continue;
        }
        size_t end = pos + piece.size();
        bool last = i + 1 == tokens.size();
        if (last ? matchesFrom(tokens, i + 1, output, end)
                 : end < output.size() && output[end] == L' '
                    && matchesFrom(tokens, i + 1, output, end + 1)) {
            return true;
        }
    }
    return false;
}

// Empty when the output of the rebuild of input keeps every rule, else what it breaks.
inline std::string check(const std::wstring& input, const std::wstring& output)
{
    std::vector<Token> tokens = scanTokens(input);
    if (output.size() > input.size() + 1) {
        return "the output outgrows the input by more than one unit";
    }
    if (!matchesFrom(tokens, 0, output, 0)) {
        return "the output is not the input's arguments, whole, joined by single spaces";
    }
    for (const Token& t : tokens) {
        if (t.text.find(L'"') != std::wstring::npos) {
            return "";
        }
    }
    std::vector<Token> again = scanTokens(output);
    bool same = again.size() == tokens.size();
    for (size_t i = 0; same && i < tokens.size(); ++i) {
        same = again[i].text == tokens[i].text;
    }
    return same ? "" : "re-scanning the output does not give the arguments back";
}

}  // namespace args_props
