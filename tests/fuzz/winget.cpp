// Fuzzes the winget manifests' hand-written text rules: the YAML quoting and the identifier.
//
// Input: two texts split at the first NUL byte, any bytes. The quoted form of each must hold
// no raw control character and read back, escapes undone, as the text (bytes that are no UTF-8
// as U+FFFD); an identifier made of the two must pass the identifier check, or be none.
//
// Seeds: names with the characters YAML and identifiers care about, and broken UTF-8.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "winget.h"

namespace {

std::string utf8(uint32_t cp)
{
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
    } else if (cp < 0x10000) {
        out += {static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
                static_cast<char>(0x80 | (cp & 0x3F))};
    } else {
        out += {static_cast<char>(0xF0 | cp >> 18), static_cast<char>(0x80 | (cp >> 12 & 0x3F)),
                static_cast<char>(0x80 | (cp >> 6 & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    }
    return out;
}

// The double-quoted scalar's escapes undone (only those the writer uses).
std::string unquote(const std::string& q)
{
    if (q.size() < 2 || q.front() != '"' || q.back() != '"') {
        abort();
    }
    std::string out;
    for (size_t i = 1; i + 1 < q.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(q[i]);
        if (c < 0x20 || c == 0x7F || c == '"') {
            abort();  // raw, where a parser would end or bend the scalar
        }
        if (c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        char e = q.at(++i);
        size_t digits = e == 'x' ? 2 : e == 'u' ? 4 : 0;
        if (digits == 0) {
            const char* plain = strchr("\"\\tnr", e);
            if (plain == nullptr) {
                abort();
            }
            out += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            continue;
        }
        out += utf8(static_cast<uint32_t>(strtoul(q.substr(i + 1, digits).c_str(), nullptr, 16)));
        i += digits;
    }
    return out;
}

std::string normalised(const std::string& text)
{
    std::string out;
    for (size_t at = 0; at < text.size();) {
        out += utf8(pack_wingetNextCodePoint(text, &at));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t nul = input.find('\0');
    std::string a = input.substr(0, nul), b = nul == std::string::npos ? "" : input.substr(nul + 1);
    for (const std::string* text : {&a, &b}) {
        if (unquote(pack_yamlString(*text)) != normalised(*text)) {
            abort();
        }
    }
    std::string id = pack_wingetIdentifierFrom(a, b);
    if (!id.empty() && !pack_wingetCheckIdentifier(id).empty()) {
        abort();
    }
    return 0;
}
