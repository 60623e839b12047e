// The meter's peak line: the highest level of the last second.
#include <gtest/gtest.h>

#include "views/PeakHold.h"

namespace {

TEST(PeakHold, HoldsTheHighestLevelOfTheLastSecondThenFallsToTheHighestSinceThen) {
    PeakHold peak;
    EXPECT_EQ(peak.Peak(0), 0.0f);
    EXPECT_EQ(peak.PeakExpiresAt(0), -1);
    peak.Add(0.4f, 0);
    peak.Add(0.9f, 200);
    peak.Add(0.2f, 300);
    peak.Add(0.6f, 700);
    EXPECT_EQ(peak.Peak(700), 0.9f);
    EXPECT_EQ(peak.Peak(1199), 0.9f);
    EXPECT_EQ(peak.PeakExpiresAt(1199), 1200);
    EXPECT_EQ(peak.Peak(1200), 0.6f);
    EXPECT_EQ(peak.PeakExpiresAt(1200), 1700);
    EXPECT_EQ(peak.Peak(1700), 0.0f);
}

TEST(PeakHold, ALaterEqualLevelKeepsThePeakForAnotherSecond) {
    PeakHold peak;
    peak.Add(0.5f, 0);
    peak.Add(0.5f, 800);
    EXPECT_EQ(peak.Peak(1500), 0.5f);
    peak.Add(0.1f, 1900);
    EXPECT_EQ(peak.Peak(1900), 0.1f);
}

}  // namespace
