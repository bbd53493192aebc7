// Decoding speed: setup_xzDecodeToFile writing a file against liblzma's one-call decode of the
// same stream into memory, which is as fast as this decoder can go. Same process, alternating
// runs; the best of each is compared, by the clock and by the thread's processor time (user
// and system, so the writes' cost in the kernel counts; on a shared machine the processor
// time is the steadier figure).
// The same decode to a file with the lock that protects the package before the installer
// starts (the digest kept while decoding, the file read back and checked through the lock) is
// timed against the plain one: its cost as a share of the decode.
//   bench_payload_decode.exe PAYLOAD.xz OUTPUT-FILE [RUNS]
#include "package.h"

#include <lzma.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

double seconds()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) {
        QueryPerformanceFrequency(&frequency);
    }
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double cpuSeconds()
{
    FILETIME creation, exit, kernel, user;
    GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user);
    auto value = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
    };
    return value(kernel) + value(user);
}

struct Times {
    double wall;
    double cpu;
    double lock;  // of the wall time, the lock's own step: open, read back, check
};

bool readAll(const char* path, std::string* data)
{
    FILE* f = fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    char buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        data->append(buf, n);
    }
    fclose(f);
    return true;
}

// The setup's decoder into a new file, as the payload road creates it. The previous run's
// file is deleted before the clock starts: the setup never writes over a file.
Times decodeToFile(const std::string& input, const char* out, bool locked = false)
{
    DeleteFileA(out);
    double start = seconds();
    double cpuStart = cpuSeconds();
    HANDLE file = CreateFileA(out, GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot create %s: %lu\n", out, GetLastError());
        exit(1);
    }
    static setup_Digest digest;
    uint32_t key[SETUP_DIGEST_KEY_WORDS] = {};
    setup_FileId id = {};
    DWORD result = locked ? setup_randomBytes(key, sizeof key) : 0;
    setup_digestStart(&digest, key);
    // As a run without --quiet decodes: with the progress window's clock reads and, past its
    // delay, the window and its messages, on the threads setup.exe takes.
    uint32_t threads = 1;
    uint64_t threadingLimit = 0;
    setup_decodeThreading(&threads, &threadingLimit);
    result = result != 0
        ? result
        : setup_xzDecodeToFile(input.data(), static_cast<DWORD>(input.size()), file,
                               locked ? &digest : nullptr, true, threads, threadingLimit);
    if (result == 0 && locked) {
        result = setup_getFileId(file, &id);
    }
    CloseHandle(file);
    HANDLE lock = INVALID_HANDLE_VALUE;
    double lockStart = seconds();
    if (result == 0 && locked) {
        result = setup_lockPackage(out, id, key, setup_digestFinish(&digest), &lock);
        CloseHandle(lock);
    }
    Times elapsed = {seconds() - start, cpuSeconds() - cpuStart, seconds() - lockStart};
    if (result != 0) {
        fprintf(stderr, "setup_xzDecodeToFile: %lu\n", result);
        exit(1);
    }
    return elapsed;
}

Times decodeToMemory(const std::string& input, uint8_t* out, size_t outSize, size_t* produced)
{
    double start = seconds();
    double cpuStart = cpuSeconds();
    uint64_t memlimit = UINT64_MAX;
    size_t inPos = 0;
    *produced = 0;
    lzma_ret ret = lzma_stream_buffer_decode(&memlimit, 0, nullptr,
                                             reinterpret_cast<const uint8_t*>(input.data()), &inPos,
                                             input.size(), out, produced, outSize);
    Times elapsed = {seconds() - start, cpuSeconds() - cpuStart, 0};
    if (ret != LZMA_OK) {
        fprintf(stderr, "lzma_stream_buffer_decode: %d\n", ret);
        exit(1);
    }
    return elapsed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s PAYLOAD.xz OUTPUT-FILE [RUNS]\n", argv[0]);
        return 2;
    }
    int runs = argc > 3 ? atoi(argv[3]) : 5;
    std::string input;
    if (!readAll(argv[1], &input)) {
        fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    // The decoded size, and an output buffer touched once so that the memory decode pays no
    // page faults.
    decodeToFile(input, argv[2]);
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    GetFileAttributesExA(argv[2], GetFileExInfoStandard, &attributes);
    size_t decodedSize = attributes.nFileSizeLow;
    uint8_t* buffer = static_cast<uint8_t*>(malloc(decodedSize));
    memset(buffer, 0, decodedSize);

    Times bestFile = {1e9, 1e9, 1e9};
    Times bestMemory = {1e9, 1e9, 1e9};
    Times bestLocked = {1e9, 1e9, 1e9};
    auto keepBest = [](Times* best, const Times& t) {
        best->wall = t.wall < best->wall ? t.wall : best->wall;
        best->cpu = t.cpu < best->cpu ? t.cpu : best->cpu;
        best->lock = t.lock < best->lock ? t.lock : best->lock;
    };
    for (int i = 0; i < runs; ++i) {
        size_t produced = 0;
        Times toFile = decodeToFile(input, argv[2]);
        Times toMemory = decodeToMemory(input, buffer, decodedSize, &produced);
        Times locked = decodeToFile(input, argv[2], true);
        printf("run %d: to file %.3f s (cpu %.3f s), in memory %.3f s (cpu %.3f s), "
               "locked %.3f s (cpu %.3f s)\n",
               i + 1, toFile.wall, toFile.cpu, toMemory.wall, toMemory.cpu, locked.wall,
               locked.cpu);
        keepBest(&bestFile, toFile);
        keepBest(&bestMemory, toMemory);
        keepBest(&bestLocked, locked);
    }
    printf("payload %zu bytes, decoded %zu bytes\n", input.size(), decodedSize);
    printf("best: setup_xzDecodeToFile %.3f s (cpu %.3f s), lzma_stream_buffer_decode %.3f s "
           "(cpu %.3f s)\n",
           bestFile.wall, bestFile.cpu, bestMemory.wall, bestMemory.cpu);
    printf("ratio %.3f by the clock, %.3f by processor time (target at most 1.10)\n",
           bestFile.wall / bestMemory.wall, bestFile.cpu / bestMemory.cpu);
    printf("the lock (digest, read-back, checks): %.3f s (cpu %.3f s) more, %.1f %% of the "
           "decode by the clock, %.1f %% by processor time (target at most 2 %%)\n",
           bestLocked.wall - bestFile.wall, bestLocked.cpu - bestFile.cpu,
           100 * (bestLocked.wall / bestFile.wall - 1), 100 * (bestLocked.cpu / bestFile.cpu - 1));
    printf("of which the lock's own step (open, read back, check): %.3f s, %.1f %% of the "
           "decode by the clock\n",
           bestLocked.lock, 100 * bestLocked.lock / bestFile.wall);
    free(buffer);
    return 0;
}
