// Patch application: the integer encoding, the header checks and the replay of the triples,
// on patches made by the tests' own writer.
#include <bzlib.h>

#include <cstdio>
#include <random>

#include "bspatch_fixture.h"

namespace bspatch_test {
namespace {

constexpr int64_t kMax = INT64_MAX;
const Bytes kOld = "The quick brown fox jumps over the lazy dog";  // 43 bytes

Bytes bytesOf(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

TEST(BspatchDecode, Vectors)
{
    struct Case {
        Bytes bytes;
        int64_t value;
    } cases[] = {
        {bytesOf({1, 0, 0, 0, 0, 0, 0, 0}), 1},
        {bytesOf({1, 0, 0, 0, 0, 0, 0, 0x80}), -1},
        {bytesOf({0, 1, 0, 0, 0, 0, 0, 0}), 256},
        {bytesOf({0, 0, 0, 0, 0, 0, 0, 0x80}), 0},
        {bytesOf({0x0A, 0, 0, 0, 1, 0, 0, 0}), 4294967306LL},
        {Bytes(8, '\xFF'), -kMax},
        {bytesOf({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}), kMax},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bspatch_decodeOffset(reinterpret_cast<const unsigned char*>(c.bytes.data())),
                  c.value);
    }
}

TEST(BspatchMovePosition, StaysInRangeOrRefuses)
{
    struct Case {
        int64_t position, delta;
        int result;
        int64_t after;
    } cases[] = {
        {0, kMax, 0, kMax},
        {1, kMax, 1, 1},
        {kMax, 0, 0, kMax},
        {-1, -kMax, 0, INT64_MIN},
        {-2, -kMax, 1, -2},
        {INT64_MIN, kMax, 0, -1},
        {INT64_MIN, -1, 1, INT64_MIN},
        {kMax, -kMax, 0, 0},
    };
    for (const Case& c : cases) {
        int64_t position = c.position;
        EXPECT_EQ(bspatch_movePosition(&position, c.delta), c.result)
            << c.position << " " << c.delta;
        EXPECT_EQ(position, c.after);
    }
}

// Patches that apply: each rebuilds fresh from old along its triples.
struct Good {
    const char* name;
    Bytes old, fresh;
    std::vector<Triple> triples;
};

std::vector<Good> goodCases()
{
    Bytes edited = "The quick red fox jumped over the lazy dogs, twice!";
    return {
        {"identity", kOld, kOld, {{43, 0, 0}}},
        {"edits and inserts", kOld, edited, {{10, 3, 2}, {10, 2, -1}, {15, 11, 0}}},
        {"old position below 0", kOld, edited, {{0, 0, -5}, {20, 0, -30}, {31, 0, 0}}},
        {"old position beyond the end", kOld, edited, {{30, 0, 10}, {10, 0, 100}, {11, 0, 0}}},
        {"straddling both ends", "abc", "0123456789", {{0, 0, -4}, {10, 0, 0}}},
        {"x = 0 and y = 0 move only the old position",
         kOld,
         edited,
         {{5, 0, 0}, {0, 0, 7}, {0, 0, -3}, {46, 0, 0}}},
        {"extra bytes only", kOld, "brand new", {{0, 9, 0}}},
        {"empty old file", "", edited, {{20, 5, 3}, {26, 0, 0}}},
        {"old position at the top of the range", kOld, "ab", {{0, 0, kMax - 2}, {2, 0, 0}}},
        {"old position at the bottom of the range",
         kOld,
         "abcd",
         {{0, 0, -kMax}, {0, 0, -1}, {1, 0, kMax}, {3, 0, 0}}},
    };
}

TEST_F(BspatchFiles, WrittenPatchesRebuildTheNewFile)
{
    for (const Good& c : goodCases()) {
        fs::remove(path("new"));
        ASSERT_EQ(apply(c.old, writePatch(c.old, c.fresh, c.triples)), 0) << c.name;
        EXPECT_EQ(get("new"), c.fresh) << c.name;
    }
    EXPECT_EQ(names(), (std::vector<std::string> {"new", "old", "patch"}));
}

// Random triples over a small old file: old positions keep straddling its start and its end,
// which is where the bounds test must be exact.
TEST_F(BspatchFiles, RandomTriplesAgainstTheWriter)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        Bytes old(random() % 600, '\0'), fresh;
        for (char& c : old)
            c = static_cast<char>(random());
        std::vector<Triple> triples;
        for (int i = 0; i < 30; ++i) {
            Triple t {static_cast<int64_t>(random() % 200), static_cast<int64_t>(random() % 20),
                      static_cast<int64_t>(random() % 700) - 350};
            triples.push_back(t);
            for (int64_t k = 0; k < t.x + t.y; ++k)
                fresh.push_back(static_cast<char>(random()));
        }
        ASSERT_EQ(apply(old, writePatch(old, fresh, triples)), 0) << round;
        ASSERT_EQ(get("new"), fresh) << round;
    }
}

// Patches that fail; the new file must not appear.
struct Bad {
    const char* name;
    Bytes patch;
};

std::vector<Bad> badCases()
{
    Bytes ten(10, 'd');
    Bytes control = compress(controlBlock({{5, 5, 0}}));
    Bytes header = makePatch({{5, 5, 0}}, ten, ten, 10);
    std::vector<Bad> cases = {
        {"31-byte patch", header.substr(0, 31)},
        {"empty patch", ""},
        {"magic in lower case", "bsdiff40" + header.substr(8)},
        {"negative control length", "BSDIFF40" + encode(-1) + header.substr(16)},
        {"negative diff length", header.substr(0, 16) + encode(-1) + header.substr(24)},
        {"negative new size", header.substr(0, 24) + encode(-10) + header.substr(32)},
        {"control block ends early", makePatch({{5, 0, 0}}, ten, "", 10)},
        {"empty control block", makePatch({}, "", "", 10)},
        {"control value cut short",
         assemble(compress(encode(5).substr(0, 7)), compress(ten), "", 10)},
        {"control block past the end of the patch",
         "BSDIFF40" + encode(1000) + encode(0) + encode(5) + control},
        {"negative x", makePatch({{-1, 0, 0}}, "", "", 5)},
        {"negative y", makePatch({{2, -1, 0}}, ten, "", 5)},
        {"x beyond the new size", makePatch({{6, 0, 0}}, ten, "", 5)},
        {"x + y beyond the new size", makePatch({{3, 3, 0}}, ten, ten, 5)},
        {"diff block shorter than x", makePatch({{5, 0, 0}}, "abc", "", 5)},
        {"extra block shorter than y", makePatch({{0, 5, 0}}, "", "abc", 5)},
        {"diff block not bzip2", assemble(compress(controlBlock({{5, 0, 0}})), "garbage!", "", 5)},
        {"lengths beyond any file", "BSDIFF40" + encode(kMax) + encode(kMax) + encode(0)},
        {"old position passes the top in the diff step",
         makePatch({{0, 0, kMax - 1}, {2, 0, 0}}, "ab", "", 2)},
        {"old position passes the top in the z step",
         makePatch({{1, 0, kMax}, {1, 0, 0}}, "ab", "", 2)},
        {"old position passes the bottom",
         makePatch({{0, 0, -kMax}, {0, 0, -2}, {1, 0, 0}}, "a", "", 1)},
    };
    for (int i = 0; i < 8; ++i) {  // any single byte of the magic
        Bytes patch = header;
        patch[i] = static_cast<char>(patch[i] ^ 0x01);
        cases.push_back({"magic byte changed", patch});
    }
    return cases;
}

TEST_F(BspatchFiles, BrokenPatchesFailWithoutWriting)
{
    for (const Bad& c : badCases()) {
        EXPECT_EQ(apply(kOld, c.patch), 1) << c.name;
        EXPECT_EQ(names(), (std::vector<std::string> {"old", "patch"})) << c.name;
    }
}

TEST_F(BspatchFiles, HeaderLengthsMayBeNegativeZero)
{
    Bytes zero = encode(0, true);
    EXPECT_EQ(apply(kOld, "BSDIFF40" + zero + zero + zero), 0);
    EXPECT_EQ(get("new"), "");
    // An empty diff block announced as negative zero: control, then the extra block at once.
    Bytes control = compress(controlBlock({{0, 5, 0}}));
    Bytes patch = "BSDIFF40" + encode(static_cast<int64_t>(control.size())) + zero + encode(5)
        + control + compress("fresh");
    EXPECT_EQ(apply(kOld, patch), 0);
    EXPECT_EQ(get("new"), "fresh");
}

TEST_F(BspatchFiles, DataAfterTheLastTripleIsNotRead)
{
    // The surplus triple would fail if it were read, and so would the trailing garbage.
    Bytes patch = makePatch({{3, 2, 0}, {-1, -1, 0}}, "ABCxyz", "xyzzy", 5) + "trailing garbage";
    EXPECT_EQ(apply("abc", patch), 0);
    EXPECT_EQ(get("new"), Bytes("\xA2\xA4\xA6xy"));
    // New size 0: no block is read at all.
    EXPECT_EQ(apply(kOld, makePatch({{-1, -1, 0}}, "", "", 0)), 0);
    EXPECT_EQ(get("new"), "");
}

TEST_F(BspatchFiles, ArgumentsAndMissingFiles)
{
    Bytes patch = writePatch(kOld, "abc", {{3, 0, 0}});
    put("old", kOld);
    put("patch", patch);
    std::string o = path("old"), n = path("new"), p = path("patch");
    const char* argv[] = {"bspatch", o.c_str(), n.c_str(), p.c_str(), "more"};
    EXPECT_EQ(bspatch_apply(3, argv), 1);
    EXPECT_EQ(bspatch_apply(5, argv), 1);
    EXPECT_EQ(run("missing", "new", "patch"), 1);
    EXPECT_EQ(run("old", "new", "missing"), 1);
    // New size 0 still needs a readable old file.
    put("empty-patch", makePatch({}, "", "", 0));
    EXPECT_EQ(run("missing", "new", "empty-patch"), 1);
    EXPECT_EQ(names(), (std::vector<std::string> {"empty-patch", "old", "patch"}));
    EXPECT_EQ(run("old", "new", "patch"), 0);
}

// Block reads longer than one request go in several.
TEST_F(BspatchFiles, StreamReadsInSeveralRequests)
{
    Bytes data;
    for (int i = 0; i < 1000; ++i)
        data.push_back(static_cast<char>(i * 7));
    put("block", compress(data));
    for (int maxRequest : {1, 7, 999, 1000, 1 << 30}) {
        FILE* file = std::fopen(path("block").c_str(), "rb");
        ASSERT_NE(file, nullptr);
        int error = 0;
        BZFILE* bz = BZ2_bzReadOpen(&error, file, 0, 0, nullptr, 0);
        Bytes out(1001, '\0');
        auto* dest = reinterpret_cast<unsigned char*>(&out[0]);
        EXPECT_EQ(bspatch_readStream(bz, &error, dest, 1000, maxRequest), 0) << maxRequest;
        EXPECT_EQ(out.substr(0, 1000), data) << maxRequest;
        EXPECT_EQ(bspatch_readStream(bz, &error, dest, 1, maxRequest), 1) << maxRequest;
        BZ2_bzReadClose(&error, bz);
        std::fclose(file);
    }
}

}  // namespace
}  // namespace bspatch_test
