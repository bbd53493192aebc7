// The text rules of the branding values, from the package or the command line.
#pragma once

#include <stdint.h>

#include <string>

// The language of the branding resources and of the version record's texts: English (US).
constexpr uint16_t kPackBrandLang = 0x0409;

// UTF-8 to UTF-16; false for bytes that are not UTF-8.
bool pack_utf16(const std::string& utf8, std::u16string* out);

// Parses one to four dot-separated numbers, each 0..65535; missing ones are 0.
bool pack_parseVersion(const std::string& text, uint16_t version[4]);
