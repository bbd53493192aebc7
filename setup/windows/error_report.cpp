// The names of the running executable and the one error dialog at the end of a failed run.
#include "report.h"

#include <stdlib.h>
#include <string.h>

static char* g_moduleBaseName;
static char* g_programName;

const char* setup_getModuleBaseName()
{
    if (g_moduleBaseName != nullptr) {
        return g_moduleBaseName;
    }
    char path[MAX_PATH + 1];
    DWORD len = GetModuleFileNameA(nullptr, path, MAX_PATH + 1);
    if (len == 0 || len > MAX_PATH) {
        return nullptr;
    }
    size_t start = setup_baseNameOffset(path, len);
    char* name = static_cast<char*>(malloc(len - start + 1));
    if (name == nullptr) {
        return nullptr;
    }
    memcpy(name, path + start, len - start);
    name[len - start] = '\0';
    g_moduleBaseName = name;
    return name;
}

const char* setup_getProgramName()
{
    if (g_programName != nullptr) {
        return g_programName;
    }
    const char* base = setup_getModuleBaseName();
    if (base == nullptr) {
        return nullptr;
    }
    size_t len = setup_programNameLength(base);
    char* name = nullptr;
    if (base[len] != '\0') {
        name = static_cast<char*>(malloc(len + 1));
        if (name != nullptr) {
            memcpy(name, base, len);
            name[len] = '\0';
        }
    }
    // Without a copy of its own the program name shares the base name's text.
    g_programName = name != nullptr ? name : g_moduleBaseName;
    return g_programName;
}

void setup_releaseNames()
{
    if (g_programName != nullptr && g_programName != g_moduleBaseName) {
        free(g_programName);
    }
    free(g_moduleBaseName);
    g_programName = nullptr;
    g_moduleBaseName = nullptr;
}

// Entry 4 of the string table wrapped around the system text; null when there is no template
// or it cannot be formatted.
static char* formatReport(DWORD code, const char* systemText)
{
    const char* file = setup_getErrorFile();
    char templ[1024];
    if (file == nullptr || setup_loadText(4, templ, 1024) == 0) {
        return nullptr;
    }
    const char* program = setup_getProgramName();
    DWORD_PTR inserts[] = {
        reinterpret_cast<DWORD_PTR>(program != nullptr ? program : ""),
        static_cast<DWORD_PTR>(static_cast<int>(code)),
        reinterpret_cast<DWORD_PTR>(file),
        static_cast<DWORD_PTR>(setup_getErrorLine()),
        reinterpret_cast<DWORD_PTR>(systemText),
    };
    char* message = nullptr;
    constexpr DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY;
    if (FormatMessageA(flags, templ, 0, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<char*>(&message), 0, reinterpret_cast<va_list*>(inserts))
        == 0) {
        return nullptr;
    }
    return message;
}

// Texts such as 193's ("%1 is not a valid Win32 application.") have inserts that no caller
// here can fill: without IGNORE_INSERTS the call fails for them and the failure would go
// unreported. The text then shows its %1 as it stands.
char* setup_getSystemText(DWORD code)
{
    char* text = nullptr;
    constexpr DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<char*>(&text), 0, nullptr)
        == 0) {
        return nullptr;
    }
    return text;
}

DWORD setup_reportError(DWORD code)
{
    if (g_quiet) {
        return code;
    }
    char* systemText = setup_getSystemText(code);
    if (systemText == nullptr) {
        return code;
    }
    char* message = formatReport(code, systemText);
    if (message != nullptr) {
        LocalFree(systemText);
    } else {
        message = systemText;
    }
    MessageBoxA(nullptr, message, setup_getProgramName(), MB_ICONERROR);
    LocalFree(message);
    return 0;
}
