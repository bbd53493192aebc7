// The mark of the web of a downloaded setup.exe on the package that --xzdec keeps.
#include "driver.h"
#include "package.h"

#include <gtest/gtest.h>

using namespace e2e;

// Wine keeps no named streams: it takes "setup.exe:Zone.Identifier" for a file of that name,
// and reports no FILE_NAMED_STREAMS for its drives. There the package is kept unmarked, as the
// system's own copy onto such a volume keeps it, and nothing of the stream's name is left
// beside it; where the volume keeps streams, the package carries setup.exe's mark.
TEST(ZoneMark, XzdecCarriesTheMarkOnWhereTheVolumeKeepsStreams)
{
    Scratch scratch;
    std::string dir = scratch.dir("zone-mark");
    std::string exe = dir + "\\setup.exe";
    ASSERT_TRUE(copyFile(variantExe("demo"), exe));
    const std::string mark =
        "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/setup.exe\r\n";
    ASSERT_TRUE(writeFile(exe + ":Zone.Identifier", mark));
    DWORD flags = 0;
    ASSERT_TRUE(GetVolumeInformationW(widen(dir.substr(0, 3)).c_str(), nullptr, 0, nullptr, nullptr,
                                      &flags, nullptr, 0));
    bool streams = (flags & FILE_NAMED_STREAMS) != 0;

    RunOptions o;
    o.exe = exe;
    o.args = "--xzdec";
    o.cwd = dir;
    o.env = {{"TMP", dir}, {"TEMP", dir}, {"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    EXPECT_EQ(runQuiet(o), 0u);
    std::string package = dir + "\\setup.msi";
    EXPECT_TRUE(readFile(package) == readFile(g_paths["demo.msi"]));
    EXPECT_EQ(fileExists(package + ":Zone.Identifier"), streams);
    if (streams) {
        EXPECT_EQ(readFile(package + ":Zone.Identifier"), mark);
    }
}
