// setup-pack's size limits and its threaded compression.
#include <random>

#include <unistd.h>

#include "helpers.h"

namespace {

using namespace packtest;

const fs::path kStub = fs::path(VORLANE_PE_STUBS) / "tiny-i686.exe";

pack_Bytes randomBytes(size_t size)
{
    std::mt19937 random(5);
    pack_Bytes bytes(size);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    return bytes;
}

}  // namespace

// No Windows Installer package reaches 2 GiB: one that does is refused before anything is
// compressed (the sparse file below would take minutes to compress), and no OUTPUT appears.
TEST_F(SetupPack, APackageOfTwoGiBIsRefusedAtOnce)
{
    fs::path package = dir_ / "big.msi", output = dir_ / "setup.exe";
    {
        std::ofstream(package, std::ios::binary);
    }
    ASSERT_EQ(truncate(package.c_str(), kPackMaxPackage), 0);
    PackRun run = packKept(kStub, package, output);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
              "setup-pack: " + package.string()
                  + ": the package is 2147483648 bytes; no "
                    "Windows Installer package can be 2147483648 bytes or larger\n");
    EXPECT_FALSE(fs::exists(output));

    pack_Compression justUnder;
    justUnder.maxPackage = 4097;
    pack_Bytes payload;
    writeFile(package, pack_Bytes(4096, 'x'));
    EXPECT_EQ(pack_compressFile(package.c_str(), &payload, justUnder), "");
}

// The image may not reach its limit either; the compression stops as soon as its output shows
// that it would, long before the end of the package, and OUTPUT, written while the package is
// compressed, stays as it was with nothing left beside it.
TEST_F(SetupPack, AnImageThatWouldReachItsLimitStopsTheCompression)
{
    fs::path package = dir_ / "product.msi";
    writeFile(package, randomBytes(3 << 20));
    pack_Compression how;
    how.imageRest = 1000;
    how.maxImage = 1200;
    pack_Bytes payload;
    std::string error = pack_compressFile(package.c_str(), &payload, how);
    ASSERT_EQ(error.rfind("the setup executable would be ", 0), 0u) << error;
    EXPECT_NE(error.find(" bytes or more; Windows loads no image of 1200 bytes or more"),
              std::string::npos)
        << error;
    EXPECT_LT(payload.size(), size_t(3) << 20);

    fs::path output = dir_ / "setup.exe";
    writeFile(output, {'k', 'e', 'e', 'p'});
    pack_Bytes stubBytes = readFile(kStub);
    pack_Stub stub;
    ASSERT_EQ(pack_readStub(stubBytes, nullptr, &stub), "");
    pack_Blame blame = kPackBlameStub;
    EXPECT_EQ(pack_writeOutput(stub, package.c_str(), how, output.c_str(), &blame)
                  .rfind("the setup executable would be ", 0),
              0u);
    EXPECT_EQ(blame, kPackBlamePackage);
    EXPECT_EQ(readFile(output), (pack_Bytes {'k', 'e', 'e', 'p'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

// --threads gives the threaded encoder's bytes, the xz program's with as many threads, and
// they do not depend on the count; the default stays the one-block form.
TEST_F(SetupPack, ThreadsGiveTheThreadedEncodersBytesWhateverTheirCount)
{
    fs::path package = dir_ / "product.msi";
    writeFile(package, randomBytes(200000));
    std::vector<pack_Bytes> outputs;
    for (const char* threads : {"2", "3", "0"}) {
        fs::path output = dir_ / (std::string("setup-") + threads + ".exe");
        PackRun run = packArgs({"--keep-branding", "--threads", threads, kStub.string(),
                                package.string(), output.string()});
        ASSERT_EQ(run.code, 0) << run.err;
        pack_Bytes payload;
        ASSERT_EQ(pack_findPayload(readFile(output), &payload), "");
        outputs.push_back(payload);
    }
    EXPECT_EQ(outputs[0], xzProgram(package, "-T2"));
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_EQ(outputs[2], outputs[0]);
    EXPECT_NE(outputs[0], xzProgram(package));
    for (const char* wrong : {"x", "-1", "257", ""}) {
        EXPECT_EQ(packArgs({"--threads", wrong, kStub.string(), package.string(), "out.exe"}).code,
                  1)
            << wrong;
    }
}

// From the size of blocks on, the package is cut into blocks of the fixed size, their sizes
// in each header, in the same bytes whatever the thread count, the default of one included:
// the xz program's with that block size. (The sizes are the tests' own: at the real ones the
// package would take a minute to compress.)
TEST_F(SetupPack, ALargePackageIsCutIntoBlocksWhateverTheThreads)
{
    fs::path package = dir_ / "product.msi";
    writeFile(package, randomBytes(300000));
    pack_Compression how;
    how.blockSize = 65536;
    how.blocksFrom = 300000;
    pack_Bytes expected = xzProgram(package, "-T2 --block-size=65536");
    for (uint32_t threads : {1u, 2u, 0u}) {
        how.threads = threads;
        pack_Bytes payload;
        ASSERT_EQ(pack_compressFile(package.c_str(), &payload, how), "");
        EXPECT_EQ(payload, expected) << threads;
        // Block flags after the header's size: both sizes present.
        EXPECT_EQ(payload.at(13) & 0xC0, 0xC0) << threads;
    }
    how.blocksFrom = 300001;
    for (uint32_t threads : {1u, 2u}) {
        how.threads = threads;
        pack_Bytes payload;
        ASSERT_EQ(pack_compressFile(package.c_str(), &payload, how), "");
        EXPECT_EQ(payload, xzProgram(package, threads == 1 ? "-T1" : "-T2")) << threads;
    }
}

// Only a 32-bit image past the size that 32-bit Windows surely maps is warned about, and the
// warning names the 64-bit stub.
TEST(PackLimits, OnlyALarge32BitImageIsWarnedAbout)
{
    EXPECT_EQ(pack_addressSpaceWarning(false, kPack32BitSafeImage), "");
    EXPECT_EQ(pack_addressSpaceWarning(true, kPack32BitSafeImage + 1), "");
    std::string warning = pack_addressSpaceWarning(false, kPack32BitSafeImage + 1);
    EXPECT_NE(warning.find("1610612737 bytes"), std::string::npos) << warning;
    EXPECT_NE(warning.find("setup-stub-x64.exe"), std::string::npos) << warning;
}
