// Finding the default stub. The path arithmetic is apart from the system calls so that it is
// tested natively for both layouts.
#include "default_stub.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr char kStubName[] = "setup-stub.exe";
constexpr char kUnixShare[] = "share/vorlane-setup/";

// The directory part of path with its last separator, "" when there is none.
std::string pack_directoryOf(const std::string& path, const char* separators)
{
    size_t slash = path.find_last_of(separators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string pack_stubBeside(const std::string& programPath, bool windowsLayout)
{
    if (windowsLayout) {
        return pack_directoryOf(programPath, "\\/") + kStubName;
    }
    std::string dir = pack_directoryOf(programPath, "/");
    if (dir.empty()) {
        return std::string("../") + kUnixShare + kStubName;
    }
    // The parent by name: the kernel's path of the executable has no links or dot entries
    // left, so dropping the last component is what ".." would do.
    std::string parent =
        dir.size() > 1 ? pack_directoryOf(dir.substr(0, dir.size() - 1), "/") : dir;
    return parent + kUnixShare + kStubName;
}

#ifdef _WIN32

// The program's path in the ANSI code page, which the rest of setup-pack opens files with. A
// path that code page cannot spell would open some other file or none, so it is refused.
static std::string pack_ownPath(std::string* path)
{
    std::vector<wchar_t> wide(MAX_PATH);
    for (;;) {
        DWORD got = GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
        if (got == 0) {
            return "no STUB given, and the program's own path cannot be read (error "
                + std::to_string(GetLastError()) + ")";
        }
        if (got < wide.size()) {
            wide.resize(got);
            break;
        }
        wide.resize(wide.size() * 2);
    }
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                   static_cast<int>(wide.size()), nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) {
        return "no STUB given, and the program's own path cannot be written in the ANSI code page";
    }
    path->resize(size);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        &(*path)[0], size, nullptr, nullptr);
    return "";
}

#else

static std::string pack_ownPath(std::string* path)
{
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t got = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (got < 0) {
            return std::string("no STUB given, and /proc/self/exe cannot be read: ")
                + strerror(errno);
        }
        if (static_cast<size_t>(got) < buffer.size()) {
            path->assign(buffer.data(), static_cast<size_t>(got));
            return "";
        }
        buffer.resize(buffer.size() * 2);
    }
}

#endif

// Whether the file at path begins as an executable does ("MZ"); a file that cannot be read
// is left to the packing, which reports it.
static bool pack_isExecutable(const char* path)
{
    char head[2] = {};
    FILE* in = fopen(path, "rb");
    if (in == nullptr) {
        return false;
    }
    bool executable =
        fread(head, 1, sizeof head, in) == sizeof head && head[0] == 'M' && head[1] == 'Z';
    fclose(in);
    return executable;
}

std::string pack_defaultStub(const char* packagePath, std::string* stubPath)
{
    if (pack_isExecutable(packagePath)) {
        return "an executable, not a package: give PACKAGE OUTPUT, or STUB PACKAGE OUTPUT";
    }
    std::string program;
    std::string error = pack_ownPath(&program);
    if (error.empty()) {
#ifdef _WIN32
        *stubPath = pack_stubBeside(program, true);
#else
        *stubPath = pack_stubBeside(program, false);
#endif
    }
    return error;
}
