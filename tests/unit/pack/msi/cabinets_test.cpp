// Embedded cabinets: the header reader on hand-made headers, and on a wixl package (MSZIP) the
// hint, --store-cabinets (checked with msitools and gcab, the tools of others) and its refusals.
#include <stdlib.h>

#include "msi_package.h"
#include "helpers.h"

namespace {

using namespace packtest;

const fs::path kSample = fs::path(VORLANE_CABS_DIR) / "cabinets.msi";
const fs::path kStub = fs::path(VORLANE_PE_STUBS) / "tiny-i686.exe";

// A cabinet's header with one folder entry per type, reserve areas when reserve is given.
pack_Bytes cabHeader(const std::vector<uint16_t>& types, uint8_t reserve = 0)
{
    pack_Bytes h = {'M', 'S', 'C', 'F'};
    h.resize(36);
    pack_put32(h, 8, 123456);  // cbCabinet
    pack_put16(h, 24, 0x0103);  // version 1.3
    pack_put16(h, 26, static_cast<uint32_t>(types.size()));
    pack_put16(h, 28, 7);  // cFiles
    pack_put16(h, 30, reserve != 0 ? 4 : 0);  // cfhdrRESERVE_PRESENT
    if (reserve != 0) {
        h.insert(h.end(), {reserve, 0, reserve, 0});
        h.resize(h.size() + reserve);
    }
    for (uint16_t type : types) {
        size_t at = h.size();
        h.resize(at + 8 + reserve);
        pack_put16(h, at + 6, type);
    }
    return h;
}

// What a shell command prints; the test fails when it fails.
std::string shell(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    for (int c; pipe != nullptr && (c = fgetc(pipe)) != EOF;) {
        out.push_back(static_cast<char>(c));
    }
    EXPECT_TRUE(pipe != nullptr && pclose(pipe) == 0) << command;
    return out;
}

// The package's cabinet sample.cab, into dir/name.cab, and its listing (names, sizes, dates,
// attributes, in cabinet order) with the files extracted to dir/name/.
std::string cabinetOf(const fs::path& package, const fs::path& dir, const std::string& name)
{
    fs::path cab = dir / (name + ".cab");
    shell("msiinfo extract '" + package.string() + "' sample.cab > '" + cab.string() + "'");
    shell("gcab -x -C '" + (dir / name).string() + "' '" + cab.string() + "'");
    return shell("gcab -l -v '" + cab.string() + "'");
}

std::vector<fs::path> leftovers()
{
    std::vector<fs::path> out;
    const char* tmp = getenv("TMPDIR");
    for (const auto& e : fs::directory_iterator(tmp != nullptr ? tmp : "/tmp")) {
        if (e.path().filename().string().rfind("setup-pack-", 0) == 0) {
            out.push_back(e.path());
        }
    }
    return out;
}

class Cabinets : public SetupPack { };

TEST(CabinetHeader, FoldersCompressionReservesAndCuts)
{
    pack_CabinetHeader h;
    pack_Bytes none = cabHeader({0});
    ASSERT_EQ(pack_readCabinetHeader(none.data(), none.size(), &h), "");
    EXPECT_EQ(h.size, 123456u);
    EXPECT_EQ(h.files, 7u);
    EXPECT_EQ(h.compressedFolders, 0u);
    EXPECT_FALSE(h.spanned);

    // The type's high bits are the compression level: 0x1503 is LZX with a 2 MB window.
    pack_Bytes both = cabHeader({0, 1, 0x1503}, 5);
    ASSERT_EQ(pack_readCabinetHeader(both.data(), both.size(), &h), "");
    EXPECT_EQ(h.folders, 3u);
    EXPECT_EQ(h.compressedFolders, 2u);
    EXPECT_EQ(pack_cabinetTypesText(h.types), "MSZIP and LZX");

    size_t needed = 0;
    EXPECT_NE(pack_readCabinetHeader(both.data(), both.size() - 1, &h, &needed), "");
    EXPECT_EQ(needed, both.size());
    EXPECT_NE(pack_readCabinetHeader(both.data(), 20, &h, &needed), "");
    EXPECT_EQ(needed, 36u);
    pack_Bytes unknown = cabHeader({7});
    EXPECT_NE(pack_readCabinetHeader(unknown.data(), unknown.size(), &h), "");
    unknown[3] = 'X';
    EXPECT_EQ(pack_readCabinetHeader(unknown.data(), unknown.size(), &h, &needed), "not a cabinet");
    EXPECT_EQ(needed, 0u);
}

TEST_F(Cabinets, AHintForMszipAndStoringKeepsTheFilesInOrder)
{
    pack_Bytes original = readFile(kSample);
    PackRun hinted = packArgs({kStub.string(), kSample.string(), (dir_ / "hinted.exe").string()});
    ASSERT_EQ(hinted.code, 0) << hinted.err;
    EXPECT_EQ(hinted.err.rfind(
                  "setup-pack: " + kSample.string() + ": its embedded cabinet sample.cab (", 0),
              0u)
        << hinted.err;
    EXPECT_NE(hinted.err.find("MSZIP-compressed"), std::string::npos) << hinted.err;
    EXPECT_NE(hinted.err.find("--store-cabinets"), std::string::npos) << hinted.err;
    EXPECT_EQ(std::count(hinted.err.begin(), hinted.err.end(), '\n'), 1) << hinted.err;

    PackRun stored = packArgs(
        {"--store-cabinets", kStub.string(), kSample.string(), (dir_ / "stored.exe").string()});
    ASSERT_EQ(stored.code, 0) << stored.err;
    EXPECT_EQ(stored.err, "");
    EXPECT_TRUE(leftovers().empty());

    std::string copy;
    ASSERT_EQ(pack_storeCabinets(kSample.string().c_str(), &copy), "");
    pack_RemoveAtEnd removeCopy {&copy};
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(cabinetOf(copy, dir_, "stored"), cabinetOf(kSample, dir_, "original"));
    for (const char* file : {"lines.txt", "acme.ico", "other.ico"}) {
        EXPECT_EQ(readFile(dir_ / "stored" / file), readFile(dir_ / "original" / file)) << file;
    }
    pack_Bytes cab = readFile(dir_ / "stored.cab");
    pack_CabinetHeader h;
    ASSERT_EQ(pack_readCabinetHeader(cab.data(), cab.size(), &h), "");
    EXPECT_EQ(h.compressedFolders, 0u);
    EXPECT_EQ(h.size, cab.size());
    EXPECT_TRUE(readFile(kSample) == original) << "the package itself changed";

    PackRun again = packArgs({kStub.string(), copy, (dir_ / "again.exe").string()});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.err, "") << "a hint for a stored cabinet";
}

TEST_F(Cabinets, SignedPackagesAndBrokenCabinetsAreRefusedAndLeaveNothing)
{
    fs::path signedMsi = dir_ / "signed.msi", broken = dir_ / "broken.msi",
             junk = dir_ / "junk.cab";
    fs::copy_file(kSample, signedMsi);
    shell(
        "msibuild '" + signedMsi.string()
        + "' -q \"CREATE TABLE \\`MsiDigitalSignature\\` (\\`Table\\` CHAR(32) NOT NULL, "
          "\\`SignObject\\` "
          "CHAR(72) NOT NULL, \\`DigitalCertificate_\\` CHAR(72) NOT NULL, \\`Hash\\` OBJECT "
          "PRIMARY KEY \\`Table\\`, \\`SignObject\\`)\" -q \"INSERT INTO \\`MsiDigitalSignature\\` "
          "(\\`Table\\`, \\`SignObject\\`, \\`DigitalCertificate_\\`) VALUES ('Media', '1', "
          "'cert')\"");
    // The real header, then data that no MSZIP decoder takes.
    shell("msiinfo extract '" + kSample.string() + "' sample.cab > '" + junk.string() + "'");
    pack_Bytes bad = readFile(junk);
    std::fill(bad.begin() + 200, bad.end(), 0xEE);
    writeFile(junk, bad);
    fs::copy_file(kSample, broken);
    shell("msibuild '" + broken.string() + "' -a sample.cab '" + junk.string() + "'");
    for (const fs::path& package : {signedMsi, broken}) {
        SCOPED_TRACE(package.filename());
        fs::path out = dir_ / "setup.exe";
        PackRun run =
            packArgs({"--store-cabinets", kStub.string(), package.string(), out.string()});
        EXPECT_EQ(run.code, 1) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.rfind("setup-pack: " + package.string() + ": ", 0), 0u) << run.err;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_TRUE(leftovers().empty());
    }
}

}  // namespace
