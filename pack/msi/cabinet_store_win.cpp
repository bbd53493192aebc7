// The cabinet rewrite over the system's cabinet.dll (FDI reads, FCI writes) and the copy of
// the package written by msi.dll: the database is opened on the package with the copy as its
// output, so the package is only read. The cabinet goes through files in a work directory.
#include "msi_package.h"
#include "cabinet_store.h"
#include "msi_win.h"

#include <windows.h>
#include <fcntl.h>
#include <fci.h>
#include <fdi.h>
#include <io.h>
#include <msi.h>
#include <msiquery.h>
#include <sys/stat.h>

#include <errno.h>
#include <stdlib.h>
#include <string.h>

namespace {

// A file of the cabinet, as FDI gave it and FCI takes it back.
struct pack_CabFile {
    std::string name;
    USHORT date = 0, time = 0, attribs = 0, folder = 0;
};

struct pack_CabWork {
    std::string dir;  // ends with a backslash
    std::vector<pack_CabFile> files;
    size_t current = 0;  // the file FCI opens next
    int tempFiles = 0;
    std::string failed;
};

std::string pack_filePath(const pack_CabWork& w, size_t i)
{
    return w.dir + "f" + std::to_string(i);
}

// ---- The CRT's file calls, as both FDI and FCI take them ---------------------------------

// The process heap's calls, not the C runtime's: with malloc and free here, msi.dll crashed
// under Wine when it closed a database after FDI had run.
FNALLOC(pack_alloc) { return HeapAlloc(GetProcessHeap(), 0, cb); }
FNFREE(pack_free) { HeapFree(GetProcessHeap(), 0, pv); }
FNOPEN(pack_open) { return _open(pszFile, oflag | _O_BINARY, pmode); }
FNREAD(pack_read) { return static_cast<UINT>(_read(static_cast<int>(hf), pv, cb)); }
FNWRITE(pack_write) { return static_cast<UINT>(_write(static_cast<int>(hf), pv, cb)); }
FNCLOSE(pack_close) { return _close(static_cast<int>(hf)); }
FNSEEK(pack_seek) { return _lseek(static_cast<int>(hf), dist, seektype); }

FNFCIOPEN(pack_fciOpen)
{
    int fd = _open(pszFile, oflag | _O_BINARY, pmode);
    *err = fd < 0 ? errno : 0;
    return fd;
}
FNFCIREAD(pack_fciRead) { return pack_read(hf, memory, cb); }
FNFCIWRITE(pack_fciWrite) { return pack_write(hf, memory, cb); }
FNFCICLOSE(pack_fciClose) { return pack_close(hf); }
FNFCISEEK(pack_fciSeek) { return pack_seek(hf, dist, seektype); }
FNFCIDELETE(pack_fciDelete) { return remove(pszFile); }

FNFCIGETTEMPFILE(pack_fciTempFile)
{
    auto* w = static_cast<pack_CabWork*>(pv);
    std::string name = w->dir + "t" + std::to_string(w->tempFiles++);
    if (name.size() >= static_cast<size_t>(cbTempName)) {
        return FALSE;
    }
    memcpy(pszTempName, name.c_str(), name.size() + 1);
    return TRUE;
}

FNFCIFILEPLACED(pack_fciPlaced) { return 0; }
FNFCIGETNEXTCABINET(pack_fciNextCabinet) { return FALSE; }  // one cabinet, never split
FNFCISTATUS(pack_fciStatus) { return 0; }

// The file's date, time and attributes as the old cabinet had them.
FNFCIGETOPENINFO(pack_fciOpenInfo)
{
    auto* w = static_cast<pack_CabWork*>(pv);
    const pack_CabFile& f = w->files[w->current];
    *pdate = f.date;
    *ptime = f.time;
    *pattribs = f.attribs;
    return pack_fciOpen(pszName, _O_RDONLY, 0, err, pv);
}

// Each file is extracted under its number, so that no name in the cabinet makes a path.
FNFDINOTIFY(pack_fdiNotify)
{
    auto* w = static_cast<pack_CabWork*>(pfdin->pv);
    if (fdint == fdintCOPY_FILE) {
        pack_CabFile f;
        f.name = pfdin->psz1;
        f.date = pfdin->date;
        f.time = pfdin->time;
        f.attribs = pfdin->attribs;
        f.folder = pfdin->iFolder;
        w->files.push_back(f);
        return _open(pack_filePath(*w, w->files.size() - 1).c_str(),
                     _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    }
    if (fdint == fdintCLOSE_FILE_INFO) {
        _close(static_cast<int>(pfdin->hf));
        return TRUE;
    }
    return fdint == fdintNEXT_CABINET ? -1 : 0;
}

std::string pack_extract(pack_CabWork* w)
{
    ERF erf = {};
    HFDI fdi = FDICreate(pack_alloc, pack_free, pack_open, pack_read, pack_write, pack_close,
                         pack_seek, cpuUNKNOWN, &erf);
    if (fdi == nullptr) {
        return "cabinet.dll cannot start (FDI error " + std::to_string(erf.erfOper) + ")";
    }
    std::string name = "in.cab", path = w->dir;
    BOOL ok = FDICopy(fdi, &name[0], &path[0], 0, pack_fdiNotify, nullptr, w);
    FDIDestroy(fdi);
    return ok ? "" : "cannot extract it (FDI error " + std::to_string(erf.erfOper) + ")";
}

// The same files in the same order, a folder for each of the old cabinet's, none compressed.
std::string pack_store(pack_CabWork* w)
{
    ERF erf = {};
    CCAB ccab = {};
    ccab.cb = CB_MAX_DISK;
    ccab.cbFolderThresh = CB_MAX_DISK;
    strcpy(ccab.szCab, "out.cab");
    if (w->dir.size() >= sizeof ccab.szCabPath) {
        return "the temporary directory's path is too long for cabinet.dll";
    }
    strcpy(ccab.szCabPath, w->dir.c_str());
    HFCI fci = FCICreate(&erf, pack_fciPlaced, pack_alloc, pack_free, pack_fciOpen, pack_fciRead,
                         pack_fciWrite, pack_fciClose, pack_fciSeek, pack_fciDelete,
                         pack_fciTempFile, &ccab, w);
    if (fci == nullptr) {
        return "cabinet.dll cannot start (FCI error " + std::to_string(erf.erfOper) + ")";
    }
    BOOL ok = TRUE;
    for (w->current = 0; ok && w->current < w->files.size(); ++w->current) {
        const pack_CabFile& f = w->files[w->current];
        if (w->current > 0 && f.folder != w->files[w->current - 1].folder) {
            ok = FCIFlushFolder(fci, pack_fciNextCabinet, pack_fciStatus);
        }
        std::string source = pack_filePath(*w, w->current), name = f.name;
        ok = ok
            && FCIAddFile(fci, &source[0], &name[0], (f.attribs & _A_EXEC) != 0,
                          pack_fciNextCabinet, pack_fciStatus, pack_fciOpenInfo, tcompTYPE_NONE);
    }
    ok = ok && FCIFlushCabinet(fci, FALSE, pack_fciNextCabinet, pack_fciStatus);
    FCIDestroy(fci);
    return ok ? "" : "cannot write it stored (FCI error " + std::to_string(erf.erfOper) + ")";
}

// ---- The database ------------------------------------------------------------------------

UINT pack_runQuery(MSIHANDLE db, const wchar_t* sql, MSIHANDLE params, MSIHANDLE* fetched = nullptr)
{
    pack_MsiHandle view;
    UINT r = MsiDatabaseOpenViewW(db, sql, &view.h);
    r = r == ERROR_SUCCESS ? MsiViewExecute(view.h, params) : r;
    r = r == ERROR_SUCCESS && fetched != nullptr ? MsiViewFetch(view.h, fetched) : r;
    return r;
}

std::string pack_saveStream(MSIHANDLE db, const std::wstring& stream, const std::string& path)
{
    pack_MsiHandle name, row;
    name.h = MsiCreateRecord(1);
    MsiRecordSetStringW(name.h, 1, stream.c_str());
    UINT r = pack_runQuery(db, L"SELECT `Data` FROM `_Streams` WHERE `Name` = ?", name.h, &row.h);
    if (r != ERROR_SUCCESS) {
        return "cannot find the stream (" + pack_msiCode(r) + ")";
    }
    int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    char piece[1 << 16];
    DWORD got = 0;
    bool written = fd >= 0;
    do {
        got = sizeof piece;
        r = MsiRecordReadStream(row.h, 1, piece, &got);
        written = written && r == ERROR_SUCCESS && _write(fd, piece, got) == static_cast<int>(got);
    } while (written && got > 0);
    written = fd >= 0 && _close(fd) == 0 && written;
    return written ? "" : "cannot save the stream";
}

std::string pack_replaceStream(MSIHANDLE db, const std::wstring& stream, const std::string& cab)
{
    pack_MsiHandle name, row;
    name.h = MsiCreateRecord(1);
    MsiRecordSetStringW(name.h, 1, stream.c_str());
    row.h = MsiCreateRecord(2);
    MsiRecordSetStringW(row.h, 1, stream.c_str());
    UINT r = MsiRecordSetStreamA(row.h, 2, cab.c_str());
    r = r == ERROR_SUCCESS ? pack_runQuery(db, L"DELETE FROM `_Streams` WHERE `Name` = ?", name.h)
                           : r;
    r = r == ERROR_SUCCESS
        ? pack_runQuery(db, L"INSERT INTO `_Streams` (`Name`, `Data`) VALUES (?, ?)", row.h)
        : r;
    return r == ERROR_SUCCESS ? "" : "cannot replace the stream (" + pack_msiCode(r) + ")";
}

// The work directory and everything in it, removed at the end of the scope.
struct pack_WorkDir {
    std::string path;  // ends with a backslash
    ~pack_WorkDir()
    {
        if (path.empty()) {
            return;
        }
        WIN32_FIND_DATAA found;
        HANDLE list = FindFirstFileA((path + "*").c_str(), &found);
        for (BOOL more = list != INVALID_HANDLE_VALUE; more; more = FindNextFileA(list, &found)) {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileA((path + found.cFileName).c_str());
            }
        }
        if (list != INVALID_HANDLE_VALUE) {
            FindClose(list);
        }
        RemoveDirectoryA(path.c_str());
    }
};

// A new empty file in the temporary directory; "" when none can be made.
std::string pack_tempFile()
{
    char dir[MAX_PATH], name[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, dir);
    return n > 0 && n < MAX_PATH && GetTempFileNameA(dir, "spk", 0, name) != 0 ? name : "";
}

std::string pack_rewriteInto(const char* package, const std::vector<std::string>& streams,
                             const std::string& copy)
{
    pack_WorkDir work;
    std::string dir = pack_tempFile();
    if (dir.empty() || !DeleteFileA(dir.c_str()) || !CreateDirectoryA(dir.c_str(), nullptr)) {
        return "cannot make a work directory in the temporary directory";
    }
    work.path = dir + "\\";
    // The installer writes the copy itself; it is reserved until then.
    DeleteFileA(copy.c_str());
    pack_MsiHandle db;
    UINT r = MsiOpenDatabaseW(pack_wide(package, CP_ACP).c_str(),
                              pack_wide(copy.c_str(), CP_ACP).c_str(), &db.h);
    if (r != ERROR_SUCCESS) {
        return "not a Windows Installer package (" + pack_msiCode(r) + ")";
    }
    for (const std::string& stream : streams) {
        pack_CabWork w;
        w.dir = work.path;
        std::wstring name = pack_wide(stream.c_str(), CP_UTF8);
        std::string failed = pack_saveStream(db.h, name, work.path + "in.cab");
        failed = failed.empty() ? pack_extract(&w) : failed;
        failed = failed.empty() ? pack_store(&w) : failed;
        failed = failed.empty() ? pack_replaceStream(db.h, name, work.path + "out.cab") : failed;
        if (!failed.empty()) {
            return "its cabinet " + stream + ": " + failed;
        }
    }
    r = MsiDatabaseCommit(db.h);
    return r == ERROR_SUCCESS
        ? ""
        : "cannot write the copy with stored cabinets (" + pack_msiCode(r) + ")";
}

}  // namespace

std::string pack_rewriteCabinets(const char* package, const std::vector<std::string>& streams,
                                 std::string* packedCopy)
{
    *packedCopy = pack_tempFile();
    if (packedCopy->empty()) {
        return "cannot make a temporary file";
    }
    std::string failed = pack_rewriteInto(package, streams, *packedCopy);
    if (!failed.empty()) {
        DeleteFileA(packedCopy->c_str());
        packedCopy->clear();
    }
    return failed;
}
