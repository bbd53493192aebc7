// Whether a run can be answered: the window station's WSF_VISIBLE flag decides, and a station
// whose flags cannot be read counts as shown, as before (the end-to-end case runs setup.exe
// on a station without the flag; a failing query is not to be had under Wine).
#include "report.h"

#include <gtest/gtest.h>

TEST(Station, OnlyAStationKnownToBeUnseenMakesTheRunQuiet)
{
    EXPECT_FALSE(setup_isVisibleStation(true, 0));
    EXPECT_TRUE(setup_isVisibleStation(true, 1));
    EXPECT_TRUE(setup_isVisibleStation(true, 3));
    EXPECT_TRUE(setup_isVisibleStation(false, 0));
}
