// The package digest: independent of how the bytes are cut, and changed by any change of them.
#include "package.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint32_t> key(uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> words(SETUP_DIGEST_KEY_WORDS);
    for (uint32_t& word : words) {
        word = random();
    }
    return words;
}

uint64_t digestOf(const std::vector<uint8_t>& bytes, const std::vector<uint32_t>& k,
                  const std::vector<size_t>& cuts = {})
{
    setup_Digest d;
    setup_digestStart(&d, k.data());
    size_t at = 0;
    for (size_t cut : cuts) {
        setup_digestUpdate(&d, bytes.data() + at, cut - at);
        at = cut;
    }
    setup_digestUpdate(&d, bytes.data() + at, bytes.size() - at);
    return setup_digestFinish(&d);
}

}  // namespace

TEST(Digest, TheSameBytesGiveTheSameValueHoweverTheyAreCut)
{
    std::vector<uint8_t> bytes(5000);
    std::mt19937 random(7);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    std::vector<uint32_t> k = key(1);
    uint64_t whole = digestOf(bytes, k);
    EXPECT_EQ(digestOf(bytes, k, {1, 7, 8, 9, 1023, 1024, 1025, 2047, 4096}), whole);
    EXPECT_EQ(digestOf(bytes, k, {3, 3, 4999}), whole);
}

TEST(Digest, AnyChangeOfTheBytesOrTheKeyChangesTheValue)
{
    std::vector<uint32_t> k = key(2);
    for (size_t size : {0u, 5u, 8u, 1024u, 3000u}) {
        std::vector<uint8_t> bytes(size, 0x5A);
        uint64_t original = digestOf(bytes, k);
        for (size_t i = 0; i < size; i += 331) {
            bytes[i] ^= 1;
            EXPECT_NE(digestOf(bytes, k), original) << size << " " << i;
            bytes[i] ^= 1;
        }
        // Zeros added at the end are data, not the padding of the last pair of words.
        bytes.push_back(0);
        EXPECT_NE(digestOf(bytes, k), original) << size;
        bytes.pop_back();
        EXPECT_NE(digestOf(bytes, key(3)), original) << size;
    }
}
