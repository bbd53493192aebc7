// Texts as YAML double-quoted scalars. Every value is written this one way, so that a product
// name with ": ", " #", quotes, a leading "-", "*" or "&", or a word such as "yes" reads back as
// the text it is; only what the double-quoted style itself gives meaning to is escaped, and
// what YAML does not print, or reads as a line break.
#include "winget.h"

#include <stdio.h>

uint32_t pack_wingetNextCodePoint(const std::string& utf8, size_t* at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
    uint32_t c = byte(*at);
    size_t n = c < 0x80         ? 0
        : c >= 0xC2 && c < 0xE0 ? 1
        : c >= 0xE0 && c < 0xF0 ? 2
        : c >= 0xF0 && c < 0xF5 ? 3
                                : 4;
    if (n == 4 || *at + n >= utf8.size() + (n == 0)) {
        ++*at;
        return n == 0 ? c : 0xFFFD;
    }
    uint32_t cp = n == 0 ? c : c & (0x3F >> n);
    for (size_t i = 1; i <= n; ++i) {
        if ((byte(*at + i) & 0xC0) != 0x80) {
            ++*at;
            return 0xFFFD;
        }
        cp = cp << 6 | (byte(*at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values above U+10FFFF are no UTF-8.
    static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF) {
        ++*at;
        return 0xFFFD;
    }
    *at += n + 1;
    return cp;
}

namespace {

void pack_appendUtf8(uint32_t cp, std::string* out)
{
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | cp >> 6));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | cp >> 12));
        out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | cp >> 18));
        out->push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Printable for YAML and no line break to a reader of YAML 1.1 either (NEL, LS, PS), nor a
// byte order mark that a reader may drop.
bool pack_yamlPlain(uint32_t cp)
{
    return (cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp < 0xD800 && cp != 0x2028 && cp != 0x2029)
        || (cp >= 0xE000 && cp < 0xFFFE && cp != 0xFEFF) || cp >= 0x10000;
}

}  // namespace

std::string pack_yamlString(const std::string& utf8)
{
    std::string out = "\"";
    for (size_t at = 0; at < utf8.size();) {
        uint32_t cp = pack_wingetNextCodePoint(utf8, &at);
        if (cp == '"' || cp == '\\') {
            out += '\\';
            out += static_cast<char>(cp);
        } else if (pack_yamlPlain(cp)) {
            pack_appendUtf8(cp, &out);
        } else if (cp == '\t' || cp == '\n' || cp == '\r') {
            out += cp == '\t' ? "\\t" : cp == '\n' ? "\\n" : "\\r";
        } else {
            char escape[8];
            snprintf(escape, sizeof escape, cp < 0x100 ? "\\x%02X" : "\\u%04X",
                     static_cast<unsigned>(cp));
            out += escape;
        }
    }
    return out + "\"";
}
