// setup.exe's own mark of the web and the package's, through the system's file calls. Wine keeps
// no named streams and takes "name:Zone.Identifier" for a file of that name, so what these
// calls read and write can be looked at there as files.
#include "package.h"
#include "files.h"

#include <gtest/gtest.h>

using namespace support;

TEST(ZoneMark, TheOwnMarkIsCopiedUpTo4KiBAndMinimalBeyond)
{
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(n, 0u);
    std::string stream = std::string(path, n) + ":Zone.Identifier";
    DeleteFileA(stream.c_str());
    char mark[SETUP_ZONE_MARK_MAX + 1];
    size_t size = 0;
    EXPECT_EQ(setup_readOwnZoneMark(mark, &size), SETUP_ZONE_NONE);

    const std::string text = "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.com/\r\n";
    const std::string whole(SETUP_ZONE_MARK_MAX, 'z');
    for (const std::string& copied : {text, whole}) {
        ASSERT_TRUE(writeFile(stream, copied));
        EXPECT_EQ(setup_readOwnZoneMark(mark, &size), SETUP_ZONE_COPY) << copied.size();
        EXPECT_TRUE(std::string(mark, size) == copied) << copied.size();
    }
    ASSERT_TRUE(writeFile(stream, whole + "z"));
    EXPECT_EQ(setup_readOwnZoneMark(mark, &size), SETUP_ZONE_MINIMAL);
    DeleteFileA(stream.c_str());
}

TEST(ZoneMark, ThePackageGetsTheMarkOrIsRemoved)
{
    Scratch scratch;
    std::string dir = scratch.dir("zone-mark-write");
    std::string package = dir + "\\setup.msi";
    ASSERT_TRUE(writeFile(package, "package"));
    HANDLE file = CreateFileA(package.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    setup_FileId id;
    ASSERT_EQ(setup_getFileId(file, &id), 0u);
    CloseHandle(file);
    const DWORD size = sizeof SETUP_ZONE_MARK_MINIMAL - 1;
    EXPECT_EQ(setup_writeZoneMark(package.c_str(), id, SETUP_ZONE_MARK_MINIMAL, size), 0u);
    EXPECT_EQ(readFile(package + ":Zone.Identifier"), "[ZoneTransfer]\r\nZoneId=3\r\n");
    EXPECT_EQ(readFile(package), "package");

    // Under Wine a directory of the stream's name is what makes its write fail.
    DeleteFileA((package + ":Zone.Identifier").c_str());
    ASSERT_TRUE(CreateDirectoryA((package + ":Zone.Identifier").c_str(), nullptr));
    DWORD error = setup_writeZoneMark(package.c_str(), id, SETUP_ZONE_MARK_MINIMAL, size);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(setup_getErrorCode(), error) << "recorded where it failed";
    EXPECT_FALSE(fileExists(package)) << "a package without its mark was left";
}
