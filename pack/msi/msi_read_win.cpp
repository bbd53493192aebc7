// The database reader over the system's Windows Installer (msi.dll).
#include "msi_package.h"
#include "msi_win.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <msidefs.h>

#include <algorithm>
#include <utility>

struct pack_Msi {
    MSIHANDLE db = 0;
};

namespace {

std::string pack_readString(MSIHANDLE record, UINT field, pack_Bytes* out)
{
    DWORD size = 0;
    wchar_t none[1];
    UINT r = MsiRecordGetStringW(record, field, none, &size);
    if (r != ERROR_MORE_DATA && r != ERROR_SUCCESS) {
        return pack_msiCode(r);
    }
    std::wstring text(size + 1, L'\0');
    size = static_cast<DWORD>(text.size());
    if ((r = MsiRecordGetStringW(record, field, &text[0], &size)) != ERROR_SUCCESS) {
        return pack_msiCode(r);
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(size), nullptr, 0,
                                nullptr, nullptr);
    out->resize(n);
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(size),
                        reinterpret_cast<char*>(out->data()), n, nullptr, nullptr);
    return "";
}

std::string pack_readStream(MSIHANDLE record, UINT field, size_t limit, pack_Bytes* out)
{
    char piece[1 << 14];
    while (out->size() < limit) {
        DWORD got = static_cast<DWORD>(std::min(sizeof piece, limit - out->size()));
        UINT r = MsiRecordReadStream(record, field, piece, &got);
        if (r != ERROR_SUCCESS) {
            return pack_msiCode(r);
        }
        if (got == 0) {
            return "";
        }
        out->insert(out->end(), piece, piece + got);
    }
    return "";
}

}  // namespace

std::string pack_msiOpen(const char* path, pack_Msi** db)
{
    MSIHANDLE h = 0;
    UINT r = MsiOpenDatabaseW(pack_wide(path, CP_ACP).c_str(),
                              reinterpret_cast<LPCWSTR>(MSIDBOPEN_READONLY), &h);
    if (r != ERROR_SUCCESS) {
        return "not a Windows Installer package (" + pack_msiCode(r) + ")";
    }
    *db = new pack_Msi {h};
    return "";
}

void pack_msiClose(pack_Msi* db)
{
    if (db != nullptr) {
        MsiCloseHandle(db->db);
        delete db;
    }
}

std::string pack_msiSelect(pack_Msi* db, const char* query, const char* kinds,
                           std::vector<std::vector<pack_Bytes>>* rows, size_t streamLimit)
{
    rows->clear();
    pack_MsiHandle view;
    UINT r = MsiDatabaseOpenViewW(db->db, pack_wide(query, CP_UTF8).c_str(), &view.h);
    if (r == ERROR_SUCCESS) {
        r = MsiViewExecute(view.h, 0);
    }
    while (r == ERROR_SUCCESS) {
        pack_MsiHandle record;
        if ((r = MsiViewFetch(view.h, &record.h)) != ERROR_SUCCESS) {
            break;
        }
        rows->emplace_back();
        for (UINT i = 0; kinds[i] != '\0'; ++i) {
            rows->back().emplace_back();
            if (MsiRecordIsNull(record.h, i + 1)) {
                continue;
            }
            std::string error = kinds[i] == 'b'
                ? pack_readStream(record.h, i + 1, streamLimit, &rows->back().back())
                : pack_readString(record.h, i + 1, &rows->back().back());
            if (!error.empty()) {
                return error;
            }
        }
    }
    return r == ERROR_NO_MORE_ITEMS ? "" : pack_msiCode(r);
}

std::string pack_msiSummary(pack_Msi* db, pack_MsiSummary* summary)
{
    pack_MsiHandle si;
    UINT r = MsiGetSummaryInformationW(db->db, nullptr, 0, &si.h);
    if (r != ERROR_SUCCESS) {
        return pack_msiCode(r);
    }
    for (auto field : {std::make_pair(PID_SUBJECT, &summary->subject),
                       std::make_pair(PID_COMMENTS, &summary->comments)}) {
        UINT type = 0;
        INT number = 0;
        FILETIME time;
        DWORD size = 0;
        wchar_t none[1];
        r = MsiSummaryInfoGetPropertyW(si.h, field.first, &type, &number, &time, none, &size);
        if (type != VT_LPSTR || (r != ERROR_MORE_DATA && r != ERROR_SUCCESS)) {
            continue;
        }
        std::wstring text(size + 1, L'\0');
        size = static_cast<DWORD>(text.size());
        if (MsiSummaryInfoGetPropertyW(si.h, field.first, &type, &number, &time, &text[0], &size)
            == ERROR_SUCCESS) {
            int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(size), nullptr,
                                        0, nullptr, nullptr);
            field.second->resize(n);
            WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(size),
                                &(*field.second)[0], n, nullptr, nullptr);
        }
    }
    UINT type = 0;
    INT number = 0;
    FILETIME time;
    DWORD size = 0;
    if (MsiSummaryInfoGetPropertyW(si.h, PID_WORDCOUNT, &type, &number, &time, nullptr, &size)
            == ERROR_SUCCESS
        && type == VT_I4) {
        summary->wordCount = number;
    }
    return "";
}
