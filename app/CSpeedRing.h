#pragma once

#include <array>
#include <cstdint>

namespace torvex {

// The status bar's speed figure: a ring of the last 100 samples of the process-wide received
// byte counter, taken every 50 ms while any project runs. Each tick stores the bytes received
// since the previous tick and the time; the speed is the sum of the ring's deltas over the time
// between its oldest and newest sample. Every 4th tick the queue and downloaded panes are due,
// every 20th the speed pane. Used on the front end's thread only.
class CSpeedRing {
public:
    static constexpr int kSamples = 100;
    static constexpr int kTickMs = 50;
    static constexpr int kPanesEvery = 4;
    static constexpr int kSpeedEvery = 20;

    // Empties the ring; `bytes` is the counter now, `nowMs` a monotonic time.
    void Reset(std::int64_t bytes, std::int64_t nowMs);
    // Stores one sample.
    void Tick(std::int64_t bytes, std::int64_t nowMs);
    // After the latest Tick: whether the panes or the speed are to be rewritten now.
    bool PanesDue() const { return m_ticks % kPanesEvery == 0; }
    bool SpeedDue() const { return m_ticks % kSpeedEvery == 0; }
    // Kibibytes per second over the ring; 0 before two samples span any time.
    double KilobytesPerSecond() const;

private:
    struct Sample {
        std::int64_t delta = 0;
        std::int64_t ms = 0;
    };
    std::array<Sample, kSamples> m_ring{};
    int m_next = 0;
    int m_filled = 0;
    std::int64_t m_ticks = 0;
    std::int64_t m_lastBytes = 0;
    std::int64_t m_startMs = 0;
};

} // namespace torvex
