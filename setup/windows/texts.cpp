// The string table's texts in the user's language, shown only where the ANSI code page can
// show them: a message box of question marks helps nobody, the English text does.
#include "report.h"

int setup_convertWhole(const wchar_t* text, int length, UINT codePage, char* out, int outSize)
{
    if (length <= 0 || outSize <= 1) {
        return 0;
    }
    // UTF-8 holds every text but a broken one (a lone surrogate), and has no default
    // character to report.
    BOOL usedDefault = FALSE;
    bool utf8 = codePage == CP_UTF8;
    int n = WideCharToMultiByte(codePage, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, text,
                                length, out, outSize - 1, nullptr, utf8 ? nullptr : &usedDefault);
    if (n <= 0 || usedDefault) {
        return 0;
    }
    out[n] = '\0';
    return n;
}

int setup_chooseText(const wchar_t* uiText, int uiLength, const wchar_t* english, int englishLength,
                     UINT codePage, char* out, int outSize)
{
    int n = setup_convertWhole(uiText, uiLength, codePage, out, outSize);
    return n > 0 ? n : setup_convertWhole(english, englishLength, codePage, out, outSize);
}

// The English (United States) block's text id, or null.
static const wchar_t* englishText(HMODULE module, UINT id, int* length)
{
    HRSRC found =
        FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_STRING), MAKEINTRESOURCEW(id / 16 + 1),
                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* block = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (block == nullptr) {
        return nullptr;
    }
    size_t n = 0;
    const uint16_t* text = setup_stringInBlock(static_cast<const uint16_t*>(block),
                                               SizeofResource(module, found) / 2, id % 16, &n);
    *length = static_cast<int>(n);
    return reinterpret_cast<const wchar_t*>(text);
}

// The text in place for an ARM64 machine: in UTF-16, since in a double-byte code page the
// bytes of "x64" may be halves of other characters.
static const wchar_t* deriveArm64(const wchar_t* text, int* length, wchar_t* out, size_t outSize)
{
    *length = static_cast<int>(setup_deriveArm64Text(reinterpret_cast<const uint16_t*>(text),
                                                     *length > 0 ? *length : 0,
                                                     reinterpret_cast<uint16_t*>(out), outSize));
    return out;
}

int setup_loadText(UINT id, char* out, int outSize, bool arm64)
{
    HMODULE module = GetModuleHandleA(nullptr);
    // With no buffer, LoadStringW gives the resource's own text, not NUL-terminated.
    const wchar_t* uiText = nullptr;
    int uiLength = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&uiText), 0);
    int englishLength = 0;
    const wchar_t* english = englishText(module, id, &englishLength);
    wchar_t uiArm64[1024];
    wchar_t englishArm64[1024];
    if (arm64) {
        uiText = deriveArm64(uiText, &uiLength, uiArm64, 1024);
        english = deriveArm64(english, &englishLength, englishArm64, 1024);
    }
    return setup_chooseText(uiText, uiLength, english, englishLength, GetACP(), out, outSize);
}
