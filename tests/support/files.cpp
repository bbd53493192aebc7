#include "files.h"

#include <windows.h>

#include <algorithm>

namespace support {

std::wstring widen(const std::string& utf8)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

std::string utf8(const std::wstring& wide)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string text(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n,
                        nullptr, nullptr);
    return text;
}

std::string tempDir()
{
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, path);
    return utf8(std::wstring(path, n <= MAX_PATH ? n : 0));
}

std::string makeScratchDir(const std::string& name)
{
    std::string dir = tempDir() + "vorlane-test-" + name;
    removeTree(dir);
    CreateDirectoryW(widen(dir).c_str(), nullptr);
    return dir;
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> listFiles(const std::string& dir, const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(widen(dir + "\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (wcscmp(data.cFileName, L".") != 0 && wcscmp(data.cFileName, L"..") != 0) {
            names.push_back(utf8(data.cFileName));
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::string readFile(const std::string& path)
{
    std::string content;
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return content;
    }
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    CloseHandle(file);
    return content;
}

bool writeFile(const std::string& path, const std::string& data)
{
    HANDLE file =
        CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr)
        && written == data.size();
    return CloseHandle(file) && ok;
}

bool copyFile(const std::string& from, const std::string& to)
{
    return CopyFileW(widen(from).c_str(), widen(to).c_str(), FALSE) != 0;
}

void removeTree(const std::string& dir)
{
    for (const std::string& name : listFiles(dir)) {
        std::wstring path = widen(dir + "\\" + name);
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            removeTree(dir + "\\" + name);
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(widen(dir).c_str());
}

Scratch::~Scratch()
{
    // The latest first: a tree may have been made inside an earlier one.
    for (auto tree = trees_.rbegin(); tree != trees_.rend(); ++tree) {
        removeTree(*tree);
    }
}

std::string Scratch::dir(const std::string& name)
{
    trees_.push_back(makeScratchDir(name));
    return trees_.back();
}

std::string Scratch::own(const std::string& tree)
{
    removeTree(tree);
    trees_.push_back(tree);
    return tree;
}

std::string binaryDir()
{
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    std::string dir = utf8(std::wstring(path, n <= MAX_PATH ? n : 0));
    for (int up = 0; up < 2; ++up) {
        size_t slash = dir.find_last_of('\\');
        dir.erase(slash == std::string::npos ? 0 : slash);
    }
    return dir;
}

std::string inBuild(const std::string& path)
{
    const std::string built = VORLANE_BINARY_DIR;
    return path.compare(0, built.size(), built) == 0 ? binaryDir() + path.substr(built.size())
                                                     : path;
}

bool underWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace support
