// The manifests as setup-pack makes them: the package read through the platform's reader (so
// setup-pack and setup-pack.exe see the same values), the files written beside each other.
#include "winget_command.h"
#include "msi_package.h"
#include "replace_file.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <memory>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#endif

namespace {

std::string pack_wingetRead(const char* path, pack_WingetPackage* p)
{
    pack_MsiPtr db;
    pack_Rows rows;
    std::string error = pack_msiOpenProperties(path, &db, &rows);
    if (!error.empty()) {
        return error;
    }
    std::string wixUi;
    const std::pair<const char*, std::string*> wanted[] = {
        {"Manufacturer", &p->manufacturer},
        {"ProductName", &p->productName},
        {"ProductVersion", &p->productVersion},
        {"ProductCode", &p->productCode},
        {"UpgradeCode", &p->upgradeCode},
        {"ProductLanguage", &p->productLanguage},
        {"ALLUSERS", &p->allUsers},
        {"MSIINSTALLPERUSER", &p->installPerUser},
        {"WIXUI_INSTALLDIR", &wixUi},
    };
    for (const std::vector<pack_Bytes>& row : rows) {
        for (const auto& w : wanted) {
            if (pack_bytesText(row[0]) == w.first) {
                *w.second = pack_bytesText(row[1]);
            }
        }
    }
    // A package without a Directory table installs no files, and has no place to move.
    std::vector<std::string> directories;
    if (pack_msiSelect(db.get(), "SELECT `Directory` FROM `Directory`", "s", &rows).empty()) {
        for (const std::vector<pack_Bytes>& row : rows) {
            directories.push_back(pack_bytesText(row[0]));
        }
    }
    p->installDirProperty = pack_wingetInstallDir(directories, wixUi);
    pack_MsiSummary summary;
    if (!(error = pack_msiSummary(db.get(), &summary)).empty()) {
        return "cannot read its summary information (" + error + ")";
    }
    p->subject = summary.subject;
    p->comments = summary.comments;
    p->wordCount = summary.wordCount;
    return "";
}

// A file name for the file system: UTF-8 natively, the ANSI code page on Windows, where a
// name it cannot spell is refused rather than written under another.
bool pack_localName(const std::string& utf8, std::string* out)
{
#ifdef _WIN32
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], n);
    BOOL lossy = FALSE;
    int m = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr,
                                &lossy);
    out->assign(m > 0 ? m : 1, '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &(*out)[0], m, nullptr,
                        nullptr);
    out->resize(out->size() - 1);
    return n > 0 && m > 0 && !lossy;
#else
    *out = utf8;
    return true;
#endif
}

int pack_makeDirectory(const char* path)
{
#ifdef _WIN32
    return _mkdir(path);
#else
    return mkdir(path, 0777);
#endif
}

std::string pack_writeFile(const std::string& path, const std::string& text)
{
    replace_File* file = replace_begin(path.c_str());
    if (file == nullptr) {
        return path + ": " + strerror(errno);
    }
    if (replace_write(file, text.data(), text.size()) != 0) {
        int saved = errno;
        replace_abandon(file);
        return path + ": " + strerror(saved);
    }
    return replace_commit(file) == 0 ? "" : path + ": " + strerror(errno);
}

}  // namespace

std::string pack_wingetPrepare(const pack_WingetOptions& options, const char* packagePath,
                               const pack_Bytes& stub, const pack_Image& image,
                               pack_WingetManifest* manifest)
{
    pack_WingetPackage package;
    std::string error = pack_wingetRead(packagePath, &package);
    if (!error.empty()) {
        return std::string(packagePath) + ": " + error;
    }
    std::string warning;
    // The COFF file header opens with the machine type.
    error = pack_wingetManifest(package, options,
                                pack_wingetArchitecture(pack_get16(stub, image.coffOffset)),
                                manifest, &warning);
    if (!warning.empty()) {
        fprintf(stderr, "setup-pack: warning: %s: %s\n", packagePath, warning.c_str());
    }
    return error;
}

std::string pack_wingetWrite(const pack_WingetOptions& options, pack_WingetManifest* manifest,
                             const char* outputPath)
{
    std::string error = pack_sha256File(outputPath, &manifest->sha256);
    if (!error.empty()) {
        return std::string(outputPath) + ": " + error;
    }
    const std::string& dir = options.dir;
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 && pack_makeDirectory(dir.c_str()) != 0) {
        return dir + ": " + strerror(errno);
    }
    for (const pack_WingetFile& f : pack_wingetFiles(*manifest)) {
        std::string name;
        if (!pack_localName(f.name, &name)) {
            return dir + ": the file name " + f.name
                + " cannot be written in this code page: give --winget-id";
        }
        if (!(error = pack_writeFile(dir + "/" + name, f.text)).empty()) {
            return error;
        }
    }
    return "";
}
