// The temporary file beside the target, and the rename that puts it in place.
#include "replace_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <io.h>
#else
#include <unistd.h>
#endif

// Files are opened untranslated where the system distinguishes text from binary mode.
#ifdef O_BINARY
constexpr int kReplaceBinary = O_BINARY;
#else
constexpr int kReplaceBinary = 0;
#endif

struct replace_File {
    FILE* stream;  // the content: the temporary file, or an anonymous one for a device
    char* temp;  // the temporary file's name; null for a device
    FILE* device;  // a special target, open for writing
    char* target;  // the file to replace, links resolved
    bool keepMode;  // a regular file is there, whose permissions the replacement keeps
    unsigned mode;
};

namespace {

// Temporary name: the target's name with ".XXXXXXXX.tmp" appended, so it lands in the same
// directory (a rename cannot cross file systems) without taking the path apart.
constexpr size_t kTempSuffixSize = sizeof ".01234567.tmp";
constexpr int kTempAttempts = 100;
constexpr size_t kCopyPiece = 1 << 16;

enum replace_TargetKind { kAbsent, kRegular, kSpecial };

// msvcrt's rename refuses an existing target; MoveFileExA replaces it.
int replace_rename(const char* from, const char* to)
{
#ifdef _WIN32
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) {
        return 0;
    }
    errno = EACCES;
    return 1;
#else
    return rename(from, to) == 0 ? 0 : 1;
#endif
}

int replace_flushToDisk(FILE* stream)
{
#ifdef _WIN32
    return _commit(_fileno(stream)) == 0 ? 0 : 1;
#else
    return fsync(fileno(stream)) == 0 ? 0 : 1;
#endif
}

// What sits at path now; *mode gets its permission bits. A symbolic link is looked at itself,
// not followed (links are resolved before this is asked).
replace_TargetKind replace_examine(const char* path, unsigned* mode)
{
#ifdef _WIN32
    struct _stat64 info;
    if (_stat64(path, &info) != 0) {
        return kAbsent;
    }
#else
    struct stat info;
    if (lstat(path, &info) != 0) {
        return kAbsent;
    }
#endif
    *mode = info.st_mode & 0777;
    return (info.st_mode & S_IFMT) == S_IFREG ? kRegular : kSpecial;
}

char* replace_copyText(const char* text, size_t room)
{
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + room + 1));
    if (copy != nullptr) {
        memcpy(copy, text, length + 1);
    }
    return copy;
}

// The file a symbolic link finally names, else path itself (heap, freed by the caller).
// Replacing the link itself would cut it off its file.
char* replace_resolve(const char* path)
{
#ifndef _WIN32
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
        char* resolved = realpath(path, nullptr);
        if (resolved != nullptr) {
            return resolved;
        }
    }
#endif
    return replace_copyText(path, 0);
}

// Creates a new, empty file next to target; O_EXCL makes sure no existing file is reused.
// *tempPath (heap) names it.
FILE* replace_createTemp(const char* target, char** tempPath)
{
    size_t length = strlen(target);
    char* path = replace_copyText(target, kTempSuffixSize);
    if (path == nullptr) {
        return nullptr;
    }
    unsigned long seed = static_cast<unsigned long>(time(nullptr))
        ^ static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&path) >> 4);
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        unsigned long tag = (seed + attempt * 2654435761ul) & 0xFFFFFFFFul;
        snprintf(path + length, kTempSuffixSize, ".%08lx.tmp", tag);
        int fd = open(path, O_RDWR | O_CREAT | O_EXCL | kReplaceBinary, 0666);
        if (fd >= 0) {
#ifdef _WIN32
            FILE* stream = _fdopen(fd, "w+b");
#else
            FILE* stream = fdopen(fd, "w+b");
#endif
            if (stream == nullptr) {
                close(fd);
                remove(path);
                break;
            }
            *tempPath = path;
            return stream;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    free(path);
    return nullptr;
}

// A device gets the content only now, written straight into it.
int replace_copyToDevice(FILE* from, FILE* device)
{
    char piece[kCopyPiece];
    if (replace_seek(from, 0) != 0) {
        return 1;
    }
    for (size_t got; (got = fread(piece, 1, sizeof piece, from)) > 0;) {
        if (fwrite(piece, 1, got, device) != got) {
            return 1;
        }
    }
    return ferror(from) ? 1 : 0;
}

void replace_free(replace_File* file)
{
    free(file->temp);
    free(file->target);
    free(file);
}

}  // namespace

replace_File* replace_begin(const char* path)
{
    replace_File* file = static_cast<replace_File*>(calloc(1, sizeof(replace_File)));
    if (file == nullptr || (file->target = replace_resolve(path)) == nullptr) {
        free(file);
        errno = ENOMEM;
        return nullptr;
    }
    replace_TargetKind kind = replace_examine(file->target, &file->mode);
    if (kind == kSpecial) {
        file->device = fopen(file->target, "wb");
        file->stream = file->device != nullptr ? tmpfile() : nullptr;
    } else {
        file->keepMode = kind == kRegular;
        file->stream = replace_createTemp(file->target, &file->temp);
    }
    if (file->stream == nullptr) {
        int error = errno;
        replace_abandon(file);
        errno = error;
        return nullptr;
    }
    return file;
}

FILE* replace_stream(replace_File* file) { return file->stream; }

int replace_write(replace_File* file, const void* data, size_t size)
{
    return fwrite(data, 1, size, file->stream) == size ? 0 : 1;
}

namespace {

// fseek takes a long, 32 bits on Windows.
int replace_seekFrom(FILE* stream, int64_t offset, int whence)
{
#ifdef _WIN32
    return _fseeki64(stream, offset, whence) == 0 ? 0 : 1;
#else
    return fseeko(stream, static_cast<off_t>(offset), whence) == 0 ? 0 : 1;
#endif
}

}  // namespace

int replace_seek(FILE* stream, uint64_t offset)
{
    return offset <= uint64_t(INT64_MAX)
        ? replace_seekFrom(stream, static_cast<int64_t>(offset), SEEK_SET)
        : 1;
}

int replace_writeAt(replace_File* file, uint64_t offset, const void* data, size_t size)
{
    if (replace_seek(file->stream, offset) != 0 || replace_write(file, data, size) != 0) {
        return 1;
    }
    return replace_seekFrom(file->stream, 0, SEEK_END);
}

int replace_commit(replace_File* file)
{
    int result = fflush(file->stream) == 0 ? 0 : 1;
    if (result == 0 && file->device != nullptr) {
        result = replace_copyToDevice(file->stream, file->device);
    }
#ifndef _WIN32
    if (result == 0 && file->keepMode && fchmod(fileno(file->stream), file->mode) != 0) {
        result = 1;
    }
#endif
    if (result == 0 && file->device == nullptr) {
        result = replace_flushToDisk(file->stream);
    }
    if (fclose(file->stream) != 0) {
        result = 1;
    }
    file->stream = nullptr;
    if (file->device != nullptr && fclose(file->device) != 0) {
        result = 1;
    }
    file->device = nullptr;
    if (result == 0 && file->temp != nullptr) {
        result = replace_rename(file->temp, file->target);
    }
    int error = errno;
    if (result != 0) {
        replace_abandon(file);
    } else {
        replace_free(file);
    }
    errno = error;
    return result;
}

void replace_abandon(replace_File* file)
{
    if (file->stream != nullptr) {
        fclose(file->stream);
    }
    if (file->device != nullptr) {
        fclose(file->device);
    }
    if (file->temp != nullptr) {
        remove(file->temp);
    }
    replace_free(file);
}
