// The two-argument form: where it looks for its stub, for both layouts, and what it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "default_stub.h"
#include "command.h"

namespace fs = std::filesystem;

TEST(DefaultStub, BesideTheProgramOnWindowsAndUnderShareOnUnix)
{
    EXPECT_EQ(pack_stubBeside("C:\\Tools\\Vorlane\\setup-pack.exe", true),
              "C:\\Tools\\Vorlane\\setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("\\\\server\\share/setup-pack.exe", true),
              "\\\\server\\share/setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("/usr/bin/setup-pack", false),
              "/usr/share/vorlane-setup/setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("/tmp/root/usr/bin/setup-pack", false),
              "/tmp/root/usr/share/vorlane-setup/setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("/setup-pack", false), "/share/vorlane-setup/setup-stub.exe");
}

// `setup-pack STUB PACKAGE` with OUTPUT forgotten reads as PACKAGE OUTPUT. With a default stub
// in place (this program's ../share/vorlane-setup), packing would write over the package.
TEST(DefaultStub, AnExecutableForPackageLeavesTheOutputAlone)
{
    fs::path dir = fs::path(VORLANE_BINARY_DIR) / "default-stub-test";
    fs::path share = fs::path(VORLANE_BINARY_DIR) / "share";
    fs::create_directories(dir);
    fs::create_directories(share / "vorlane-setup");
    fs::path stub = fs::path(VORLANE_PE_STUBS) / "tiny-i686.exe", msi = dir / "product.msi";
    fs::copy_file(stub, share / "vorlane-setup" / "setup-stub.exe",
                  fs::copy_options::overwrite_existing);
    std::ofstream(msi, std::ios::binary) << "package";
    std::string s = stub.string(), m = msi.string();
    const char* argv[] = {"setup-pack", s.c_str(), m.c_str()};
    testing::internal::CaptureStderr();
    EXPECT_EQ(pack_run(3, argv), 1);
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        "setup-pack: " + s
            + ": an executable, not a package: give PACKAGE OUTPUT, or STUB PACKAGE OUTPUT\n");
    std::ostringstream kept;
    kept << std::ifstream(msi, std::ios::binary).rdbuf();
    EXPECT_TRUE(kept.str() == "package");  // not the packed executable
    fs::remove_all(dir);
    fs::remove_all(share);
}
