// The cabinet rewrite over libgcab, and the copy of the package written by libmsi: the
// database is opened on the package and committed to the copy, so the package is only read.
// The cabinet goes through files in a work directory, not memory: it may be most of the package.
#include "msi_package.h"
#include "cabinet_store.h"

#include <glib/gstdio.h>
#include <libgcab.h>
#include <libmsi.h>

#include <map>
#include <memory>

namespace {

struct pack_Unref {
    void operator()(void* object) const { g_object_unref(object); }
};
template<typename T>
using pack_GPtr = std::unique_ptr<T, pack_Unref>;

std::string pack_gError(GError* error, const char* fallback)
{
    std::string text = error != nullptr && error->message != nullptr ? error->message : fallback;
    g_clear_error(&error);
    for (char& c : text) {
        c = c == '\n' ? ' ' : c;
    }
    return text;
}

// The work directory and everything in it, removed at the end of the scope.
struct pack_WorkDir {
    std::string path;
    ~pack_WorkDir()
    {
        if (!path.empty()) {
            pack_GPtr<GFile> dir(g_file_new_for_path(path.c_str()));
            pack_GPtr<GFile> files(g_file_get_child(dir.get(), "files"));
            pack_GPtr<GFileEnumerator> list(
                g_file_enumerate_children(files.get(), G_FILE_ATTRIBUTE_STANDARD_NAME,
                                          G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
            for (GFileInfo* info = nullptr;
                 list && (info = g_file_enumerator_next_file(list.get(), nullptr, nullptr));) {
                g_remove(
                    (std::string(g_file_peek_path(files.get())) + "/" + g_file_info_get_name(info))
                        .c_str());
                g_object_unref(info);
            }
            g_rmdir(g_file_peek_path(files.get()));
            g_remove((path + "/in.cab").c_str());
            g_remove((path + "/out.cab").c_str());
            g_rmdir(path.c_str());
        }
    }
};

bool pack_runSql(LibmsiDatabase* db, const char* sql, LibmsiRecord* params, GError** error)
{
    pack_GPtr<LibmsiQuery> q(libmsi_query_new(db, sql, error));
    return q && libmsi_query_execute(q.get(), params, error) && libmsi_query_close(q.get(), error);
}

// The cabinet stream, into the file at path.
std::string pack_saveStream(LibmsiDatabase* db, const std::string& stream, const std::string& path)
{
    GError* error = nullptr;
    pack_GPtr<LibmsiRecord> name(libmsi_record_new(1));
    libmsi_record_set_string(name.get(), 1, stream.c_str());
    pack_GPtr<LibmsiQuery> q(
        libmsi_query_new(db, "SELECT `Data` FROM `_Streams` WHERE `Name` = ?", &error));
    if (!q || !libmsi_query_execute(q.get(), name.get(), &error)) {
        return pack_gError(error, "cannot find the stream");
    }
    pack_GPtr<LibmsiRecord> row(libmsi_query_fetch(q.get(), &error));
    pack_GPtr<GInputStream> in(row ? libmsi_record_get_stream(row.get(), 1) : nullptr);
    pack_GPtr<GFile> file(g_file_new_for_path(path.c_str()));
    pack_GPtr<GFileOutputStream> out(
        in ? g_file_replace(file.get(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &error)
           : nullptr);
    if (!out
        || g_output_stream_splice(G_OUTPUT_STREAM(out.get()), in.get(),
                                  GOutputStreamSpliceFlags(G_OUTPUT_STREAM_SPLICE_CLOSE_SOURCE
                                                           | G_OUTPUT_STREAM_SPLICE_CLOSE_TARGET),
                                  nullptr, &error)
            < 0) {
        return pack_gError(error, "cannot read the stream");
    }
    libmsi_query_close(q.get(), nullptr);
    return "";
}

// Each file is extracted under its number, so that no name in the cabinet makes a path.
gboolean pack_numberFile(GCabFile* file, gpointer data)
{
    auto* numbers = static_cast<std::map<GCabFile*, std::string>*>(data);
    std::string number = std::to_string(numbers->size());
    (*numbers)[file] = number;
    gcab_file_set_extract_name(file, number.c_str());
    return TRUE;
}

// The same folders with the same files in the same order, each folder stored uncompressed.
std::string pack_storedCabinet(GCabCabinet* old, const std::map<GCabFile*, std::string>& numbers,
                               const std::string& dir, GCabCabinet* stored)
{
    GError* error = nullptr;
    GPtrArray* folders = gcab_cabinet_get_folders(old);
    for (guint f = 0; f < folders->len; ++f) {
        pack_GPtr<GCabFolder> folder(gcab_folder_new(GCAB_COMPRESSION_NONE));
        GSList* files = gcab_folder_get_files(GCAB_FOLDER(g_ptr_array_index(folders, f)));
        for (GSList* l = files; l != nullptr; l = l->next) {
            GCabFile* from = GCAB_FILE(l->data);
            auto number = numbers.find(from);
            if (number == numbers.end()) {
                g_slist_free(files);
                return std::string("cannot extract ") + gcab_file_get_name(from);
            }
            pack_GPtr<GFile> source(
                g_file_new_for_path((dir + "/files/" + number->second).c_str()));
            pack_GPtr<GCabFile> file(
                gcab_file_new_with_file(gcab_file_get_name(from), source.get()));
            gcab_file_set_attributes(file.get(), gcab_file_get_attributes(from));
            GDateTime* date = gcab_file_get_date_time(from);
            if (date != nullptr) {
                gcab_file_set_date_time(file.get(), date);
                g_date_time_unref(date);
            }
            if (!gcab_folder_add_file(folder.get(), file.get(), FALSE, nullptr, &error)) {
                g_slist_free(files);
                return pack_gError(error, "cannot add a file");
            }
        }
        g_slist_free(files);
        if (!gcab_cabinet_add_folder(stored, folder.get(), &error)) {
            return pack_gError(error, "cannot add a folder");
        }
    }
    return "";
}

// in.cab, extracted to files/, stored again as out.cab.
std::string pack_storeOne(const std::string& dir)
{
    GError* error = nullptr;
    pack_GPtr<GFile> inFile(g_file_new_for_path((dir + "/in.cab").c_str()));
    pack_GPtr<GFileInputStream> in(g_file_read(inFile.get(), nullptr, &error));
    pack_GPtr<GCabCabinet> old(gcab_cabinet_new());
    if (!in || !gcab_cabinet_load(old.get(), G_INPUT_STREAM(in.get()), nullptr, &error)) {
        return pack_gError(error, "not a cabinet");
    }
    std::map<GCabFile*, std::string> numbers;
    pack_GPtr<GFile> files(g_file_new_for_path((dir + "/files").c_str()));
    if (!gcab_cabinet_extract_simple(old.get(), files.get(), pack_numberFile, &numbers, nullptr,
                                     &error)) {
        return pack_gError(error, "cannot extract it");
    }
    pack_GPtr<GCabCabinet> stored(gcab_cabinet_new());
    std::string failed = pack_storedCabinet(old.get(), numbers, dir, stored.get());
    if (!failed.empty()) {
        return failed;
    }
    pack_GPtr<GFile> outFile(g_file_new_for_path((dir + "/out.cab").c_str()));
    pack_GPtr<GFileOutputStream> out(
        g_file_replace(outFile.get(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &error));
    if (!out
        || !gcab_cabinet_write_simple(stored.get(), G_OUTPUT_STREAM(out.get()), nullptr, nullptr,
                                      nullptr, &error)
        || !g_output_stream_close(G_OUTPUT_STREAM(out.get()), nullptr, &error)) {
        return pack_gError(error, "cannot write it stored");
    }
    return "";
}

std::string pack_replaceStream(LibmsiDatabase* db, const std::string& stream,
                               const std::string& cab)
{
    GError* error = nullptr;
    pack_GPtr<LibmsiRecord> row(libmsi_record_new(2));
    libmsi_record_set_string(row.get(), 1, stream.c_str());
    if (!libmsi_record_load_stream(row.get(), 2, cab.c_str())) {
        return "cannot read the stored cabinet";
    }
    pack_GPtr<LibmsiRecord> name(libmsi_record_new(1));
    libmsi_record_set_string(name.get(), 1, stream.c_str());
    if (!pack_runSql(db, "DELETE FROM `_Streams` WHERE `Name` = ?", name.get(), &error)
        || !pack_runSql(db, "INSERT INTO `_Streams` (`Name`, `Data`) VALUES (?, ?)", row.get(),
                        &error)) {
        return pack_gError(error, "cannot replace the stream");
    }
    return "";
}

std::string pack_rewriteInto(const char* package, const std::vector<std::string>& streams,
                             const std::string& copy)
{
    pack_WorkDir work;
    GError* error = nullptr;
    gchar* dir = g_dir_make_tmp("setup-pack-XXXXXX", &error);
    if (dir == nullptr) {
        return "cannot make a work directory: " + pack_gError(error, "failed");
    }
    work.path = dir;
    g_free(dir);
    pack_GPtr<LibmsiDatabase> db(
        libmsi_database_new(package, LIBMSI_DB_FLAGS_TRANSACT, copy.c_str(), &error));
    if (!db) {
        return "not a Windows Installer package (" + pack_gError(error, "cannot open") + ")";
    }
    for (const std::string& stream : streams) {
        std::string failed = pack_saveStream(db.get(), stream, work.path + "/in.cab");
        failed = failed.empty() ? pack_storeOne(work.path) : failed;
        failed =
            failed.empty() ? pack_replaceStream(db.get(), stream, work.path + "/out.cab") : failed;
        if (!failed.empty()) {
            return "its cabinet " + stream + ": " + failed;
        }
    }
    if (!libmsi_database_commit(db.get(), &error)) {
        return "cannot write the copy with stored cabinets: " + pack_gError(error, "failed");
    }
    return "";
}

}  // namespace

std::string pack_rewriteCabinets(const char* package, const std::vector<std::string>& streams,
                                 std::string* packedCopy)
{
    GError* error = nullptr;
    gchar* name = nullptr;
    int fd = g_file_open_tmp("setup-pack-XXXXXX.msi", &name, &error);
    if (fd < 0) {
        return "cannot make a temporary file: " + pack_gError(error, "failed");
    }
    g_close(fd, nullptr);
    *packedCopy = name;
    g_free(name);
    std::string failed = pack_rewriteInto(package, streams, *packedCopy);
    if (!failed.empty()) {
        g_remove(packedCopy->c_str());
        packedCopy->clear();
    }
    return failed;
}
