// The text rules of the branding values: UTF-8 checked and widened for the version record, and
// versions of one to four numbers.
#include "text.h"

#include <algorithm>

bool pack_utf16(const std::string& utf8, std::u16string* out)
{
    out->clear();
    for (size_t i = 0; i < utf8.size();) {
        uint8_t c = static_cast<uint8_t>(utf8[i]);
        size_t extra = c < 0x80  ? 0
            : (c & 0xE0) == 0xC0 ? 1
            : (c & 0xF0) == 0xE0 ? 2
            : (c & 0xF8) == 0xF0 ? 3
                                 : 9;
        if (extra == 9 || extra > utf8.size() - i - 1) {
            return false;
        }
        uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k) {
            uint8_t d = static_cast<uint8_t>(utf8[i + k]);
            if ((d & 0xC0) != 0x80) {
                return false;
            }
            cp = cp << 6 | (d & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        if (cp >= 0x10000) {
            out->push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out->push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out->push_back(static_cast<char16_t>(cp));
        }
        i += 1 + extra;
    }
    return true;
}

bool pack_parseVersion(const std::string& text, uint16_t out[4])
{
    uint16_t version[4] = {};
    size_t part = 0, digits = 0;
    uint32_t value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        char c = i < text.size() ? text[i] : '.';
        if (c >= '0' && c <= '9' && digits < 6) {
            value = value * 10 + uint32_t(c - '0');
            ++digits;
            continue;
        }
        if (c != '.' || digits == 0 || value > 0xFFFF || part == 4) {
            return false;
        }
        version[part++] = static_cast<uint16_t>(value);
        value = 0;
        digits = 0;
    }
    std::copy(version, version + 4, out);
    return true;
}
