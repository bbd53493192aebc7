// Where the two-argument form looks for its stub, for both layouts.
#include <gtest/gtest.h>

#include "default_stub.h"

TEST(DefaultStub, BesideTheProgramOnWindowsAndUnderShareOnUnix)
{
    EXPECT_EQ(pack_stubBeside("C:\\Tools\\Vorlane\\setup-pack.exe", true), "C:\\Tools\\Vorlane\\setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("\\\\server\\share/setup-pack.exe", true), "\\\\server\\share/setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("/usr/bin/setup-pack", false), "/usr/share/vorlane-setup/setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("/tmp/root/usr/bin/setup-pack", false),
              "/tmp/root/usr/share/vorlane-setup/setup-stub.exe");
    EXPECT_EQ(pack_stubBeside("/setup-pack", false), "/share/vorlane-setup/setup-stub.exe");
}
