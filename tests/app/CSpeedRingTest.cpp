#include "app/CSpeedRing.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(SpeedRing, SteadyRateOverAFullRing) {
    CSpeedRing ring;
    ring.Reset(0, 0);
    std::int64_t bytes = 0;
    // 512 bytes every 50 ms is 10 KiB/s; 250 ticks wrap the ring twice.
    for (int tick = 1; tick <= 250; ++tick) {
        bytes += 512;
        ring.Tick(bytes, tick * 50);
    }
    EXPECT_NEAR(ring.KilobytesPerSecond(), 10.0, 1e-9);
}

TEST(SpeedRing, BeforeTheRingFillsItCountsFromTheReset) {
    CSpeedRing ring;
    EXPECT_EQ(ring.KilobytesPerSecond(), 0);
    ring.Reset(5000, 1000);
    ring.Tick(5000 + 1024, 1100);
    EXPECT_NEAR(ring.KilobytesPerSecond(), 10.0, 1e-9);
    ring.Tick(5000 + 1024, 1200);
    EXPECT_NEAR(ring.KilobytesPerSecond(), 5.0, 1e-9);
}

TEST(SpeedRing, ACounterGoingBackOrTimeStandingStillGivesNoNonsense) {
    CSpeedRing ring;
    ring.Reset(1000, 0);
    ring.Tick(10, 50); // never expected; no negative speed
    EXPECT_EQ(ring.KilobytesPerSecond(), 0);
    CSpeedRing still;
    still.Reset(0, 100);
    still.Tick(4096, 100);
    EXPECT_EQ(still.KilobytesPerSecond(), 0);
}

TEST(SpeedRing, PanesEveryFourthTickSpeedEveryTwentieth) {
    CSpeedRing ring;
    ring.Reset(0, 0);
    int panes = 0;
    int speeds = 0;
    for (int tick = 1; tick <= 40; ++tick) {
        ring.Tick(0, tick * 50);
        panes += ring.PanesDue() ? 1 : 0;
        speeds += ring.SpeedDue() ? 1 : 0;
    }
    EXPECT_EQ(panes, 10);
    EXPECT_EQ(speeds, 2);
}

} // namespace
} // namespace torvex
