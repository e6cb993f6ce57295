#include "app/CStatusTicker.h"

#include <gtest/gtest.h>

namespace torvex {
namespace {

TEST(StatusTicker, SpeedOverTheLastHundredTicks) {
    CStatusTicker ticker;
    ticker.Reset(0, 0);
    std::int64_t bytes = 0;
    CStatusTicker::Due due;
    // 512 bytes every 50 ms is 10 KiB/s; then the traffic doubles for more than the window.
    for (int tick = 1; tick <= 100; ++tick) {
        bytes += 512;
        due = ticker.Tick(tick * 50, bytes);
    }
    EXPECT_NEAR(due.kilobytesPerSecond, 10.0, 1e-9);
    for (int tick = 101; tick <= 250; ++tick) {
        bytes += 1024;
        due = ticker.Tick(tick * 50, bytes);
    }
    EXPECT_NEAR(due.kilobytesPerSecond, 20.0, 1e-9);
}

TEST(StatusTicker, PanesEveryFourthTickSpeedEveryTwentieth) {
    CStatusTicker ticker;
    ticker.Reset(0, 0);
    int panes = 0;
    int speeds = 0;
    for (int tick = 1; tick <= 40; ++tick) {
        const CStatusTicker::Due due = ticker.Tick(tick * 50, 0);
        panes += due.panes ? 1 : 0;
        speeds += due.speed ? 1 : 0;
    }
    EXPECT_EQ(panes, 10);
    EXPECT_EQ(speeds, 2);
    // A reset starts the cadence over.
    ticker.Reset(5000, 0);
    EXPECT_FALSE(ticker.Tick(5050, 0).panes);
}

TEST(StatusTicker, NoTimePassedGivesNoSpeed) {
    CStatusTicker ticker;
    ticker.Reset(100, 0);
    EXPECT_EQ(ticker.Tick(100, 4096).kilobytesPerSecond, 0);
}

} // namespace
} // namespace torvex
