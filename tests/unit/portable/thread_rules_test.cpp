// The decoding threads and their memory limit from the machine's facts.
#include "package.h"

#include <gtest/gtest.h>

namespace {

TEST(ThreadRules, ThreadsAreTheAffinityProcessorsOneToEight)
{
    EXPECT_EQ(setup_threadsFromAffinity(0), 1u);
    EXPECT_EQ(setup_threadsFromAffinity(0x1), 1u);
    EXPECT_EQ(setup_threadsFromAffinity(0x5), 2u);  // processors 0 and 2
    EXPECT_EQ(setup_threadsFromAffinity(0xFF), 8u);
    EXPECT_EQ(setup_threadsFromAffinity(0x1FF), 8u);
    EXPECT_EQ(setup_threadsFromAffinity(~uint64_t(0)), 8u);
    EXPECT_EQ(setup_threadsFromAffinity(uint64_t(1) << 63), 1u);
}

TEST(ThreadRules, LimitIsTheSmallestQuarterAndAtMost512MiB)
{
    constexpr uint64_t MiB = uint64_t(1) << 20, GiB = uint64_t(1) << 30;
    struct {
        uint64_t physical, freeRange;
        bool addressBound;
        uint64_t limit;
    } rows[] = {
        {0, 0, false, 0},  // nothing known: one thread
        {0, 2 * GiB, true, 0},
        {4 * GiB, 0, true, 0},  // no free range read
        {1 * GiB, 0, false, 256 * MiB},  // the range counts in 32-bit only
        {1 * GiB + 3, 4 * GiB, true, 256 * MiB},  // physical memory the smaller
        {16 * GiB, 1200 * MiB, true, 300 * MiB},  // a 32-bit range after a large image
        {16 * GiB, 4 * GiB - 64 * 1024, true, SETUP_THREADING_LIMIT_MAX},
        {64 * GiB, 0, false, SETUP_THREADING_LIMIT_MAX},
        {~uint64_t(0), ~uint64_t(0), true, SETUP_THREADING_LIMIT_MAX},
        {3, 3, true, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(setup_threadingLimit(row.physical, row.freeRange, row.addressBound), row.limit)
            << row.physical << " " << row.freeRange << " " << row.addressBound;
    }
}

}  // namespace
