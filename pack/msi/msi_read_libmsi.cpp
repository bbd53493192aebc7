// The database reader over libmsi (msitools' library).
#include "msi_package.h"

#include <libmsi.h>

#include <string.h>

#include <algorithm>
#include <memory>
#include <utility>

struct pack_Msi {
    LibmsiDatabase* db = nullptr;
};

namespace {

struct pack_GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template<typename T>
using pack_GPtr = std::unique_ptr<T, pack_GObjectUnref>;

std::string pack_takeError(GError* error, const char* fallback)
{
    std::string text = error != nullptr && error->message != nullptr ? error->message : fallback;
    g_clear_error(&error);
    for (char& c : text) {
        c = c == '\n' ? ' ' : c;
    }
    return text;
}

std::string pack_readStream(LibmsiRecord* record, unsigned field, size_t limit, pack_Bytes* out)
{
    pack_GPtr<GInputStream> in(libmsi_record_get_stream(record, field));
    if (!in) {
        return "";  // a null stream field
    }
    GError* error = nullptr;
    uint8_t piece[1 << 14];
    gssize got = 0;
    while (out->size() < limit
           && (got = g_input_stream_read(
                   in.get(), piece, std::min(sizeof piece, limit - out->size()), nullptr, &error))
               > 0) {
        out->insert(out->end(), piece, piece + got);
    }
    return got < 0 ? pack_takeError(error, "cannot read a stream") : "";
}

std::string pack_readRow(LibmsiRecord* record, const char* kinds, size_t streamLimit,
                         std::vector<pack_Bytes>* row)
{
    for (unsigned i = 0; kinds[i] != '\0'; ++i) {
        row->emplace_back();
        if (libmsi_record_is_null(record, i + 1)) {
            continue;
        }
        if (kinds[i] == 'b') {
            std::string error = pack_readStream(record, i + 1, streamLimit, &row->back());
            if (!error.empty()) {
                return error;
            }
            continue;
        }
        gchar* text = libmsi_record_get_string(record, i + 1);
        if (text != nullptr) {
            row->back().assign(text, text + strlen(text));
            g_free(text);
        }
    }
    return "";
}

// libmsi and libgsf log what they find wrong with a file on stderr as well; setup-pack reports
// the error itself, in one line.
void pack_quietLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) { }

}  // namespace

std::string pack_msiOpen(const char* path, pack_Msi** db)
{
    g_log_set_default_handler(pack_quietLog, nullptr);
    GError* error = nullptr;
    LibmsiDatabase* opened = libmsi_database_new(path, LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
    if (opened == nullptr) {
        return "not a Windows Installer package (" + pack_takeError(error, "cannot open") + ")";
    }
    *db = new pack_Msi {opened};
    return "";
}

void pack_msiClose(pack_Msi* db)
{
    if (db != nullptr) {
        g_object_unref(db->db);
        delete db;
    }
}

std::string pack_msiSelect(pack_Msi* db, const char* query, const char* kinds,
                           std::vector<std::vector<pack_Bytes>>* rows, size_t streamLimit)
{
    rows->clear();
    GError* error = nullptr;
    pack_GPtr<LibmsiQuery> q(libmsi_query_new(db->db, query, &error));
    if (!q || !libmsi_query_execute(q.get(), nullptr, &error)) {
        return pack_takeError(error, "the query fails");
    }
    for (;;) {
        pack_GPtr<LibmsiRecord> record(libmsi_query_fetch(q.get(), &error));
        if (!record) {
            break;
        }
        rows->emplace_back();
        std::string failed = pack_readRow(record.get(), kinds, streamLimit, &rows->back());
        if (!failed.empty()) {
            g_clear_error(&error);
            return failed;
        }
    }
    // The end of the rows is a null record without an error.
    if (error != nullptr) {
        return pack_takeError(error, "cannot read a row");
    }
    libmsi_query_close(q.get(), nullptr);
    return "";
}

std::string pack_msiSummary(pack_Msi* db, pack_MsiSummary* summary)
{
    GError* error = nullptr;
    pack_GPtr<LibmsiSummaryInfo> si(libmsi_summary_info_new(db->db, 0, &error));
    if (!si) {
        return pack_takeError(error, "cannot read the summary information");
    }
    auto type = [&](LibmsiProperty p) {
        return libmsi_summary_info_get_property_type(si.get(), p, nullptr);
    };
    for (auto field : {std::make_pair(LIBMSI_PROPERTY_SUBJECT, &summary->subject),
                       std::make_pair(LIBMSI_PROPERTY_COMMENTS, &summary->comments)}) {
        const gchar* text = type(field.first) == LIBMSI_PROPERTY_TYPE_STRING
            ? libmsi_summary_info_get_string(si.get(), field.first, nullptr)
            : nullptr;
        field.second->assign(text != nullptr ? text : "");
    }
    if (type(LIBMSI_PROPERTY_SOURCE) == LIBMSI_PROPERTY_TYPE_INT) {
        summary->wordCount = libmsi_summary_info_get_int(si.get(), LIBMSI_PROPERTY_SOURCE, nullptr);
    }
    return "";
}
