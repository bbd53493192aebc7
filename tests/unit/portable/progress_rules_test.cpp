// When the progress window shows, and how much of its bar is filled.
#include "report.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressRules, DueOnceTheIntervalHasPassedAcrossTheTickWrap)
{
    EXPECT_FALSE(setup_progressDue(5000, 5999, SETUP_PROGRESS_DELAY_MS));
    EXPECT_TRUE(setup_progressDue(5000, 6000, SETUP_PROGRESS_DELAY_MS));
    // 49.7 days after boot the tick count starts again from 0.
    EXPECT_FALSE(setup_progressDue(0xFFFFFF00u, 0x100, SETUP_PROGRESS_DELAY_MS));
    EXPECT_TRUE(setup_progressDue(0xFFFFFF00u, 0x300, SETUP_PROGRESS_DELAY_MS));
}

TEST(ProgressRules, TheFillIsTheConsumedShareOfTheWidth)
{
    struct {
        DWORD done, total;
        int width, filled;
    } rows[] = {
        {0, 1000, 320, 0},
        {500, 1000, 320, 160},
        {999, 1000, 320, 319},
        {1000, 1000, 320, 320},
        {1200, 1000, 320, 320},  // input after the stream's end
        {0x7FFFFFFFu, 0xFFFFFFFFu, 320, 159},  // a payload near 4 GiB: no overflow
        {0xFFFFFFFFu, 0xFFFFFFFFu, 320, 320},
        {10, 0, 320, 0},  // nothing to measure against
        {10, 20, 0, 0},
        {10, 20, -5, 0},
        {1, 2, 0x7FFFFFFF, 0x3FFFFFFF},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(setup_progressFill(row.done, row.total, row.width), row.filled)
            << row.done << " of " << row.total << " over " << row.width;
    }
}

}  // namespace

namespace {

TEST(ProgressRules, FiguresAt96DpiScaleToTheMonitorsDpi)
{
    struct {
        int value;
        unsigned dpi;
        int scaled;
    } rows[] = {
        {SETUP_PROGRESS_CLIENT_WIDTH, 96, SETUP_PROGRESS_CLIENT_WIDTH},
        {352, 120, 440},
        {352, 144, 528},
        {352, 192, 704},
        {61, 144, 92},  // 91.5, rounded up
        {1, 120, 1},
        {1, 144, 2},  // a one-pixel frame stays visible
        {16, 0, 16},
        {16, 0x10000, 16},  // no DPI told, or none there could be
        {0x7FFF, 0xFFFF, 0x1555155},
        {0x8000, 192, 0x8000},
        {-3, 192, -3},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(setup_scaleToDpi(row.value, row.dpi), row.scaled)
            << row.value << " at " << row.dpi;
    }
}

}  // namespace
