// Which mark of the web the package that --xzdec keeps gets, and whether it is written.
#include "package.h"

#include <gtest/gtest.h>

namespace {

TEST(ZoneMarkRules, ACopyOfAMarkReadWholeTheMinimalOneOtherwise)
{
    struct {
        DWORD openError, readError;
        size_t size;
        int mark;
    } rows[] = {
        {ERROR_FILE_NOT_FOUND, 0, 0, SETUP_ZONE_NONE},  // setup.exe has no mark
        {ERROR_PATH_NOT_FOUND, 0, 0, SETUP_ZONE_NONE},
        {ERROR_INVALID_NAME, 0, 0, SETUP_ZONE_NONE},  // a volume without named streams
        {0, 0, 0, SETUP_ZONE_COPY},
        {0, 0, SETUP_ZONE_MARK_MAX, SETUP_ZONE_COPY},
        {0, 0, SETUP_ZONE_MARK_MAX + 1, SETUP_ZONE_MINIMAL},
        {0, 30 /* ERROR_READ_FAULT */, 10, SETUP_ZONE_MINIMAL},
        {5 /* ERROR_ACCESS_DENIED */, 0, 0, SETUP_ZONE_MINIMAL},
        {32 /* ERROR_SHARING_VIOLATION */, 0, 0, SETUP_ZONE_MINIMAL},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(setup_zoneMarkFrom(row.openError, row.readError, row.size), row.mark)
            << row.openError << " " << row.readError << " " << row.size;
    }
    EXPECT_STREQ(SETUP_ZONE_MARK_MINIMAL, "[ZoneTransfer]\r\nZoneId=3\r\n");
}

TEST(ZoneMarkRules, WrittenUnlessThereIsNoneOrTheVolumeKeepsNoStreams)
{
    constexpr DWORD ntfs = 0x000000FF | FILE_NAMED_STREAMS;
    constexpr DWORD fat = 0x00000006;  // case-preserved names, Unicode on disk
    constexpr DWORD wine = 0x0000000A;  // what Wine 8 reports for its drives
    for (int mark : {SETUP_ZONE_COPY, SETUP_ZONE_MINIMAL}) {
        EXPECT_TRUE(setup_zoneMarkWritten(mark, true, ntfs));
        EXPECT_FALSE(setup_zoneMarkWritten(mark, true, fat));
        EXPECT_FALSE(setup_zoneMarkWritten(mark, true, wine));
        EXPECT_TRUE(setup_zoneMarkWritten(mark, false, 0)) << "a volume that cannot be asked";
    }
    EXPECT_FALSE(setup_zoneMarkWritten(SETUP_ZONE_NONE, true, ntfs));
    EXPECT_FALSE(setup_zoneMarkWritten(SETUP_ZONE_NONE, false, 0));
}

}  // namespace
