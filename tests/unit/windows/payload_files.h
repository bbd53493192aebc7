// Files and directories for the payload tests: a fresh directory per test under the system's
// temporary directory, and whole-file reads and writes by path.
#pragma once

#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

namespace payload_files {

inline std::string readFile(const std::string& path)
{
    std::string data;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return data;
    }
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        data.append(buf, n);
    }
    fclose(f);
    return data;
}

inline bool writeFile(const std::string& path, const std::string& data)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

inline bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Names of the files in dir, "." and ".." left out.
inline std::vector<std::string> list(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return names;
}

inline void removeTree(const std::string& dir)
{
    for (const std::string& name : list(dir)) {
        std::string path = dir + "\\" + name;
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            removeTree(path);
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(dir.c_str());
}

// The build tree, as the test executable (<build>\\tests\\unit_windows.exe) finds it.
inline std::string binaryDir()
{
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n < sizeof path ? n : 0);
    for (int up = 0; up < 2; ++up) {
        size_t slash = dir.find_last_of("\\/");
        dir.erase(slash == std::string::npos ? 0 : slash);
    }
    return dir;
}

// A new empty directory under the temporary directory, without a trailing backslash.
inline std::string makeTempDir(const char* tag)
{
    char base[MAX_PATH + 1];
    GetTempPathA(sizeof base, base);
    for (unsigned i = GetCurrentProcessId();; ++i) {
        std::string dir = std::string(base) + "vorlane-" + tag + "-" + std::to_string(i);
        if (CreateDirectoryA(dir.c_str(), nullptr)) {
            return dir;
        }
    }
}

} // namespace payload_files
