// Fuzzes the patch applier with hostile old files and patches.
//
// Input: two bytes of old-file length (little-endian, cut to what is there), the old file's
// bytes, then the patch's bytes. Both go to files in a scratch directory (in memory when
// /dev/shm exists) and the routine applies them to a third.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "bspatch.h"

namespace {

// The routine allocates whatever new size the header names; the harness keeps that within
// the fuzzer's memory limit.
constexpr int64_t kMaxNewSize = 4 << 20;

std::string g_dir;

bool writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = fwrite(data, 1, size, file) == size;
    return fclose(file) == 0 && ok;
}

// True when the scratch directory holds nothing: no temporary file was left behind.
bool dirIsEmpty()
{
    DIR* dir = opendir(g_dir.c_str());
    if (!dir)
        return false;
    int entries = 0;
    while (const dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            ++entries;
    }
    closedir(dir);
    return entries == 0;
}

void removeDir() { rmdir(g_dir.c_str()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/dev/shm/fuzz-bspatch-XXXXXX";
    char fallback[] = "/tmp/fuzz-bspatch-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir)
        dir = mkdtemp(fallback);
    if (!dir)
        abort();
    g_dir = dir;
    atexit(removeDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    size_t oldSize = data[0] | data[1] << 8;
    if (oldSize > size - 2)
        oldSize = size - 2;
    const uint8_t* old = data + 2;
    const uint8_t* patch = old + oldSize;
    size_t patchSize = size - 2 - oldSize;
    if (patchSize >= 32 && bspatch_decodeOffset(patch + 24) > kMaxNewSize)
        return 0;

    std::string oldPath = g_dir + "/old", newPath = g_dir + "/new", patchPath = g_dir + "/patch";
    if (!writeFile(oldPath, old, oldSize) || !writeFile(patchPath, patch, patchSize))
        abort();
    const char* argv[] = {"bspatch", oldPath.c_str(), newPath.c_str(), patchPath.c_str()};
    // Success leaves exactly the new size; failure leaves nothing.
    struct stat info;
    if (bspatch_apply(4, argv) == 0) {
        if (stat(newPath.c_str(), &info) != 0 || info.st_size != bspatch_decodeOffset(patch + 24)) {
            abort();
        }
    } else if (stat(newPath.c_str(), &info) == 0) {
        abort();
    }
    unlink(oldPath.c_str());
    unlink(newPath.c_str());
    unlink(patchPath.c_str());
    if (!dirIsEmpty())
        abort();
    return 0;
}
