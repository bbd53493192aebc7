// Argument scanning: the switch matchers, the tokeniser and the rebuild of the arguments that
// are handed on to the installer.
#include "command_line.h"

#include <string.h>
#include <wchar.h>

const char* setup_skipSpacesA(const char* text)
{
    while (*text != '\0' && setup_isSpace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    return text;
}

const wchar_t* setup_skipSpacesW(const wchar_t* text)
{
    while (*text != L'\0' && setup_isSpace(*text)) {
        ++text;
    }
    return text;
}

// Only the word is compared: "--quietly" matches "--quiet" and leaves "ly" as an argument.
const char* setup_matchSwitchA(const char* word, const char* text, int* matched)
{
    text = setup_skipSpacesA(text);
    size_t n = strlen(word);
    int found = _strnicmp(text, word, n) == 0;
    if (found) {
        text = setup_skipSpacesA(text + n);
    }
    if (matched != nullptr) {
        *matched = found;
    }
    return text;
}

const wchar_t* setup_matchSwitchW(const wchar_t* word, const wchar_t* text, int* matched)
{
    text = setup_skipSpacesW(text);
    size_t n = wcslen(word);
    int found = _wcsnicmp(text, word, n) == 0;
    if (found) {
        text = setup_skipSpacesW(text + n);
    }
    if (matched != nullptr) {
        *matched = found;
    }
    return text;
}

// Quote depth after a quote at position p of a token starting at start. Depth 2 is a quoted
// value inside quotes (P="a b" within "..."), or a token opened by two quotes; in it a quote
// only steps back to depth 1, so the value's closing quote does not end the outer quotes.
static int depthAfterQuote(int depth, const wchar_t* start, const wchar_t* p)
{
    if (depth != 1) {
        return 1;
    }
    wchar_t next = p[1];
    if (next == L'\0' || setup_isSpace(next)) {
        return 0;
    }
    if (p > start && p[-1] == L'=') {
        return 2;
    }
    if (p == start + 1 && start[0] == L'"') {
        return 2;
    }
    return 0;
}

// The returned position is the whole state of a scan. An argument that is empty after
// stripping comes back as no token, like the end of the text; only the returned position
// tells them apart. NULs written behind the tokens make the text good for one scan only.
wchar_t* setup_nextArgW(wchar_t* text, wchar_t** token)
{
    wchar_t* dummy;
    wchar_t** out = token != nullptr ? token : &dummy;
    *out = nullptr;
    if (text == nullptr) {
        return nullptr;
    }
    wchar_t* start = text + (setup_skipSpacesW(text) - text);
    if (*start == L'\0') {
        return start;
    }
    int depth = 0;
    wchar_t* end = start;
    wchar_t* resume = nullptr;
    for (; *end != L'\0'; ++end) {
        if (depth == 0 && setup_isSpace(*end)) {
            *end = L'\0';
            resume = end + 1 + (setup_skipSpacesW(end + 1) - (end + 1));
            break;
        }
        if (*end == L'"') {
            depth = depthAfterQuote(depth, start, end);
        }
    }
    if (resume == nullptr) {
        resume = end;
    }
    while (end - start >= 2 && start[0] == L'"' && end[-1] == L'"') {
        *--end = L'\0';
        ++start;
    }
    if (end != start) {
        *out = start;
    }
    return resume;
}

// True when the token holds white space outside quotes, counting quotes by parity.
static bool needsQuotes(const wchar_t* token)
{
    bool inside = false;
    for (; *token != L'\0'; ++token) {
        if (*token == L'"') {
            inside = !inside;
        } else if (!inside && setup_isSpace(*token)) {
            return true;
        }
    }
    return false;
}

// The rebuild keeps to the positions of the text it reads: a token is re-quoted only when the
// quoted form, written from the output position, ends before the scan position (the room
// test), so the output never outgrows the input by more than the one separator that can
// follow such a quoted form. A token that lost its own quotes in the tokeniser always gets
// them back when it needs them: they fit where its own quotes stood. Without that exception a
// quoted path behind a re-quoted argument could lose its quotes and reach the installer as
// two arguments.
wchar_t* setup_rebuildArgsW(wchar_t* text, wchar_t* out)
{
    size_t w = 0;
    wchar_t* r = text;
    while (r != nullptr && *r != L'\0') {
        const wchar_t* rawStart = setup_skipSpacesW(r);
        wchar_t* token;
        r = setup_nextArgW(r, &token);
        if (token == nullptr) {
            continue;  // an argument that was empty after its quotes were stripped
        }
        if (w > 0) {
            out[w++] = L' ';
        }
        size_t n = wcslen(token);
        size_t scanned = static_cast<size_t>(r - text);
        bool quote = needsQuotes(token) && (token != rawStart || scanned > w + n + 1);
        if (quote) {
            out[w++] = L'"';
        }
        memcpy(out + w, token, n * sizeof(wchar_t));
        w += n;
        if (quote) {
            out[w++] = L'"';
        }
    }
    out[w] = L'\0';
    return out;
}
