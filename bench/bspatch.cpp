// Benchmark of the patch applier on a large file (host build, no sanitizers: the target drops
// them). Run:
//   cmake --preset host -B build/bench-host && cmake --build build/bench-host -j2 --target bench_bspatch
//   build/bench-host/bench/bench_bspatch [MiB, default 64] [work dir, default /tmp]
//
// It makes an old file of pseudo-random but compressible binary content, a new file that
// differs in scattered small edits, inserted runs and skipped stretches, and a patch between
// them, then prints:
//  - the time of bspatch_apply against the time to decompress the patch's three bzip2 blocks
//    alone (the limit: the routine reads each block once), best of five runs each, and
//    against that limit plus the file work every application needs, each timed alone;
//  - the peak resident memory of one application in a fresh child process, against
//    old size + new size + 16 MiB.
#include <bzlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bspatch.h"
#include "bspatch_patch_writer.h"

using namespace bspatch_test;

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Content like a program image: words from a small vocabulary, slowly growing 32-bit
// values, and some noise.
struct Generator {
    std::mt19937 random {2024};
    std::vector<Bytes> vocabulary;
    uint32_t counter = 0x401000;

    Generator()
        : vocabulary(4096)
    {
        for (Bytes& word : vocabulary) {
            word.resize(4 + random() % 13);
            for (char& c : word)
                c = static_cast<char>(random() % 96 + (random() % 4 == 0 ? 128 : 32));
        }
    }

    void append(Bytes* out, size_t size)
    {
        size_t end = out->size() + size;
        while (out->size() < end) {
            unsigned kind = random() % 10;
            if (kind < 5) {
                *out += vocabulary[random() % vocabulary.size()];
            } else if (kind < 8) {
                counter += random() % 64;
                out->append(reinterpret_cast<const char*>(&counter), 4);
            } else {
                for (unsigned n = 2 + random() % 7; n > 0; --n)
                    out->push_back(static_cast<char>(random()));
            }
        }
        out->resize(end);
    }
};

// The new file and the triples that lead there, like a rebuilt program: runs of old bytes in
// which about one byte in fifty moved by a small amount (shifted addresses) and now and then a
// short stretch differs, new content inserted between the runs, and skips in the old file.
Bytes makeNew(const Bytes& old, Generator& g, std::vector<Triple>* triples)
{
    Bytes out;
    out.reserve(old.size() + old.size() / 10);
    int64_t oldPos = 0, oldSize = static_cast<int64_t>(old.size());
    while (oldPos < oldSize) {
        int64_t x = std::min<int64_t>(4096 + g.random() % 60000, oldSize - oldPos);
        for (int64_t i = 0; i < x; ++i) {
            char c = old[oldPos + i];
            unsigned roll = g.random() % 1000;
            if (roll < 20)
                c = static_cast<char>(c + 1 + g.random() % 4);
            if (roll == 999)
                c = static_cast<char>(g.random());
            out.push_back(c);
        }
        int64_t y = g.random() % 2 == 0 ? g.random() % 4000 : 0;
        g.append(&out, static_cast<size_t>(y));
        int64_t z = static_cast<int64_t>(g.random() % 2000) - 600;
        if (oldPos + x + z < 0)
            z = -(oldPos + x);
        triples->push_back({x, y, z});
        oldPos += x + z;
    }
    return out;
}

bool save(const std::string& path, const Bytes& data)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && ok;
}

Bytes load(const std::string& path)
{
    Bytes out;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return out;
    fseeko(file, 0, SEEK_END);
    out.resize(static_cast<size_t>(ftello(file)));
    fseeko(file, 0, SEEK_SET);
    out.resize(std::fread(&out[0], 1, out.size(), file));
    std::fclose(file);
    return out;
}

// The limit: each of the three blocks decompressed once, front to back, into a small buffer.
double decompressBlocks(const std::string& patchPath, const int64_t offsets[3])
{
    static char buffer[1 << 20];
    double start = now();
    for (int i = 0; i < 3; ++i) {
        FILE* file = std::fopen(patchPath.c_str(), "rb");
        fseeko(file, offsets[i], SEEK_SET);
        int error = BZ_OK;
        BZFILE* bz = BZ2_bzReadOpen(&error, file, 0, 0, nullptr, 0);
        while (error == BZ_OK)
            BZ2_bzRead(&error, bz, buffer, sizeof buffer);
        if (error != BZ_STREAM_END) {
            std::fprintf(stderr, "block %d: libbz2 error %d\n", i, error);
            std::exit(1);
        }
        BZ2_bzReadClose(&error, bz);
        std::fclose(file);
    }
    return now() - start;
}

// The work every application does besides decompressing, each timed alone: touching a fresh
// buffer of the new size (the pages the decompressor writes into), reading the old file into
// a fresh buffer, and writing the new file (temporary file, flush, rename).
void otherWork(const std::string& oldPath, const std::string& newPath, const Bytes& fresh,
               double seconds[3])
{
    double start = now();
    auto* buffer = static_cast<char*>(std::malloc(fresh.size()));
    std::memset(buffer, 1, fresh.size());
    asm volatile("" : : "r"(buffer) : "memory");  // keep the pages from being optimised away
    seconds[0] = std::min(seconds[0], now() - start);
    std::free(buffer);
    start = now();
    Bytes old = load(oldPath);
    seconds[1] = std::min(seconds[1], now() - start);
    start = now();
    bspatch_writeNewFile(newPath.c_str(), reinterpret_cast<const unsigned char*>(fresh.data()),
                         static_cast<int64_t>(fresh.size()));
    seconds[2] = std::min(seconds[2], now() - start);
}

// VmHWM of this process, in KiB.
long ownPeakKiB()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long peak = -1;
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld", &peak) == 1)
            break;
    }
    if (status)
        std::fclose(status);
    return peak;
}

// Peak resident set of one application, in a process that does nothing else. The child
// reports its own high-water mark: the rusage of a forked child would also count the pages
// it shared with this process before exec.
long peakKiB(const char* self, const std::string& oldPath, const std::string& newPath,
             const std::string& patchPath)
{
    std::string command = std::string("'") + self + "' --apply '" + oldPath + "' '" + newPath
        + "' '" + patchPath + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return -1;
    long peak = -1;
    if (std::fscanf(child, "%ld", &peak) != 1)
        peak = -1;
    if (pclose(child) != 0)
        peak = -1;
    return peak;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--apply") {
        const char* args[] = {"bspatch", argv[2], argv[3], argv[4]};
        int result = bspatch_apply(4, args);
        std::printf("%ld\n", ownPeakKiB());
        return result;
    }
    size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    std::string dir = argc > 2 ? argv[2] : "/tmp";
    std::string oldPath = dir + "/bench-bspatch.old", newPath = dir + "/bench-bspatch.new",
                patchPath = dir + "/bench-bspatch.patch", copyPath = newPath + ".copy";

    Generator generator;
    std::printf("making %zu MiB of old content, the new file and the patch...\n", mib);
    Bytes old;
    generator.append(&old, mib << 20);
    std::vector<Triple> triples;
    Bytes fresh = makeNew(old, generator, &triples);
    Bytes patch = writePatch(old, fresh, triples);
    if (!save(oldPath, old) || !save(patchPath, patch)) {
        std::perror("saving the inputs");
        return 1;
    }
    auto header = reinterpret_cast<const unsigned char*>(patch.data());
    int64_t controlLength = bspatch_decodeOffset(header + 8);
    int64_t diffLength = bspatch_decodeOffset(header + 16);
    const int64_t offsets[3] = {32, 32 + controlLength, 32 + controlLength + diffLength};
    std::printf("old %zu bytes, new %zu bytes, patch %zu bytes, %zu triples\n", old.size(),
                fresh.size(), patch.size(), triples.size());

    double best = 1e9, limit = 1e9, other[3] = {1e9, 1e9, 1e9};
    for (int round = 0; round < 5; ++round) {
        double start = now();
        const char* args[] = {"bspatch", oldPath.c_str(), newPath.c_str(), patchPath.c_str()};
        if (bspatch_apply(4, args) != 0) {
            std::fprintf(stderr, "bspatch_apply failed\n");
            return 1;
        }
        best = std::min(best, now() - start);
        limit = std::min(limit, decompressBlocks(patchPath, offsets));
        otherWork(oldPath, copyPath, fresh, other);
    }
    if (load(newPath) != fresh) {
        std::fprintf(stderr, "the new file differs from the expected content\n");
        return 1;
    }
    std::printf("bspatch_apply %.3f s, three blocks decompressed alone %.3f s, ratio %.3f "
                "(target <= 1.10)\n",
                best, limit, best / limit);
    double floor = limit + other[0] + other[1] + other[2];
    std::printf("alone: new buffer pages %.3f s, reading the old file %.3f s, writing the new "
                "file %.3f s; with the decompression %.3f s, ratio %.3f\n",
                other[0], other[1], other[2], floor, best / floor);

    long peak = peakKiB(argv[0], oldPath, newPath, patchPath);
    long bound = static_cast<long>((old.size() + fresh.size()) / 1024) + 16 * 1024;
    std::printf("peak resident memory %ld KiB, bound old + new + 16 MiB = %ld KiB (%s)\n", peak,
                bound, peak > 0 && peak <= bound ? "within" : "EXCEEDED or failed");
    std::remove(oldPath.c_str());
    std::remove(newPath.c_str());
    std::remove(patchPath.c_str());
    std::remove(copyPath.c_str());
    return 0;
}
