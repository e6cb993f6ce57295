#pragma once

#include <cstdint>

#include "engine/CSpeedMeter.h"

namespace torvex {

// The status bar's clock while any project runs: a tick every 50 ms reads the process-wide
// received-bytes counter into a speed meter over the last 100 ticks (5 seconds); every 4th tick
// the queue and downloaded panes are due, every 20th the speed pane. Used on the front end's
// thread only.
class CStatusTicker {
public:
    static constexpr int kTickMs = 50;
    static constexpr int kSamples = 100;
    static constexpr int kPanesEvery = 4;
    static constexpr int kSpeedEvery = 20;

    struct Due {
        bool panes = false;
        bool speed = false;
        double kilobytesPerSecond = 0; // the speed over the window, taken on every tick
    };

    // Starts over when the first task starts: the first reading is `bytes` at `nowMs`.
    void Reset(std::int64_t nowMs, std::int64_t bytes);
    Due Tick(std::int64_t nowMs, std::int64_t bytes);

private:
    CSpeedMeter m_meter{static_cast<std::int64_t>(kSamples) * kTickMs};
    std::int64_t m_ticks = 0;
};

} // namespace torvex
