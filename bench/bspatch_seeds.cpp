// Writes the fuzz seed corpus of the patch applier: a few small valid patches from the tests'
// patch writer, framed as the fuzz target reads them.
//   build/<dir>/bench/bspatch_seeds tests/fuzz/corpus/bspatch
#include <cstdio>
#include <string>

#include "bspatch_patch_writer.h"

using namespace bspatch_test;

static bool save(const std::string& dir, const char* name, const Bytes& data)
{
    std::string path = dir + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && ok;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: bspatch_seeds DIR\n", stderr);
        return 1;
    }
    const Bytes old = "hello, old world";
    struct Seed {
        const char* name;
        Bytes old, fresh;
        std::vector<Triple> triples;
    } seeds[] = {
        {"edit", old, "hello, new world!", {{7, 3, 3}, {6, 1, 0}}},
        {"outside-old", old, "0123456789", {{0, 0, -4}, {6, 0, 20}, {4, 0, 0}}},
        {"empty-moves", old, "worlds", {{0, 0, 10}, {0, 0, -2}, {5, 1, 0}}},
        {"empty-old", "", "extra only", {{0, 10, 0}}},
        {"empty-new", old, "", {}},
    };
    for (const Seed& s : seeds) {
        if (!save(argv[1], s.name, fuzzInput(s.old, writePatch(s.old, s.fresh, s.triples)))) {
            std::perror(s.name);
            return 1;
        }
    }
    return 0;
}
