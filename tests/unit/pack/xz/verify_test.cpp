// The check beside the compression: what it takes in small pieces, faster than it decodes.
#include <random>

#include "helpers.h"

namespace {

using namespace packtest;

// Feeds stream in pieces of 4 KiB, so that the queue fills; returns the verdict and how many
// bytes were taken before the first refusal.
std::string verify(const pack_Bytes& stream, const fs::path& package, size_t* taken)
{
    pack_Verifier* verifier = pack_startVerifier(package.c_str());
    std::string refusal;
    for (*taken = 0; *taken < stream.size() && refusal.empty(); *taken += 4096) {
        refusal = pack_verifierFeed(verifier, stream.data() + *taken,
                                    std::min<size_t>(4096, stream.size() - *taken));
    }
    std::string verdict = pack_endVerifier(verifier);
    return refusal.empty() ? verdict : refusal;
}

}  // namespace

// Only a stream that decodes to the package whole passes; a fault shows as soon as the decoder
// meets it, and the compressor is stopped from handing over more.
TEST_F(SetupPack, TheCheckBesideTheCompressionPassesOnlyThePackage)
{
    fs::path package = dir_ / "product.msi", other = dir_ / "other.msi";
    pack_Bytes bytes(1 << 20);
    std::mt19937 random(7);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    writeFile(package, bytes);
    bytes[100] ^= 1;
    writeFile(other, bytes);
    pack_Bytes good, wrong;
    ASSERT_EQ(pack_compressFile(package.c_str(), &good), "");
    ASSERT_EQ(pack_compressFile(other.c_str(), &wrong), "");

    size_t taken = 0;
    EXPECT_EQ(verify(good, package, &taken), "");
    EXPECT_EQ(verify(wrong, package, &taken), "the packed payload does not decode to the package");
    EXPECT_LT(taken, wrong.size());
    pack_Bytes cut(good.begin(), good.end() - 1), flipped = good;
    flipped[flipped.size() / 2] ^= 0x40;
    for (const pack_Bytes& broken : {cut, flipped}) {
        std::string verdict = verify(broken, package, &taken);
        EXPECT_TRUE(verdict == "the packed payload does not decode to the package"
                    || verdict.rfind("decoding the packed payload failed (liblzma error ", 0) == 0)
            << verdict;
    }
    EXPECT_EQ(verify(good, dir_ / "gone.msi", &taken).rfind("cannot open the package again: ", 0),
              0u);
}
